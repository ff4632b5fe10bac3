#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backup/BackupFileList.h"
#include "catalog/ItemChanges.h"
#include "catalog/Records.h"

namespace quillet {

class ArchiveIndex;
class FileSystem;

// What a backup of the selected files would change relative to the project's newest
// archive: new files (largest first), changed ones (size or time; reading every file for
// its CRC would cost as much as the backup) and vanished ones.
struct PreviewChanges {
    std::string newestArchive;  // empty: the project has no archive yet (every file is new)
    ItemChanges changes;
};

// The newest archive of the project (its number 0001) as an absolute path, if there is one.
std::optional<std::string> newestArchiveOf(const FileSystem& fs, const Project& project);

// The selected files as items of the archive they would go into: each file takes the
// item path and name of the archive item it matches (its full path, or with relative or
// no stored paths the item whose path and name end its path); size and time from the
// file system.
ItemChanges changesAgainst(const FileSystem& fs, const BackupFileList& files, const std::vector<IndexedItem>& newest);

// The same against the newest archive of the project, read through the index; when the
// index cannot be used, straight from the archive's directory.
PreviewChanges previewChanges(const FileSystem& fs, ArchiveIndex& index, const Project& project,
                              const BackupFileList& files);

}  // namespace quillet
