#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "backup/RotateArchives.h"
#include "catalog/Records.h"

namespace quillet {

class Dialogs;
class FileSystem;

// The console's list of the selected project's archive files and what it shows beside it.
struct BackupListState {
    BackupList list;         // in ascending name order; entry 1 is the newest archive
    std::int64_t count = 0;  // "Total Backups:"
    std::int64_t totalBytes = 0;
    bool reachable = false;     // the destination could be entered
    std::string pathErrorText;  // for the notes area when it could not
};

inline constexpr const char* NoProjectsText =
    "There are currently no \"Projects\" entered.\r\n\r\nTo start a new project, click on the Projects list, then "
    "press your \"Insert\" key.";

// Re-reads the archive files of project (none: there are no projects) from its
// destination: prefix + "????.lsp" for a project, every "*.lsp" for a favourites folder,
// matched without regard to case. A renumbering that a killed run left unfinished there is
// completed first when the folder is free (its messages go to dialogs when given); while
// another run holds the folder, that run completes it, and the list shows the files as they are.
void RefreshBackupList(FileSystem& fs, const std::optional<Project>& project, const std::string& programFolder,
                       BackupListState& state, Dialogs* dialogs = nullptr);

// The destination with exactly one '/' at the end (blanks at the end removed).
std::string destinationFolder(const std::string& destination);

}  // namespace quillet
