#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace quillet {

// The moments at which a run has written something that must survive the process dying
// right there, and the few at which a test must stop a run. Every durable step names its
// point here and nowhere else: the crash test walks this whole list, so a point no
// scenario reaches fails it.
enum class CrashPoint : unsigned char {
    ScanFolderListed,          // the scan has listed a folder; nothing is written yet
    FilePacked,                // a file is in the open batch of the temporary archive
    ArchiveDirectoryStarting,  // an archive's directory is about to be written
    ArchiveDirectoryWritten,   // its directory is written, not yet synced
    ArchiveSynced,             // the archive's file is synced, still under its working name
    ArchiveRenamed,            // the archive has taken its name, the folder not yet synced
    ArchiveFolderSynced,       // the archive's folder is synced
    CommentItemStarting,       // the new archive is about to get its comment item
    CommentItemWritten,        // the comment item is in
    ReadBackChecked,           // the new archive has been read back whole, its plan on disk, nothing moved yet
    FileWriteSynced,           // a small file (settings, comment copy, plan) is synced under its working name
    FileWriteRenamed,          // it has taken its name, the folder not yet synced
    RotationPlanWritten,       // the rotation's plan is on disk, the new archive not yet read back
    RotationDeleted,           // one archive past the maximum has been deleted
    RotationRenamed,           // one rename of the rotation is done
    RotationSynced,            // every rename is synced, the plan not yet removed
    RotationPlanRemoved,       // the rotation is over
    SettingsWriting,           // a settings file is about to be written
    RecordCommitting,          // a record-file transaction is about to commit
    RecordCommitted,           // it has committed
    LockWaiting,               // a run found its destination in use and waits for it
    Count
};

inline constexpr std::array<std::string_view, static_cast<std::size_t>(CrashPoint::Count)> CrashPointNames{
    "ScanFolderListed", "FilePacked",          "ArchiveDirectoryStarting", "ArchiveDirectoryWritten", "ArchiveSynced",
    "ArchiveRenamed",   "ArchiveFolderSynced", "CommentItemStarting",      "CommentItemWritten",      "ReadBackChecked",
    "FileWriteSynced",  "FileWriteRenamed",    "RotationPlanWritten",      "RotationDeleted",         "RotationRenamed",
    "RotationSynced",   "RotationPlanRemoved", "SettingsWriting",          "RecordCommitting",        "RecordCommitted",
    "LockWaiting",
};

std::optional<CrashPoint> crashPointNamed(std::string_view name);

namespace crash_detail {
extern const bool armed;
void reached(CrashPoint point);
}  // namespace crash_detail

// Fault injection for the tests, read once from the environment at start-up:
//   QUILLET_CRASH_AT=<point>[:<n>]   the process sends itself SIGKILL at the n-th (default
//                                    first) time it reaches the point;
//   QUILLET_PAUSE_AT=<point>[:<n>]   with QUILLET_PAUSE_FD=<fd> (a socket): there it writes
//                                    the point's name and a line break to fd and waits
//                                    until a byte arrives or the other end closes.
// Without either variable a point costs one test of a flag.
inline void crashPoint(CrashPoint point) {
    if (crash_detail::armed) crash_detail::reached(point);
}

}  // namespace quillet
