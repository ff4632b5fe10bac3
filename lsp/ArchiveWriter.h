#pragma once

// Writes a ZIP archive into a temporary file: new items from files, items copied packed
// from another archive, and the directory at the end. Output goes through one large
// buffer; headers are patched in the buffer (or in the file) once the data is known.

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lsp/Deflate.h"
#include "lsp/Lookahead.h"
#include "lsp/Shared.h"
#include "lsp/ZipDirectory.h"
#include "lsp/ZipFormat.h"

namespace lsp {

// What to pack and how.
struct PackSpec {
    std::string zipName;
    std::string itemName;
    std::string itemPath;
    int level = 6;              // 0 stores
    std::uint8_t method = 2;    // 1, 2 or 9, as asked
    std::uint8_t engine = 0;    // 0 standard, 1 fast, 2 maximum
    std::uint8_t ownFlags = 0;  // kOwn* bits
    std::uint8_t dosAttributes = 0;
};

// The file to pack: an open regular file, or the target of a link stored as a link.
struct PackSource {
    int fd = -1;
    std::string linkTarget;
    struct stat st {};
};

// Reads an archive through one large window: items read one after another (as a backup
// copies them from the newest archive, in the order they were written) cost one read per
// window rather than several per item. Nothing at or past limit is read.
class ReadWindow {
public:
    ReadWindow(int fd, std::uint64_t limit);
    ReadWindow(const ReadWindow&) = delete;
    ReadWindow& operator=(const ReadWindow&) = delete;
    std::uint64_t limit() const { return limit_; }
    std::size_t capacity() const { return buffer_.size(); }
    // How many bytes from offset on are in the window now (0: none).
    std::size_t buffered(std::uint64_t offset) const;
    // size bytes (at most capacity()) at offset, valid until the next call; nullptr when
    // they reach past the limit or cannot be read.
    const unsigned char* view(std::uint64_t offset, std::size_t size);

private:
    int fd_;
    std::uint64_t limit_;
    std::vector<unsigned char> buffer_;
    std::uint64_t base_ = 0;  // file offset of buffer_[0]
    std::size_t fill_ = 0;
};

class ArchiveWriter {
public:
    ArchiveWriter() = default;
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;
    ~ArchiveWriter();  // removes the temporary file unless it was committed

    // Creates the temporary file in folder, named after the archive. 12 on failure.
    std::int16_t create(const std::string& folder, const std::string& archiveName);
    const std::string& tempPath() const { return tempPath_; }
    int fd() const { return fd_; }
    std::uint64_t offset() const { return base_ + fill_; }

    // The entries written so far, replaced ones included, in the order written.
    std::size_t entryCount() const { return slots_.size(); }
    bool isDeleted(std::size_t index) const { return slots_[index].deleted; }
    // The entry at index, as its directory record gives it (item name and path aside).
    std::int16_t entry(std::size_t index, ZipEntry& e) const;
    // The live entry stored under zipName, or -1.
    long find(const std::string& zipName) const;
    void markDeleted(std::size_t index, bool deleted);
    bool hasGaps() const;  // replaced entries left dead data behind

    // Packs a file as a new entry, from its data read and compressed ahead when prepared
    // is given (it must come from the file as source describes it). On failure (or -30)
    // the caller rolls back.
    std::int16_t addFile(const PackSource& source, const PackSpec& request, Progress& progress,
                         const PreparedFile* prepared = nullptr);
    // Copies an entry of another archive (read through source, whose limit is where item
    // data ends) without unpacking it. With check, the entry's check value (checkStart,
    // checkEnd) is computed on the way and a copy that does not match the value the entry
    // records gives LSP_E_CRC.
    std::int16_t copyEntry(ReadWindow& source, const ZipEntry& e, Progress& progress, std::uint64_t& done,
                           bool check = false);
    // Records in the directory entry at index (packed from a file) the file's change time,
    // inode and device, the method asked for and the entry's check value, read back from
    // what was written.
    std::int16_t recordSource(std::size_t index, const struct stat& st, std::uint8_t askedMethod);
    // Forgets everything written from mark on and the entries added after entryCount.
    std::int16_t rollback(std::uint64_t mark, std::size_t entryCount);

    // Writes the central directory and end records and flushes the file to disk.
    std::int16_t finish();
    // Flushes buffered output (before reading the file back).
    std::int16_t flush();
    // The file now has another name (or is gone): do not remove it.
    void release() { tempPath_.clear(); }

private:
    std::int16_t put(const void* data, std::size_t size);
    unsigned char* space(std::size_t size);  // nullptr after a write failure
    void commit(std::size_t size) { fill_ += size; }
    std::int16_t patch(std::uint64_t at, const void* data, std::size_t size);
    // Reads back what was written at at, from the file or the buffer.
    bool readBack(std::uint64_t at, void* data, std::size_t size);
    std::int16_t deflateInto(StreamDeflater& d, const unsigned char* data, std::size_t size, StreamDeflater::Mode mode);
    std::int16_t putData(const unsigned char* data, std::size_t size, std::uint64_t unpacked, Progress& progress);
    std::int16_t addWhole(int fd, std::uint64_t expected, int& level, std::uint64_t& total, std::uint32_t& crc,
                          Progress& progress);
    std::int16_t addStreamed(int fd, std::uint64_t expected, int& level, std::uint64_t dataStart, bool zip64Local,
                             std::uint64_t& total, std::uint32_t& crc, Progress& progress);
    void index(std::size_t position);
    void append(const ZipEntry& e);

    int fd_ = -1;
    std::string tempPath_;
    std::vector<unsigned char> buffer_;
    std::size_t fill_ = 0;
    std::uint64_t base_ = 0;         // file offset of buffer_[0]
    std::uint64_t writtenBack_ = 0;  // the disk has been asked to write everything before this
    std::int16_t error_ = LSP_OK;
    // The directory is kept as the records finish() writes, not as parsed entries: a backup
    // of 100,000 files holds 100,000 of them beside its own file list.
    struct Slot {
        std::string_view record;          // in records_
        std::uint16_t versionNeeded = 0;  // of the local header (a zip64 record says 45)
        bool deleted = false;             // replaced within an open batch
    };
    RecordStore records_;
    std::vector<Slot> slots_;
    // By ZIP name, viewing the names in the records.
    std::unordered_map<std::string_view, std::size_t> byName_;
};

}  // namespace lsp
