#include "framework/SettingsTable.h"

#include <array>

#include "platform/Wildcard.h"

namespace quillet {

namespace {

// The ExtractionPath and DestinationPath defaults here are the ones of start-up and of
// the readers that want a blank when nothing is stored; readers that fall back to the
// current folder pass their own default.
constexpr std::array kTable{
    SettingEntry{"Defaults", "DestinationPath", ""},
    SettingEntry{"Defaults", "ExtractionPath", ""},
    SettingEntry{"DestinationMRU", "1", ""},
    SettingEntry{"DestinationMRU", "2", ""},
    SettingEntry{"DestinationMRU", "3", ""},
    SettingEntry{"DestinationMRU", "4", ""},
    SettingEntry{"DestinationMRU", "5", ""},
    SettingEntry{"DestinationMRU", "6", ""},
    SettingEntry{"DestinationMRU", "7", ""},
    SettingEntry{"DestinationMRU", "8", ""},
    SettingEntry{"DestinationMRU", "9", ""},
    SettingEntry{"DestinationMRU", "10", ""},
    SettingEntry{"DestinationMRU", "11", ""},
    SettingEntry{"DestinationMRU", "12", ""},
    SettingEntry{"DestinationMRU", "13", ""},
    SettingEntry{"DestinationMRU", "14", ""},
    SettingEntry{"DestinationMRU", "15", ""},
    SettingEntry{"DestinationMRU", "16", ""},
    SettingEntry{"DestinationMRU", "17", ""},
    SettingEntry{"DestinationMRU", "18", ""},
    SettingEntry{"DestinationMRU", "19", ""},
    SettingEntry{"DestinationMRU", "20", ""},
    SettingEntry{"Preferences", "RemindOnlyIfChanged", "0"},
    SettingEntry{"Preferences", "StartMinimized", "0"},
    SettingEntry{"Preferences", "ConfirmExit", "1"},
    SettingEntry{"Preferences", "DefaultMaskName", ""},
    SettingEntry{"Preferences", "DisableToolTips", "0"},
    SettingEntry{"Preferences", "SuspendTimer", "0"},
    SettingEntry{"Preferences", "SpeedOptimization", "0"},
    SettingEntry{"Reminder", "Interval", "0"},
    SettingEntry{"Reminder", "ShowPopup", "0"},
    SettingEntry{"Sounds", "Reminder", "remind.wav"},
    SettingEntry{"Sounds", "Completed", "done.wav"},
    SettingEntry{"Sounds", "Error", "error.wav"},
    // An empty slot reads as "" and is taken as 0 by the reader.
    SettingEntry{"LastBacked", "1", ""},
    SettingEntry{"LastBacked", "2", ""},
    SettingEntry{"LastBacked", "3", ""},
    SettingEntry{"LastBacked", "4", ""},
    SettingEntry{"LastBacked", "5", ""},
    SettingEntry{"FindFile", "Deselect", "1"},
    SettingEntry{"FindFile", "ShowCount", "1"},
};

}  // namespace

std::span<const SettingEntry> settingsTable() {
    return kTable;
}

const SettingEntry* findSetting(std::string_view section, std::string_view key) {
    for (const SettingEntry& e : kTable) {
        if (sameTextIgnoringCase(e.section, section) && sameTextIgnoringCase(e.key, key)) return &e;
    }
    return nullptr;
}

}  // namespace quillet
