#pragma once

#include <span>
#include <string_view>

namespace quillet {

// One setting of quillet.ini: its section, key and the value a read returns when the file
// or the key is absent.
struct SettingEntry {
    std::string_view section;
    std::string_view key;
    std::string_view defaultValue;
};

// Every section and key the program reads or writes in quillet.ini, with its default.
// This is the only list of them; a read of anything not listed here is a programming
// error.
std::span<const SettingEntry> settingsTable();

// The entry for section and key (compared without regard to case), or nullptr.
const SettingEntry* findSetting(std::string_view section, std::string_view key);

}  // namespace quillet
