#include "app/ui/ConsoleTray.h"

#include <optional>
#include <string>

#include "app/ConsoleState.h"
#include "app/RunStatus.h"
#include "app/ui/Main.h"
#include "app/ui/TrayIcon.h"
#include "catalog/Catalog.h"
#include "framework/Services.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {

void AttachTray(Main& console, const Services& services) {
    ConsoleState& state = console.state();
    Catalog& catalog = services.catalog;
    auto projectName = [&catalog](std::int32_t sysId) -> std::optional<std::string> {
        auto found = catalog.projects().bySysId(sysId);
        if (!found || !found->has_value()) return std::nullopt;
        return std::string(trimRight((*found)->NAME));
    };
    auto* tray = new TrayIcon(TrayContext{services.settings, services.dialogs, services.clock, services.fs,
                                          services.sounds, state.lastBacked(), state.changeWatch(), state.runActivity(),
                                          projectName, runStatusFolder(services.paths.dataFolder)},
                              &console);
    tray->attachTo(&console);
    // The menu has closed when it asks; the backup runs once the event loop is back.
    QObject::connect(
        tray, &TrayIcon::backupRequested, &console,
        [&console](int sysId, const QString&) { console.executeBackupFor(sysId); }, Qt::QueuedConnection);
    QObject::connect(tray, &TrayIcon::exitRequested, &console, &QWidget::close);
    QObject::connect(tray, &TrayIcon::sessionEnding, &console, &Main::closeForShutdown);
    QObject::connect(&console, &Main::commandStarted, tray, &TrayIcon::suspendReminder);
    QObject::connect(&console, &Main::commandFinished, tray, [tray] {
        tray->readSettings();
        tray->refreshStatus();
    });
    tray->readSettings();
}

}  // namespace quillet
