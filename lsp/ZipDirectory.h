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

// Reads and checks the directory of the archive open on fd. On failure returns the status
// (2 structure, 4 truncated, 23 multi-disk) and says why.
std::int16_t readDirectory(int fd, std::uint64_t fileSize, Directory& out, std::string& why);

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
// Drops the kept directory (after this library replaced or removed the file).
void forgetArchive();

}  // namespace lsp
