#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/LastBackedList.h"

namespace quillet {

// The choices of the tray menu, numbered as the menu counts them (separators not counted).
namespace traychoice {
inline constexpr int FirstProject = 1;  // 1 to 5: the slots of LastBackedList
inline constexpr int LastProject = 5;
inline constexpr int OpenConsole = 6;
inline constexpr int ToggleTimer = 7;
inline constexpr int Exit = 8;
}  // namespace traychoice

// One line of the tray menu.
struct TrayMenuItem {
    std::string text;        // with "&" before the access key; empty for a separator
    bool enabled = true;     // false for a greyed item
    int choice = 0;          // 1 to 8; 0 for a separator
    std::int32_t sysId = 0;  // the project of a slot item
    bool separator() const { return choice == 0; }
};

// The menu: the five recent projects ("&1 - Backup NAME"; an empty slot "1 - " and a
// slot whose project is gone "&1 - ", both greyed), "&Open Quillet Console", "Suspend
// &Timer" or "Resume &Timer" (greyed with an interval of 0) and "&Exit Quillet".
// projectName gives a project's name by SYSID, nothing when it does not exist.
std::vector<TrayMenuItem> trayMenuItems(const LastBackedList& recent,
                                        const std::function<std::optional<std::string>(std::int32_t)>& projectName,
                                        std::uint8_t interval, bool suspended);

// The same menu in the text form of the menu builder: items separated by "|", "-" a
// separator, "~" before a greyed item ("&1 - Backup DAILY|~2 - |...").
std::string trayMenuText(const std::vector<TrayMenuItem>& items);

}  // namespace quillet
