#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace quillet {

class Dialogs;

// The archives of one project as the console lists them: one listing entry per archive
// file, in ascending name order, so entry i (from 1) is the archive numbered i.
using BackupList = std::vector<DirEntry>;

// The name of the archive while a backup is being packed, in the destination folder.
inline constexpr const char* TemporaryArchiveName = "QLTTemp.___";

// The rotation's plan, written to the destination before its first delete or rename and
// removed after its last: a run that dies on the way leaves it for the next one to finish.
inline constexpr const char* RotationPlanName = "QLTPlan.___";

// The highest archive number: names have four digits, and listings look for exactly four.
inline constexpr std::size_t MaxArchiveNumber = 9999;

// "PREF" + number as four digits + ".LSP" (more digits past 9999).
std::string archiveFileName(const std::string& prefix, int number);

struct RotationRequest {
    std::string destination;  // the project's destination folder
    std::string prefix;       // the project's prefix
    int maxBackups = 0;       // 0 keeps every archive
    // Files of this run failed: no older archive is deleted, since one may hold the only
    // copy of a failed file. The next run without failures trims back to the maximum.
    bool keepOlder = false;
};

struct RotationOutcome {
    bool completed = false;            // false: the check or a rename failed
    bool checkFailed = false;          // the new archive did not read back and is removed
    std::string finalPath;             // the new archive 0001 when completed
    std::int64_t compressedBytes = 0;  // its size when completed
    std::int64_t keptOverMaximum = 0;  // older archives kept past the maximum (keepOlder)
};

// Gives the finished temporary archive the number 0001: deletes the archives beyond the
// project's maximum (oldest first), moves every other archive one number up in two
// rename passes (all first to 1002 and up, then to their final numbers, so no rename meets
// an archive still to be moved), and renames "QLTTemp.___" to prefix + "0001.LSP". The
// first rename that fails is reported (ReportRenameError) and ends the rotation. A rename
// never replaces an existing file. bar receives the rename progress 0..100, and -1 when
// done. list is updated to the names given.
//
// Every step is first written to the plan file RotationPlanName in the destination (synced),
// so that a rotation cut short by a crash is finished by CompleteInterruptedRotation. The
// plan stays when a rename fails: the checked new archive is then still the newest backup.
//
// check, when given, reads the new archive back once the plan is on disk and before
// anything moves: when it fails, the temporary archive and then the plan are removed and
// nothing else is touched (checkFailed). A checked archive thus always has its plan.
//
// pump, when given, lets the caller's events through while the plan is written and
// removed (the syncs run on a helper thread meanwhile) and after each step; nothing it
// does may touch the folder's archives.
RotationOutcome RotateArchives(const FileSystem& fs, Dialogs& dialogs, const RotationRequest& request, BackupList& list,
                               const std::function<void(int)>& bar = {}, const std::function<bool()>& check = {},
                               const std::function<void()>& pump = {});

enum class RecoveryOutcome {
    NothingToDo,  // no plan in the folder
    Completed,    // an interrupted rotation has been finished (or its unsound archive removed) and its plan removed
    Failed,       // a step failed (reported with ReportRenameError) or the plan is unreadable; nothing more moved
};

// Finishes the rotation whose plan a run left in folder: every step whose file is still
// where the plan found it (the same file, by identity) is done; steps done before the
// interruption are passed over. The archives end in date order, the newest as 0001.
// The run may have died before its read-back check, so the new archive is read back
// again first; one that does not read back is removed with the plan before anything moves.
// Without dialogs (a listing) nothing is shown; the outcome tells.
RecoveryOutcome CompleteInterruptedRotation(Dialogs* dialogs, const std::string& folder);

// The "Rename Error" message for a rename that failed with the system error `error`.
void ReportRenameError(Dialogs& dialogs, int error, const std::string& oldPath, const std::string& newPath);

// rename() that refuses an existing target (EEXIST); returns 0 or the system error.
int renameWithoutReplacing(const std::string& from, const std::string& to);

}  // namespace quillet
