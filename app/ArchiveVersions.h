#pragma once

#include <optional>
#include <string>
#include <vector>

#include "catalog/ArchiveIndex.h"
#include "catalog/Records.h"

namespace quillet {

class Catalog;
class FileSystem;

// The archive files of a project as absolute paths, newest (number 0001) first; none
// when its destination cannot be entered.
std::vector<std::string> projectArchivePaths(FileSystem& fs, const Project& project, const std::string& programFolder);
// Those of every project and favourites folder, each file once.
std::vector<std::string> allArchivePaths(FileSystem& fs, Catalog& catalog, const std::string& programFolder);

// A version as the find listings show it: identical versions (same size and CRC) of one
// item share their number; 1 is the content of the newest archive holding the item.
struct VersionRow {
    FoundVersion found;
    int version = 1;
};
std::vector<VersionRow> groupVersions(std::vector<FoundVersion> found);

// Brings the index beside the record files up to date with the project's archives after
// the program changed them (a backup, a rename, a copy, a delete). An index that cannot
// be written is left for the next look-up to rebuild: this never fails the caller.
void indexProjectArchives(const std::string& dataFolder, FileSystem& fs, const Project& project,
                          const std::string& programFolder);
// The same for archive files named directly (a folder of copies, a deleted file).
void indexArchives(const std::string& dataFolder, const std::vector<std::string>& archives);

}  // namespace quillet
