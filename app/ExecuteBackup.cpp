#include "app/ExecuteBackup.h"

#include <algorithm>
#include <cstring>

#include "app/ArchiveVersions.h"
#include "archive/lspclass.h"
#include "backup/BatchBackup.h"
#include "backup/RotateArchives.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/Services.h"
#include "platform/EventsThrough.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"
#include "platform/TerminationSignals.h"

namespace quillet {

namespace {

constexpr std::uint32_t BatchFlag = 0x0020;          // keep the archive open between files
constexpr std::uint32_t AbsolutePathsFlag = 0x0008;  // full paths even while relative paths are on

std::string parentOf(const std::string& folder) {
    std::string p = folder;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const auto slash = p.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return p.substr(0, slash);
}

// Removes the temporary archive and any unfinished copy the packing library (or a rotation
// plan being written) left beside it when a run was killed. Only ever called with the
// folder locked and any interrupted rotation finished: the temporary archive is then not
// a checked backup waiting for its number.
void removeTemporaryArchive(const FileSystem& fs, const std::string& folder) {
    (void)fs.removeFile(folder + TemporaryArchiveName);
    for (const std::string& mask :
         {std::string(TemporaryArchiveName) + ".lsptmp-*", std::string(RotationPlanName) + ".tmp-*"})
        if (auto leftovers = fs.list(folder, mask, 0))
            for (const DirEntry& e : *leftovers) (void)fs.removeFile(folder + e.name);
}

std::string trimmedName(std::string name) {
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

}  // namespace

std::optional<std::int64_t> freeSpaceNear(const FileSystem& fs, const std::string& folder) {
    std::string at = fs.absolutePath(folder);
    while (true) {
        if (fs.folderExists(at) || at == "/") {
            auto free = fs.freeSpace(at);
            if (free) return *free;
            if (at == "/") return std::nullopt;
        }
        at = parentOf(at);
    }
}

ExecuteOutcome ExecuteBackup(const Services& s, BackupCommandState& state, const std::optional<Project>& project,
                             BackupRunDriver& driver) {
    if (!project || project->FAVORITES == 1) return ExecuteOutcome::NotRun;
    struct EndOfCommand {
        BackupCommandState& state;
        ~EndOfCommand() {
            state.reminderSuspended = false;
            if (state.rereadSettings) state.rereadSettings();
        }
    } end{state};

    const std::string folder = destinationFolder(project->DESTINATIONPATH);
    RefreshBackupList(s.fs, project, s.paths.programFolder, state.backups);
    if (!state.backups.reachable) {
        const int answer = s.dialogs.message(
            "The destination path is currently unavailable! If you click \"Continue\", Quillet will attempt to "
            "create the directory for you. Otherwise, press \"Cancel\"",
            "Path Not Available", Icon::Exclamation, "&Cancel|C&ontinue", 1);
        if (answer != 2) return ExecuteOutcome::Declined;
        // What the question promises; when it cannot be made the packing reports why.
        (void)s.fs.createFolders(folder);
    }

    // One run at a time per destination, from the clean-up of what an earlier run left to
    // the end of the rotation: two runs would share the temporary archive and the numbers.
    const FolderLock lock(folder, trimmedName(project->NAME));
    if (terminationRequested()) return ExecuteOutcome::Declined;
    if (lock.state() == FolderLock::State::Busy) {
        s.dialogs.message(folderInUseText(folder, lock.holder()), FolderInUseTitle, Icon::Exclamation, buttons::Ok, 1);
        return ExecuteOutcome::Declined;
    }
    // Without the lock another run could meet this one's renames: a folder that takes no
    // lock file (read-only, not ours, not there) takes no backup either.
    if (lock.state() == FolderLock::State::Unlockable) {
        s.dialogs.message("No backup can be made in the destination folder " + folder + ":|" +
                              std::strerror(lock.error()) + "||Nothing has been changed there.",
                          "Backup Failed", Icon::Exclamation, buttons::Ok, 1);
        return ExecuteOutcome::Declined;
    }
    // A rotation that an earlier run could not finish holds that run's checked archive, the
    // newest backup there is: it takes its number before anything else happens here.
    if (const RecoveryOutcome recovered = CompleteInterruptedRotation(&s.dialogs, folder);
        recovered == RecoveryOutcome::Failed) {
        s.dialogs.message("The backups in " + folder +
                              " could not be renumbered after an interrupted backup, so no new backup has been "
                              "started.|Nothing has been deleted.",
                          "Backup Failed", Icon::Exclamation, buttons::Ok, 1);
        return ExecuteOutcome::Failed;
    }
    // Listed again now that the folder is ours: another run may have just renumbered it.
    RefreshBackupList(s.fs, project, s.paths.programFolder, state.backups);

    // Archive numbers have four digits: a backup that would have to number an archive
    // 10000 would push it out of every listing of the project, so it is refused up front.
    const std::size_t kept = project->MAXBACKUPS > 0
                                 ? std::min<std::size_t>(state.backups.list.size(), project->MAXBACKUPS - 1)
                                 : state.backups.list.size();
    if (kept + 1 > MaxArchiveNumber) {
        s.dialogs.message("The project \"" + project->NAME + "\" already has " + std::to_string(kept) + " backups in " +
                              folder + ".|A new backup would need the number " + std::to_string(kept + 1) +
                              ", and backups are numbered up to " + std::to_string(MaxArchiveNumber) +
                              ".||Delete older backups or set a maximum number of backups for the project.",
                          "Too Many Backups", Icon::Exclamation, buttons::Ok, 1);
        return ExecuteOutcome::Declined;
    }

    const std::optional<std::int64_t> free = freeSpaceNear(s.fs, folder);
    if (free) {
        const std::string drive = s.fs.mountFolder(s.fs.absolutePath(folder));
        if (!state.backups.list.empty()) {
            // The newest archive tells how much the next one will need.
            if (state.backups.list.front().size > 3 * *free) {
                s.dialogs.beep();
                s.dialogs.message(
                    "The available disk space on drive \"" + drive + "\" is too low to complete the operation",
                    "Not Enough Disk Space!", Icon::Exclamation, buttons::Ok, 1);
                return ExecuteOutcome::Declined;
            }
        } else if (*free < LowDiskSpaceBytes) {
            s.dialogs.beep();
            const int answer = s.dialogs.message(
                "The available disk space on drive \"" + drive + "\" is getting mighty low, do you want to continue?",
                "Disk Space is getting low!", Icon::Exclamation, buttons::YesNo, answer::No);
            if (answer != answer::Yes) return ExecuteOutcome::Declined;
        }
    }

    lspclass& a = s.archive;
    a.USE_LSP_MESSAGE_PUMP = 1;
    a.COMPRESSION_METHOD = 2;
    a.ARCHIVE_NAME = folder + TemporaryArchiveName;
    removeTemporaryArchive(s.fs, folder);
    // The flag words are built afresh from the settings, so the backup bits are added
    // once whatever ran before.
    a.SetPackFlags();
    a.PACK_FLAG |= BatchFlag;
    if (a.USE_PATH_INFO == 1 && a.PATH_INFORMATION == 2) a.PACK_FLAG |= AbsolutePathsFlag;

    state.reminderSuspended = true;
    BackupArguments arguments;
    arguments.project = *project;
    arguments.archivePath = a.ARCHIVE_NAME;
    arguments.changeWatch = &state.changeWatch;
    arguments.archive = &a;
    arguments.backupList = &state.backups.list;
    arguments.packFlag = a.PACK_FLAG;
    arguments.compMode = a.COMP_MODE;
    arguments.tempPath = a.TEMP_PATH;
    arguments.programFolder = s.paths.programFolder;
    arguments.countdown = state.commandLineRun;
    bool temporaryKept = false;
    arguments.temporaryKept = &temporaryKept;
    const BackupServices services{s.fs, s.dialogs, s.settings, s.clock, s.catalog, s.sounds};
    const std::uint8_t result = BatchBackup(services, arguments, driver);

    if (result == 0) {
        RefreshBackupList(s.fs, project, s.paths.programFolder, state.backups);
        state.lastBacked.record(project->SYSID);
        // The new directory goes into the index now, so finding versions reads no archive.
        // Reading it and writing the index takes a while for a large backup: the index's own
        // connection does it on a helper thread while the console's events go through.
        const std::vector<std::string> archives = projectArchivePaths(s.fs, *project, s.paths.programFolder);
        runLettingEventsThrough([&] { indexArchives(s.catalog.database().folder(), archives); },
                                [&driver] { driver.view().pumpEvents(); });
        return ExecuteOutcome::Succeeded;
    }
    // A checked archive that could not take its number is the newest backup there is.
    if (!temporaryKept) removeTemporaryArchive(s.fs, folder);
    return ExecuteOutcome::Failed;
}

}  // namespace quillet
