#include "framework/Settings.h"

#include <cassert>
#include <cctype>
#include <limits>

#include "framework/SettingsTable.h"
#include "platform/Paths.h"

namespace quillet {

std::int64_t wholeNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate as unsigned and saturate, so an absurd value cannot overflow.
    constexpr std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    const auto v = static_cast<std::int64_t>(value);
    return negative ? -v : v;
}

Settings::Settings(const Paths& paths) : ini_(paths.configFolder + FileName) {}

Settings::Settings(std::string iniPath) : ini_(std::move(iniPath)) {}

std::string Settings::read(const std::string& section, const std::string& key) const {
    const SettingEntry* entry = findSetting(section, key);
    assert(entry && "setting not in the settings table");
    if (!entry) return {};
    return ini_.read(section, key, std::string(entry->defaultValue));
}

std::string Settings::read(const std::string& section, const std::string& key,
                           const std::string& explicitDefault) const {
    const SettingEntry* entry = findSetting(section, key);
    assert(entry && "setting not in the settings table");
    if (!entry) return {};
    return ini_.read(section, key, explicitDefault);
}

std::int64_t Settings::readInt(const std::string& section, const std::string& key) const {
    return wholeNumber(read(section, key));
}

std::uint8_t Settings::readByte(const std::string& section, const std::string& key) const {
    return lowByte(readInt(section, key));
}

bool Settings::readFlag(const std::string& section, const std::string& key) const {
    return readInt(section, key) != 0;
}

bool Settings::write(const std::string& section, const std::string& key, const std::string& value) {
    assert(findSetting(section, key) && "setting not in the settings table");
    return ini_.write(section, key, value);
}

bool Settings::write(const std::string& section, const std::string& key, std::int64_t value) {
    return write(section, key, std::to_string(value));
}

bool Settings::writeFlag(const std::string& section, const std::string& key, bool on) {
    return write(section, key, std::string(on ? "1" : "0"));
}

}  // namespace quillet
