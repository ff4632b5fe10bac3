#include "lsp/ZipDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "lsp/lsp.h"

namespace lsp {

const ZipEntry* Directory::find(std::string_view path, std::string_view name) const {
    auto it = index.find(itemKey(path, name));
    if (it == index.end()) {
        const std::string other =
            !path.empty() && path.front() == '/' ? std::string(path.substr(1)) : "/" + std::string(path);
        it = index.find(itemKey(other, name));
        if (it == index.end()) return nullptr;
    }
    return &entries[it->second];
}

namespace {

constexpr std::uint64_t kMaxDirectoryBytes = 1ull << 30;

std::int16_t fail(std::string& why, const char* text, std::int16_t status) {
    why = text;
    return status;
}

// A file that starts like a ZIP archive but has no end record was cut short.
std::int16_t missingEnd(int fd, std::uint64_t fileSize, std::string& why) {
    unsigned char sig[4];
    if (fileSize == 0) return fail(why, "The archive file is empty", LSP_E_UNEXPECTED_EOF);
    if (fileSize >= 4 && readAt(fd, sig, 4, 0) && get32(sig) == kLocalSig)
        return fail(why, "The archive ends before its directory (truncated)", LSP_E_UNEXPECTED_EOF);
    return fail(why, "Not a ZIP archive: no end of central directory record", LSP_E_STRUCTURE);
}

// One reading of the end records: where the central directory should lie.
struct EndReading {
    std::uint64_t count = 0;
    std::uint64_t cdSize = 0;
    std::uint64_t cdOffset = 0;  // as recorded, before any shift
    std::uint64_t cdEnd = 0;     // where the next record starts
};

// The central directory is read through a window of this size, not whole: a directory of
// 100,000 items is some 15 MB, held beside whatever its entries become.
constexpr std::size_t kDirectoryWindow = 1 << 20;

// The central directory of one reading, read and checked entry by entry, taken to begin
// at cdStart: where it is recorded, or right before the next record when data stands in
// front of the archive proper (a self-extracting stub), which moves every offset. probes
// counts the readings that got as far as reading a directory.
std::int16_t parseCentral(int fd, const EndReading& r, std::uint64_t cdStart, DirectorySink& sink, std::string& why,
                          int& probes) {
    const std::uint64_t count = r.count, cdSize = r.cdSize, cdOffset = r.cdOffset;
    if (count > cdSize / kCentralHeaderSize)
        return fail(why, "More entries than the directory can hold", LSP_E_STRUCTURE);
    if (cdOffset > cdStart) return fail(why, "Central directory offset beyond its place", LSP_E_STRUCTURE);
    unsigned char sig[4];
    if (count > 0 && (!readAt(fd, sig, 4, cdStart) || get32(sig) != kCentralSig))
        return fail(why, "Central directory entry damaged", LSP_E_STRUCTURE);
    const DirectoryReading reading{cdStart, cdStart - cdOffset, count};
    sink.begin(reading);
    ++probes;

    // The bytes [windowAt, windowAt + window.size()) of the directory.
    std::vector<unsigned char> window(static_cast<std::size_t>(std::min<std::uint64_t>(cdSize, kDirectoryWindow)));
    std::uint64_t windowAt = 0;
    const auto fill = [&](std::uint64_t pos, std::size_t need) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(std::max(need, kDirectoryWindow), cdSize - pos));
        window.resize(size);
        windowAt = pos;
        return readAt(fd, window.data(), size, cdStart + pos);
    };
    if (cdSize && !fill(0, 0)) return fail(why, "Cannot read the central directory", LSP_E_UNEXPECTED_EOF);
    // The need bytes at pos (within the directory), read into the window when not there yet.
    const auto bytes = [&](std::uint64_t pos, std::size_t need) -> const unsigned char* {
        if (pos < windowAt || pos + need > windowAt + window.size()) {
            if (!fill(pos, need)) return nullptr;
        }
        return window.data() + (pos - windowAt);
    };

    std::uint64_t pos = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (pos + kCentralHeaderSize > cdSize) return fail(why, "Central directory cut short", LSP_E_STRUCTURE);
        const unsigned char* p = bytes(pos, kCentralHeaderSize);
        if (!p) return fail(why, "Cannot read the central directory", LSP_E_UNEXPECTED_EOF);
        if (get32(p) != kCentralSig) return fail(why, "Central directory entry damaged", LSP_E_STRUCTURE);
        const std::size_t recordSize = kCentralHeaderSize + get16(p + 28) + get16(p + 30) + get16(p + 32);
        if (pos + recordSize > cdSize)
            return fail(why, "Central directory entry runs past the directory", LSP_E_STRUCTURE);
        p = bytes(pos, recordSize);
        if (!p) return fail(why, "Cannot read the central directory", LSP_E_UNEXPECTED_EOF);
        const std::string_view record(reinterpret_cast<const char*>(p), recordSize);
        ZipEntry e;
        if (const auto status = parseCentralRecord(record, reading, e, why); status != LSP_OK) return status;
        sink.add(std::move(e), record);
        pos += recordSize;
    }
    return LSP_OK;
}

// The zip64 end record that the locator right before the end record at endOffset leads
// to. Found only through the locator and accepted only when its size fits between the
// place it names and the locator; bytes of a name or of item data that happen to look
// like a locator lead nowhere and give false. Multi-disk sets give status 23.
bool zip64Reading(int fd, std::uint64_t endOffset, EndReading& r, std::int16_t& status, std::string& why) {
    status = LSP_OK;
    if (endOffset < kZip64LocatorSize + kZip64EndSize) return false;
    const std::uint64_t locOffset = endOffset - kZip64LocatorSize;
    unsigned char loc[kZip64LocatorSize];
    if (!readAt(fd, loc, sizeof loc, locOffset) || get32(loc) != kZip64LocatorSig) return false;
    // Where the locator says, or right before it when data in front moved the archive.
    for (const std::uint64_t at : {get64(loc + 8), locOffset - kZip64EndSize}) {
        if (at > locOffset - kZip64EndSize) continue;
        unsigned char z[kZip64EndSize];
        if (!readAt(fd, z, sizeof z, at) || get32(z) != kZip64EndSig) continue;
        const std::uint64_t recordSize = get64(z + 4);
        if (recordSize < kZip64EndSize - 12 || recordSize > locOffset - at - 12) continue;
        if (get32(loc + 4) != 0 || get32(loc + 16) > 1 || get32(z + 16) != 0 || get32(z + 20) != 0) {
            status = fail(why, "Multi-disk archive", LSP_E_MULTI_DISK);
            return false;
        }
        r.count = get64(z + 32);
        r.cdSize = get64(z + 40);
        r.cdOffset = get64(z + 48);
        r.cdEnd = at;
        return true;
    }
    return false;
}

}  // namespace

std::int16_t readDirectory(int fd, std::uint64_t fileSize, DirectorySink& sink, std::string& why) {
    if (fileSize < kEndSize) return missingEnd(fd, fileSize, why);

    // The end record lies within the last 64 KiB + 22 bytes (its comment is at most 65535).
    const std::uint64_t tailSize = fileSize < kEndSize + 65535 ? fileSize : kEndSize + 65535;
    const std::uint64_t tailStart = fileSize - tailSize;
    std::vector<unsigned char> tail(tailSize);
    if (!readAt(fd, tail.data(), tail.size(), tailStart))
        return fail(why, "Cannot read the archive", LSP_E_OPEN_ARCHIVE);

    // Every place that looks like an end record is a candidate, the last first; those whose
    // comment reaches exactly the end of the file come before those followed by more bytes.
    // A candidate counts only when the directory it describes reads back entry by entry, so
    // a signature inside a comment, a name or item data is passed over.
    std::vector<std::uint64_t> exact, loose;
    for (std::int64_t pos = static_cast<std::int64_t>(tailSize - kEndSize); pos >= 0; --pos) {
        const unsigned char* p = tail.data() + pos;
        if (get32(p) != kEndSig) continue;
        const std::uint64_t reach = static_cast<std::uint64_t>(pos) + kEndSize + get16(p + 20);
        if (reach == tailSize)
            exact.push_back(static_cast<std::uint64_t>(pos));
        else if (reach < tailSize)
            loose.push_back(static_cast<std::uint64_t>(pos));
    }
    exact.insert(exact.end(), loose.begin(), loose.end());
    if (exact.empty()) return missingEnd(fd, fileSize, why);

    std::int16_t firstStatus = LSP_OK;
    std::string firstWhy;
    auto note = [&](std::int16_t status) {
        if (firstStatus == LSP_OK) firstStatus = status, firstWhy = why;
    };
    // A reading of no entries whose directory offset is not where the directory ends is
    // taken only when nothing better is found (it may be a record inside a comment).
    DirectoryReading weakEmpty;
    bool haveWeakEmpty = false;
    int probes = 0;
    constexpr int kMaxProbes = 8;  // directories read in full, against crafted files full of candidates
    for (const std::uint64_t pos : exact) {
        if (probes >= kMaxProbes) break;
        const unsigned char* end = tail.data() + pos;
        const std::uint64_t endOffset = tailStart + pos;
        std::vector<EndReading> readings;
        EndReading z64;
        std::int16_t z64Status = LSP_OK;
        if (zip64Reading(fd, endOffset, z64, z64Status, why)) readings.push_back(z64);
        if (z64Status != LSP_OK) {
            note(z64Status);
            continue;
        }
        if (readings.empty() && (get16(end + 4) != 0 || get16(end + 6) != 0)) {
            note(fail(why, "Multi-disk archive", LSP_E_MULTI_DISK));
            continue;
        }
        readings.push_back(EndReading{get16(end + 10), get32(end + 12), get32(end + 16), endOffset});
        for (const EndReading& r : readings) {
            if (r.cdSize > r.cdEnd) {
                note(fail(why, "Central directory larger than the archive", LSP_E_STRUCTURE));
                continue;
            }
            if (r.cdSize > kMaxDirectoryBytes) {
                note(fail(why, "Central directory too large", LSP_E_MEMORY));
                continue;
            }
            // Where it is recorded first, then right before the next record.
            std::vector<std::uint64_t> starts;
            if (r.cdOffset <= r.cdEnd - r.cdSize) starts.push_back(r.cdOffset);
            if (r.cdEnd - r.cdSize != r.cdOffset) starts.push_back(r.cdEnd - r.cdSize);
            for (const std::uint64_t cdStart : starts) {
                const std::int16_t status = parseCentral(fd, r, cdStart, sink, why, probes);
                if (status != LSP_OK) {
                    note(status);
                    continue;
                }
                if (r.count != 0 || r.cdOffset == r.cdEnd) return LSP_OK;
                if (!haveWeakEmpty)
                    weakEmpty = DirectoryReading{cdStart, cdStart - r.cdOffset, 0}, haveWeakEmpty = true;
            }
        }
    }
    if (haveWeakEmpty) {
        sink.begin(weakEmpty);
        return LSP_OK;
    }
    sink.begin(DirectoryReading{});
    if (firstStatus == LSP_OK) return missingEnd(fd, fileSize, why);
    why = firstWhy;
    return firstStatus;
}

std::int16_t parseCentralRecord(std::string_view record, const DirectoryReading& reading, ZipEntry& e,
                                std::string& why) {
    const auto p = reinterpret_cast<const unsigned char*>(record.data());
    const std::size_t nameLen = get16(p + 28), extraLen = get16(p + 30), commentLen = get16(p + 32);
    e.madeBy = get16(p + 4);
    e.versionNeeded = get16(p + 6);
    e.flags = get16(p + 8);
    e.method = get16(p + 10);
    e.dosTime = get16(p + 12);
    e.dosDate = get16(p + 14);
    e.crc = get32(p + 16);
    e.packedSize = get32(p + 20);
    e.unpackedSize = get32(p + 24);
    const std::uint16_t startDisk = get16(p + 34);
    e.internalAttr = get16(p + 36);
    e.externalAttr = get32(p + 38);
    e.localOffset = get32(p + 42);
    const char* text = record.data() + kCentralHeaderSize;
    e.zipName.assign(text, nameLen);
    const std::string_view rawExtra(text + nameLen, extraLen);
    e.comment.assign(text + nameLen + extraLen, commentLen);

    // Sizes and offset that do not fit 32 bits come from the zip64 field, in this order.
    const bool needUnpacked = e.unpackedSize == 0xffffffffu, needPacked = e.packedSize == 0xffffffffu,
               needOffset = e.localOffset == 0xffffffffu;
    if (needUnpacked || needPacked || needOffset) {
        bool done = false;
        std::size_t x = 0;
        while (x + 4 <= rawExtra.size() && !done) {
            auto q = reinterpret_cast<const unsigned char*>(rawExtra.data()) + x;
            const std::size_t size = get16(q + 2);
            if (x + 4 + size > rawExtra.size()) break;
            if (get16(q) == kExtraZip64) {
                const std::size_t want = 8u * (needUnpacked + needPacked + needOffset);
                if (size < want) break;
                const unsigned char* v = q + 4;
                if (needUnpacked) e.unpackedSize = get64(v), v += 8;
                if (needPacked) e.packedSize = get64(v), v += 8;
                if (needOffset) e.localOffset = get64(v);
                done = true;
            }
            x += 4 + size;
        }
        if (!done) return fail(why, "Zip64 sizes missing", LSP_E_STRUCTURE);
    }
    if (startDisk != 0 && startDisk != 0xffff) return fail(why, "Multi-disk archive", LSP_E_MULTI_DISK);
    e.extra = withoutExtra(rawExtra, kExtraZip64);
    const std::uint64_t cdStart = reading.start, shift = reading.shift;
    if (e.localOffset > cdStart - shift || cdStart - shift - e.localOffset < kLocalHeaderSize)
        return fail(why, "Entry points outside the archive", LSP_E_STRUCTURE);
    e.localOffset += shift;
    if (!deriveItem(e)) return fail(why, "Entry name holds a NUL character", LSP_E_STRUCTURE);
    return LSP_OK;
}

namespace {

// Collects the entries of the reading accepted, with the index by item path and name.
class Collector : public DirectorySink {
public:
    explicit Collector(Directory& out) : out_(out) {}
    void begin(const DirectoryReading& reading) override {
        out_ = Directory{};
        out_.entriesEnd = reading.start;
        out_.entries.reserve(reading.count);
        out_.index.reserve(reading.count);
    }
    void add(ZipEntry&& e, std::string_view) override {
        if (!e.isFolder) out_.index[itemKey(e.itemPath, e.itemName)] = out_.entries.size();
        out_.entries.push_back(std::move(e));
    }

private:
    Directory& out_;
};

}  // namespace

std::int16_t readDirectory(int fd, std::uint64_t fileSize, Directory& out, std::string& why) {
    Collector collect(out);
    out = Directory{};
    const std::int16_t status = readDirectory(fd, fileSize, collect, why);
    if (status != LSP_OK) out = Directory{};
    return status;
}

std::string_view RecordStore::store(std::string_view record) {
    constexpr std::size_t kBlock = 1 << 20;
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < record.size()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(kBlock, record.size()));
    }
    std::string& block = blocks_.back();
    const std::size_t at = block.size();
    block.append(record);  // within the capacity reserved: the block does not move
    return std::string_view(block.data() + at, record.size());
}

void RecordStore::unstore(std::string_view record) {
    if (blocks_.empty()) return;
    std::string& block = blocks_.back();
    if (record.data() + record.size() == block.data() + block.size()) block.resize(block.size() - record.size());
}

OpenArchive::~OpenArchive() {
    if (fd >= 0) ::close(fd);
}

namespace {
std::shared_ptr<const OpenArchive> g_open;
}

namespace {

// The archive at path must be a regular file; false with the status and reason otherwise.
bool archiveFile(const std::string& path, struct stat& st, std::int16_t& status, std::string& why) {
    const bool found = ::stat(path.c_str(), &st) == 0;
    if (found && S_ISREG(st.st_mode)) return true;
    status = LSP_E_OPEN_ARCHIVE;
    why = found             ? "The archive is not a regular file"
          : errno == ENOENT ? "The archive does not exist"
                            : "The archive cannot be opened";
    return false;
}

// Opens the archive for reading: fd (st then describes it), or -1 with the status and reason.
int openForReading(const std::string& path, struct stat& st, std::int16_t& status, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
    if (fd >= 0) ::close(fd);
    status = LSP_E_OPEN_ARCHIVE;
    why = "The archive cannot be opened";
    return -1;
}

}  // namespace

std::shared_ptr<const OpenArchive> openArchive(const std::string& path, std::int16_t& status, std::string& why) {
    struct stat st {};
    if (!archiveFile(path, st, status, why)) return nullptr;
    const std::int64_t mtime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (g_open && g_open->path == path && g_open->device == st.st_dev && g_open->inode == st.st_ino &&
        g_open->size == static_cast<std::uint64_t>(st.st_size) && g_open->mtimeNanos == mtime) {
        status = LSP_OK;
        return g_open;
    }
    g_open.reset();
    auto a = std::make_shared<OpenArchive>();
    a->path = path;
    a->fd = openForReading(path, st, status, why);
    if (a->fd < 0) return nullptr;
    a->size = static_cast<std::uint64_t>(st.st_size);
    a->device = st.st_dev;
    a->inode = st.st_ino;
    a->mtimeNanos = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    status = readDirectory(a->fd, a->size, a->directory, why);
    if (status != LSP_OK) return nullptr;
    g_open = a;
    return a;
}

std::int16_t readArchiveDirectory(const std::string& path, DirectorySink& sink, std::string& why) {
    struct stat st {};
    std::int16_t status = LSP_OK;
    if (!archiveFile(path, st, status, why)) return status;
    const int fd = openForReading(path, st, status, why);
    if (fd < 0) return status;
    status = readDirectory(fd, static_cast<std::uint64_t>(st.st_size), sink, why);
    ::close(fd);
    return status;
}

void forgetArchive() {
    g_open.reset();
}

}  // namespace lsp
