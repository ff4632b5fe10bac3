#include "app/UnattendedRun.h"

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "lsp/lsp.h"

namespace quillet {

namespace {

struct CatalogUse {
    Catalog& catalog;
    ~CatalogUse() { catalog.close(); }
};

}  // namespace

int RunUnattendedBackup(BackupCommandServices& s, const std::string& projectName, BackupRunDriver& driver) {
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
        const ExecuteOutcome outcome = ExecuteBackup(s, state, **found, driver);
        code = outcome == ExecuteOutcome::Succeeded ? unattended::Succeeded : unattended::Failed;
    }

    // Closing the console writes the list, as every close does.
    state.lastBacked.save(s.settings);
    return code;
}

}  // namespace quillet
