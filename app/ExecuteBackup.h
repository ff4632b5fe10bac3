#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/LastBackedList.h"
#include "app/RefreshBackupList.h"
#include "backup/ChangeWatchList.h"
#include "catalog/Records.h"

namespace quillet {

class BackupRunDriver;
class FileSystem;
struct Services;

// Below this many free bytes a project's first backup asks before it starts.
inline constexpr std::int64_t LowDiskSpaceBytes = 5'000'000;

// The console state the backup command reads and changes.
struct BackupCommandState {
    BackupListState backups;      // the selected project's archive files
    ChangeWatchList changeWatch;  // filled by the run
    LastBackedList lastBacked;
    bool reminderSuspended = false;
    bool commandLineRun = false;  // started with "-P": the progress window closes by itself
    // Re-reads the console's settings at the end of the command (ends the suspension).
    std::function<void()> rereadSettings;
};

enum class ExecuteOutcome {
    NotRun,     // a favourites folder, or no project
    Declined,   // a check stopped it: unreachable destination, too little disk space, a folder in use or unlockable
    Succeeded,  // the backup returned 0
    Failed,     // the backup returned 1 (cancelled, nothing to back up, failed files, a failed rename)
};

// The backup command: checks the destination and its free space, prepares the archive
// object for the temporary archive "QLTTemp.___" (deleting a stale one), runs BatchBackup
// through driver and records the project in LastBackedList when it succeeded; after a
// failure the temporary archive is deleted, unless it is a checked backup that a failed
// rename left under that name.
ExecuteOutcome ExecuteBackup(const Services& services, BackupCommandState& state, const std::optional<Project>& project,
                             BackupRunDriver& driver);

// Free bytes where folder is, or where its nearest existing parent is when it does not
// exist yet; nothing when not even that can be told.
std::optional<std::int64_t> freeSpaceNear(const FileSystem& fs, const std::string& folder);

}  // namespace quillet
