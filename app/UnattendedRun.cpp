#include "app/UnattendedRun.h"

#include <cstdlib>

#include "app/ConsoleBackupView.h"
#include "backup/BatchBackup.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/Dialogs.h"
#include "framework/Services.h"
#include "framework/Settings.h"
#include "lsp/lsp.h"
#include "platform/Paths.h"
#include "platform/TerminationSignals.h"

namespace quillet {

namespace {

struct CatalogUse {
    Catalog& catalog;
    ~CatalogUse() { catalog.close(); }
};

}  // namespace

int RunUnattendedBackup(const Services& s, const std::string& projectName, BackupRunDriver& driver,
                        RunStatusStore* status, const FailureNotice& notice) {
    if (LSP_P_VERSION() < 1700 || LSP_U_VERSION() < 1700) {
        s.dialogs.message("LSPack Version: " + std::to_string(LSP_P_VERSION()) +
                              "  LSUnPack Version: " + std::to_string(LSP_U_VERSION()) +
                              "|You need a more recent LSP version to run this application.",
                          "", Icon::None, buttons::Ok, 1);
    }
    if (Status opened = s.catalog.open(); !opened) {
        s.dialogs.message(opened.error(), "Quillet Message", Icon::Exclamation, buttons::Ok, 1);
        return unattended::Failed;
    }
    CatalogUse use{s.catalog};

    BackupCommandState state;
    state.commandLineRun = true;
    state.lastBacked = LastBackedList::load(s.settings);

    int code = unattended::Failed;
    auto found = s.catalog.projects().byName(projectName);
    if (!found) {
        s.dialogs.message(found.error(), "Quillet Message", Icon::Exclamation, buttons::Ok, 1);
    } else if (!found->has_value()) {
        s.dialogs.message("Improper Project Name Passed:||" + projectName, "Quillet Message", Icon::Exclamation,
                          buttons::Ok, 1);
        code = unattended::ImproperName;
    } else if ((*found)->FAVORITES == 1) {
        // A favourites folder only receives copies; it has nothing to back up.
        s.dialogs.message("\"" + (*found)->NAME + "\" is a favourites folder: it has no backup to run.",
                          "Quillet Message", Icon::Exclamation, buttons::Ok, 1);
    } else {
        RecordingBackupDriver recording(driver);
        const DateTime started = s.clock.now();
        const ExecuteOutcome outcome = ExecuteBackup(s, state, **found, recording);
        code = outcome == ExecuteOutcome::Succeeded ? unattended::Succeeded : unattended::Failed;
        if (status) {
            // Nobody watches an unattended run: its end is kept for the tray and the notice.
            recordBackupRun(*status, recording, (*found)->SYSID, (*found)->NAME, code == unattended::Succeeded,
                            s.clock.now(), notice, started);
        }
    }

    // Closing the console writes the list, as every close does.
    state.lastBacked.save(s.settings);
    return code;
}

int RunUnattended(const Services& services, const std::string& projectName, BackupRunDriver& driver,
                  const FailureNotice& notice) {
    // Stopping an unattended run (a logout, a service stop, Ctrl-C) cancels it cleanly.
    catchTerminationSignals();
    RunStatusStore status(runStatusFolder(services.paths.dataFolder));
    return RunUnattendedBackup(services, projectName, driver, &status, notice);
}

int RunUnattendedInConsole(const Services& services, const std::string& projectName, std::ostream& out,
                           const FailureNotice& notice) {
    ConsoleBackupView view(out, services.clock);
    LoopBackupDriver driver(view);
    return RunUnattended(services, projectName, driver, notice);
}

bool displayAvailable() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* v = std::getenv(name); v && *v) return true;
    return false;
}

}  // namespace quillet
