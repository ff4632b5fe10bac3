#include "app/cli/ConsoleBackup.h"

#include "app/ConsoleBackupView.h"
#include "app/UnattendedRun.h"
#include "archive/lspclass.h"
#include "backup/BatchBackup.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "platform/Paths.h"

namespace quillet {

int RunConsoleBackup(const Paths& paths, FileSystem& fs, Dialogs& dialogs, Settings& settings,
                     const std::string& projectName, std::ostream& out) {
    lspclass archive(dialogs, paths.configFolder);
    archive.Init();
    SystemClock clock;
    SilentSoundPlayer sounds;
    ensureFolder(paths.dataFolder);
    Catalog catalog(paths.dataFolder);
    BackupCommandServices services{fs, dialogs, settings, clock, catalog, sounds, archive, paths.programFolder, {}};
    ConsoleBackupView view(out, clock);
    LoopBackupDriver driver(view);
    const int code = RunUnattendedBackup(services, projectName, driver);
    archive.Kill();
    return code;
}

}  // namespace quillet
