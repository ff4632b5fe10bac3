#pragma once

// Reading an archive's central directory, and the one archive kept open between calls.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lsp/ZipFormat.h"

namespace lsp {

struct Directory {
    std::vector<ZipEntry> entries;                       // in stored order
    std::unordered_map<std::string, std::size_t> index;  // itemKey -> position; the last of equal keys
    std::uint64_t entriesEnd = 0;                        // where the central directory begins

    // The item of that path and name; a leading "/" on the path is not significant.
    const ZipEntry* find(std::string_view path, std::string_view name) const;
};

// Where one reading of the end records places the central directory: its entries lie
// before start, and their offsets are moved by shift (data in front of the archive proper).
struct DirectoryReading {
    std::uint64_t start = 0;
    std::uint64_t shift = 0;
    std::uint64_t count = 0;  // entries it announces
};

// Receives a directory entry by entry as it is read, so that an archive can be checked or
// indexed without holding its whole directory. A reading that turns out wrong part way
// is followed by another begin(): what came before it is to be forgotten.
class DirectorySink {
public:
    virtual ~DirectorySink() = default;
    virtual void begin(const DirectoryReading& reading) = 0;
    // The entry, parsed, and its record as stored in the central directory.
    virtual void add(ZipEntry&& e, std::string_view record) = 0;
};

// Reads and checks the directory of the archive open on fd. On failure returns the status
// (2 structure, 4 truncated, 23 multi-disk) and says why.
std::int16_t readDirectory(int fd, std::uint64_t fileSize, Directory& out, std::string& why);
// The same, handing the entries of the reading it accepts to sink (and those of readings
// it tried before, each after a begin()). On success the last begin() named that reading.
std::int16_t readDirectory(int fd, std::uint64_t fileSize, DirectorySink& sink, std::string& why);
// Parses one record of a central directory that reading placed, as readDirectory does.
std::int16_t parseCentralRecord(std::string_view record, const DirectoryReading& reading, ZipEntry& e,
                                std::string& why);

// Central directory records kept as stored, back to back in large blocks that never move,
// so that the view store() gives stays valid: 100,000 records cost little more than their
// size in the archive, where parsed entries cost several times that.
class RecordStore {
public:
    std::string_view store(std::string_view record);
    // Takes back the record store() gave last (when it is the last one stored).
    void unstore(std::string_view record);

private:
    std::vector<std::string> blocks_;
};

// An archive open for reading with its directory.
struct OpenArchive {
    OpenArchive() = default;
    OpenArchive(const OpenArchive&) = delete;
    OpenArchive& operator=(const OpenArchive&) = delete;
    ~OpenArchive();

    std::string path;  // absolute
    int fd = -1;
    std::uint64_t size = 0;
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t mtimeNanos = 0;
    Directory directory;
};

// The archive at path (absolute), its directory read once and kept until the file
// changes (identity, size or modification time). Status 21 when it cannot be opened.
std::shared_ptr<const OpenArchive> openArchive(const std::string& path, std::int16_t& status, std::string& why);
// Reads the directory of the archive at path (absolute) into sink, keeping nothing: the
// checks and statuses of openArchive, for a single pass over a large archive.
std::int16_t readArchiveDirectory(const std::string& path, DirectorySink& sink, std::string& why);
// Drops the kept directory (after this library replaced or removed the file).
void forgetArchive();

}  // namespace lsp
