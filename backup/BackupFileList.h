#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One selected file. FILENAME is the whole path (never cut), SIZE is 64-bit.
struct BackupFileEntry {
    std::string FILENAME;   // scanned folder + '/' + file name
    std::int32_t ICON = 1;  // 1 not yet packed, 2 packed, 3 failed
    std::int64_t SIZE = 0;
    std::int32_t TIME = 0;  // last-write time of day, hundredths since midnight plus one
    std::string REASON;     // why it failed (ICON 3)
};

// BackupFileList for a backup and PreviewFileList for a preview: the same entries, so a
// preview and the backup that follows it select the same files in the same order.
using BackupFileList = std::vector<BackupFileEntry>;

// The FILENAME of the single entry left after a folder could not be entered.
inline constexpr std::string_view PathNotFoundEntry = "<ERROR! Path Not Found>";

// The list's order: by the sort name, FILENAME upper-cased; paths that differ only in
// letter case in FILENAME order, so the order never depends on the order of finding. The
// sort name is compared as it is read rather than kept beside every path (100,000 paths
// would be held twice). A strict order of the exact paths: two paths are equivalent in it
// only when they are the same bytes.
struct SortNameOrder {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// The list while the scan builds it, kept in the list's final order, so that the duplicate
// test of the include pass and the look-up of the exclude pass cost a logarithm each, not
// a pass over the list (100,000 files must not cost 10^10 steps), and no sort is needed.
class FileSelection {
public:
    FileSelection() = default;
    FileSelection(const FileSelection&) = delete;  // its place of the last file is in its own map
    FileSelection& operator=(const FileSelection&) = delete;

    // Adds a file unless its path is there already (the first finding wins); true when added.
    bool add(std::string filename, std::int64_t size, std::int32_t time);
    // Removes the file of exactly this path; true when it was there.
    bool remove(const std::string& filename);
    std::size_t size() const { return files_.size(); }
    void clear();
    // Hands the files over as list entries in sort-name order and leaves the selection empty.
    BackupFileList take();

private:
    struct Found {
        std::int64_t size = 0;
        std::int32_t time = 0;
    };
    using Map = std::map<std::string, Found, SortNameOrder>;
    Map files_;
    Map::iterator last_;  // the file added last, while it is there (hasLast_)
    bool hasLast_ = false;
};

}  // namespace quillet
