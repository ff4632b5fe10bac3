// The tray icon's menu, and its icon in each state.
#include <QGridLayout>
#include <QLabel>
#include <QWidget>

#include "Screenshots.h"
#include "app/TrayMenuItems.h"
#include "app/ui/TrayIcon.h"
#include "framework/ScriptedDialogs.h"

namespace {

using namespace quillet;

QUILLET_SHOT("tray-menu") {
    static ScriptedDialogs dialogs;
    static RunActivity runs;
    LastBackedList recent;
    for (const std::int32_t id : {3, 2, 1}) recent.record(id);
    const auto names = [](std::int32_t id) -> std::optional<std::string> {
        switch (id) {
            case 1:
                return "Accounts";
            case 2:
                return "Thesis";
            case 3:
                return "Photos";
            default:
                return std::nullopt;
        }
    };
    auto menu = std::make_unique<TrayMenu>(dialogs, runs);
    menu->setItems(trayMenuItems(recent, names, 30, false));
    return menu;
}

QUILLET_SHOT("tray-status") {
    auto panel = std::make_unique<QWidget>();
    panel->setWindowTitle("Quillet");
    auto* grid = new QGridLayout(panel.get());
    const struct {
        BackupHealth health;
        const char* text;
    } rows[] = {
        {BackupHealth::Good, "The last runs of the recent projects succeeded"},
        {BackupHealth::Overdue, "A recent project has no good backup within the reminder interval"},
        {BackupHealth::Failed, "The last run of a recent project failed"},
    };
    int row = 0;
    for (const auto& r : rows) {
        auto* icon = new QLabel;
        icon->setPixmap(TrayIcon::iconFor(r.health).pixmap(32, 32));
        grid->addWidget(icon, row, 0);
        grid->addWidget(new QLabel(r.text), row, 1);
        ++row;
    }
    return panel;
}

}  // namespace
