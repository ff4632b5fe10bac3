#pragma once

#include <cstdint>
#include <string>

#include "platform/IniFile.h"

namespace quillet {

struct Paths;

// Access to the settings file quillet.ini. Nothing is cached: every read goes to the file,
// so a change written by one procedure is seen at once by the next. Defaults come from
// the one table in SettingsTable.h; reading a section and key that is not in the table is
// a programming error (asserts in debug builds, reads "" otherwise).
class Settings {
public:
    static constexpr const char* FileName = "quillet.ini";

    // quillet.ini in the configuration folder of paths.
    explicit Settings(const Paths& paths);
    // An explicit file (tests, tools).
    explicit Settings(std::string iniPath);

    const std::string& path() const { return ini_.path(); }

    // The stored value, or the table's default.
    std::string read(const std::string& section, const std::string& key) const;
    // The stored value, or explicitDefault: for the few readers whose fallback differs
    // from the table's (for example "the current folder").
    std::string read(const std::string& section, const std::string& key, const std::string& explicitDefault) const;
    // The value read as a whole number: leading blanks and a sign allowed, reading stops at
    // the first non-digit; no digits gives 0.
    std::int64_t readInt(const std::string& section, const std::string& key) const;
    // readInt kept in one byte, as the holders of such settings do: the low eight bits
    // (an Interval of "300" is held as 44).
    std::uint8_t readByte(const std::string& section, const std::string& key) const;
    // A flag: any value other than 0 is on.
    bool readFlag(const std::string& section, const std::string& key) const;

    // Written straight to the file; false when it cannot be (lastError() says why).
    bool write(const std::string& section, const std::string& key, const std::string& value);
    bool write(const std::string& section, const std::string& key, std::int64_t value);
    bool writeFlag(const std::string& section, const std::string& key, bool on);
    const std::string& lastError() const { return ini_.lastError(); }

private:
    IniFile ini_;  // its writes create a missing folder
};

// Whole number at the start of text, the way settings are converted: blanks, an optional
// sign, digits up to the first other character; 0 when there are none.
std::int64_t wholeNumber(const std::string& text);
// The low eight bits of a whole number, as a one-byte holder keeps it.
inline std::uint8_t lowByte(std::int64_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace quillet
