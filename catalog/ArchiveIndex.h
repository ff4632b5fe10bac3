#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/records/SqlDatabase.h"
#include "platform/Result.h"

namespace quillet {

// One item of an archive's directory as the index keeps it.
struct IndexedItem {
    std::string path;  // the item path as listed (trailing '/'), or empty
    std::string name;
    std::uint64_t size = 0;
    std::uint64_t packed = 0;
    std::int64_t mtime = 0;   // seconds since the epoch
    std::uint32_t nanos = 0;  // and nanoseconds, when exactTime
    std::uint32_t crc = 0;
    bool exactTime = false;  // false: from the two-second DOS stamp

    std::string key() const { return path + name; }
};

// One version found: the archive holding it and the item.
struct FoundVersion {
    std::string archive;  // absolute path of the archive file
    std::int64_t archiveMtime = 0;
    IndexedItem item;
};

// The index of archive directories: an SQLite file beside the record files holding, per
// archive, its identity (path, size, modification time, device, inode) and its items.
// It is a cache of what the archives' central directories say, so it can always be
// rebuilt from them: a missing, damaged or foreign file is replaced by an empty index,
// silently, and filled again as archives are asked about. Only directories are read,
// never item data.
class ArchiveIndex {
public:
    static constexpr const char* FileName = "ArchiveIndex.db";

    explicit ArchiveIndex(std::string dataFolder);
    ~ArchiveIndex();
    ArchiveIndex(const ArchiveIndex&) = delete;
    ArchiveIndex& operator=(const ArchiveIndex&) = delete;

    std::string filePath() const { return dataFolder_ + FileName; }

    // Makes the index agree with these archives (absolute paths) as they are on disk: an
    // archive whose identity changed, or that is not yet indexed, has its directory read
    // again; an indexed archive that was renamed (same device, inode, size and time, new
    // name) is taken over without reading; indexed archives of the same folders that are
    // gone are dropped. An archive that cannot be read is indexed with no items.
    Status update(const std::vector<std::string>& archives);
    // Drops what the index holds of one archive (it was deleted).
    Status forget(const std::string& archive);
    // Empties the index (the next update reads every directory again).
    Status clear();

    // The items of one indexed archive, in stored order (call update first).
    Result<std::vector<IndexedItem>> items(const std::string& archive);
    // Every item of these archives whose name matches the mask (wildcards, any letter
    // case), after bringing them up to date. Ordered by item path and name, then newest
    // archive first.
    Result<std::vector<FoundVersion>> find(std::string_view mask, const std::vector<std::string>& archives);

    // The items of an archive's directory read straight from the file, without the index.
    static Result<std::vector<IndexedItem>> readItems(const std::string& path);

    // Directories read since this object was made (a renamed archive is not read again).
    int directoriesRead() const { return directoriesRead_; }

private:
    Status openDatabase();
    Status recreate();
    // Runs work; when the database fails under it, the file is replaced by an empty
    // index and work runs once more.
    Status guarded(const std::function<Status()>& work);
    Status updateNow(const std::vector<std::string>& archives);
    Status readInto(std::int64_t archiveId, const std::string& path);
    Result<std::int64_t> idOf(const char* table, const std::string& text);

    std::string dataFolder_;
    SqlDatabase db_;
    int directoriesRead_ = 0;
    // Text -> id of the names and folders tables, loaded on first use while updating.
    std::optional<std::unordered_map<std::string, std::int64_t>> names_, folders_;
};

// Item dates as the listings print them: "YYYY-MM-DD" and "HH:MM:SS" in local time.
std::string isoDateOf(std::int64_t seconds);
std::string isoTimeOf(std::int64_t seconds);
// "0a1b2c3d", as the archive listings show CRC-32 values.
std::string crcText(std::uint32_t crc);

}  // namespace quillet
