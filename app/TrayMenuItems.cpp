#include "app/TrayMenuItems.h"

#include "platform/Utf8Text.h"

namespace quillet {

std::vector<TrayMenuItem> trayMenuItems(const LastBackedList& recent,
                                        const std::function<std::optional<std::string>(std::int32_t)>& projectName,
                                        std::uint8_t interval, bool suspended) {
    std::vector<TrayMenuItem> items;
    for (std::size_t i = 0; i < recent.entries.size(); ++i) {
        const std::int32_t sysId = recent.entries[i];
        const int choice = traychoice::FirstProject + static_cast<int>(i);
        const std::string number = std::to_string(i + 1);
        if (sysId == 0) {
            items.push_back({number + " - ", false, choice, 0});
            continue;
        }
        const std::optional<std::string> name = projectName(sysId);
        if (!name)
            items.push_back({"&" + number + " - ", false, choice, sysId});
        else
            items.push_back({"&" + number + " - Backup " + std::string(trimRight(*name)), true, choice, sysId});
    }
    items.push_back({});
    items.push_back({"&Open Quillet Console", true, traychoice::OpenConsole, 0});
    items.push_back({suspended ? "Resume &Timer" : "Suspend &Timer", interval != 0, traychoice::ToggleTimer, 0});
    items.push_back({});
    items.push_back({"&Exit Quillet", true, traychoice::Exit, 0});
    return items;
}

std::string trayMenuText(const std::vector<TrayMenuItem>& items) {
    std::string text;
    for (const TrayMenuItem& item : items) {
        if (!text.empty()) text += '|';
        if (item.separator())
            text += '-';
        else
            text += (item.enabled ? "" : "~") + item.text;
    }
    return text;
}

}  // namespace quillet
