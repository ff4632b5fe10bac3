#include "lsp/ArchiveWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "lsp/Deflate.h"
#include "lsp/EntryData.h"
#include "lsp/ZipNames.h"
#include "platform/CrashPoint.h"
#include "platform/DateCodes.h"
#include "platform/Utf8Text.h"

namespace lsp {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::uint64_t kWriteBackStep = 8 << 20;
constexpr std::size_t kReadChunk = 256 * 1024;
constexpr std::size_t kProgressSlice = 64 * 1024;
// Files this large get zip64 sizes in their local header (room for growth while read).
constexpr std::uint64_t kZip64LocalFrom = 0xF0000000ull;
constexpr std::uint64_t kMax32 = 0xffffffffull;

std::string localHeader(const ZipEntry& e, const std::string& localExtra) {
    std::string h;
    add32(h, kLocalSig);
    add16(h, e.versionNeeded);
    add16(h, e.flags);
    add16(h, e.method);
    add16(h, e.dosTime);
    add16(h, e.dosDate);
    add32(h, e.crc);
    const bool big = e.packedSize >= kMax32 || e.unpackedSize >= kMax32;
    add32(h, big ? 0xffffffffu : static_cast<std::uint32_t>(e.packedSize));
    add32(h, big ? 0xffffffffu : static_cast<std::uint32_t>(e.unpackedSize));
    add16(h, static_cast<std::uint16_t>(e.zipName.size()));
    std::string extra;
    if (big) {
        add16(extra, kExtraZip64);
        add16(extra, 16);
        add64(extra, e.unpackedSize);
        add64(extra, e.packedSize);
    }
    extra += localExtra;
    if (extra.size() > 0xffff) extra.resize(big ? 20 : 0);
    add16(h, static_cast<std::uint16_t>(extra.size()));
    h += e.zipName;
    h += extra;
    return h;
}

// The central directory record of an entry, as finish() writes it.
std::string centralRecord(const ZipEntry& e) {
    std::string z64;
    const bool bigU = e.unpackedSize >= kMax32, bigP = e.packedSize >= kMax32, bigO = e.localOffset >= kMax32;
    if (bigU || bigP || bigO) {
        add16(z64, kExtraZip64);
        add16(z64, static_cast<std::uint16_t>(8 * (bigU + bigP + bigO)));
        if (bigU) add64(z64, e.unpackedSize);
        if (bigP) add64(z64, e.packedSize);
        if (bigO) add64(z64, e.localOffset);
    }
    std::string extra = z64 + e.extra;
    if (extra.size() > 0xffff) extra = z64;
    std::string h;
    h.reserve(kCentralHeaderSize + e.zipName.size() + extra.size() + e.comment.size());
    add32(h, kCentralSig);
    add16(h, e.madeBy);
    add16(h, z64.empty() ? e.versionNeeded : std::max<std::uint16_t>(e.versionNeeded, 45));
    add16(h, e.flags);
    add16(h, e.method);
    add16(h, e.dosTime);
    add16(h, e.dosDate);
    add32(h, e.crc);
    add32(h, bigP ? 0xffffffffu : static_cast<std::uint32_t>(e.packedSize));
    add32(h, bigU ? 0xffffffffu : static_cast<std::uint32_t>(e.unpackedSize));
    add16(h, static_cast<std::uint16_t>(e.zipName.size()));
    add16(h, static_cast<std::uint16_t>(extra.size()));
    add16(h, static_cast<std::uint16_t>(e.comment.size()));
    add16(h, 0);
    add16(h, e.internalAttr);
    add32(h, e.externalAttr);
    add32(h, bigO ? 0xffffffffu : static_cast<std::uint32_t>(e.localOffset));
    h += e.zipName;
    h += extra;
    h += e.comment;
    return h;
}

// The ZIP name within a central directory record.
std::string_view recordName(std::string_view record) {
    return record.substr(kCentralHeaderSize, get16(reinterpret_cast<const unsigned char*>(record.data()) + 28));
}

}  // namespace

ArchiveWriter::~ArchiveWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
}

std::int16_t ArchiveWriter::create(const std::string& folder, const std::string& archiveName) {
    std::string base = folder;
    if (base.empty()) base = ".";
    if (base.back() != '/') base.push_back('/');
    std::string name = base + archiveName.substr(0, 180) + ".lsptmp-XXXXXX";
    // mkostemp creates the file for its owner alone (0600), whatever the umask: a backup
    // holds files that other users may not read.
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) return LSP_E_CREATE_TEMP;
    tempPath_ = name;
    buffer_.resize(kBufferSize);
    return LSP_OK;
}

long ArchiveWriter::find(const std::string& zipName) const {
    auto it = byName_.find(zipName);
    return it == byName_.end() ? -1 : static_cast<long>(it->second);
}

void ArchiveWriter::index(std::size_t position) {
    // The key views the entry's own name (an equal key may view a replaced entry's).
    const std::string_view name = recordName(slots_[position].record);
    byName_.erase(name);
    byName_.emplace(name, position);
}

void ArchiveWriter::append(const ZipEntry& e) {
    slots_.push_back(Slot{records_.store(centralRecord(e)), e.versionNeeded, false});
    index(slots_.size() - 1);
}

std::int16_t ArchiveWriter::entry(std::size_t index, ZipEntry& e) const {
    const Slot& slot = slots_[index];
    e = ZipEntry{};
    std::string why;
    // Every record lies before the end of what was written.
    if (parseCentralRecord(slot.record, DirectoryReading{offset(), 0, 0}, e, why) != LSP_OK) return LSP_E_INTERNAL;
    e.versionNeeded = slot.versionNeeded;
    return LSP_OK;
}

bool ArchiveWriter::hasGaps() const {
    for (const auto& slot : slots_)
        if (slot.deleted) return true;
    return false;
}

void ArchiveWriter::markDeleted(std::size_t index, bool deleted) {
    slots_[index].deleted = deleted;
    if (deleted) {
        byName_.erase(recordName(slots_[index].record));
    } else {
        this->index(index);
    }
}

std::int16_t ArchiveWriter::flush() {
    std::size_t done = 0;
    while (done < fill_ && error_ == LSP_OK) {
        const ssize_t n = ::pwrite(fd_, buffer_.data() + done, fill_ - done, static_cast<off_t>(base_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = writeFailure(n < 0 ? errno : ENOSPC);
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error_ != LSP_OK) return error_;
    base_ += fill_;
    fill_ = 0;
    // The disk starts on what is written while the rest is packed, so that the sync at the
    // end does not wait for the whole archive at once. The sync still makes it durable.
    if (base_ - writtenBack_ >= kWriteBackStep) {
        (void)::sync_file_range(fd_, static_cast<off_t>(writtenBack_), static_cast<off_t>(base_ - writtenBack_),
                                SYNC_FILE_RANGE_WRITE);
        writtenBack_ = base_;
    }
    return LSP_OK;
}

unsigned char* ArchiveWriter::space(std::size_t size) {
    if (error_ != LSP_OK) return nullptr;
    if (buffer_.size() - fill_ < size && flush() != LSP_OK) return nullptr;
    if (buffer_.size() - fill_ < size) buffer_.resize(fill_ + size);
    return buffer_.data() + fill_;
}

std::int16_t ArchiveWriter::put(const void* data, std::size_t size) {
    auto p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const std::size_t n = size < kBufferSize ? size : kBufferSize;
        unsigned char* dst = space(n);
        if (!dst) return error_;
        std::memcpy(dst, p, n);
        commit(n);
        p += n;
        size -= n;
    }
    return error_;
}

std::int16_t ArchiveWriter::patch(std::uint64_t at, const void* data, std::size_t size) {
    auto p = static_cast<const unsigned char*>(data);
    if (at < base_) {
        const std::size_t inFile = static_cast<std::size_t>(std::min<std::uint64_t>(size, base_ - at));
        std::size_t done = 0;
        while (done < inFile) {
            const ssize_t n = ::pwrite(fd_, p + done, inFile - done, static_cast<off_t>(at + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return error_ = writeFailure(n < 0 ? errno : ENOSPC);
            done += static_cast<std::size_t>(n);
        }
        p += inFile;
        at += inFile;
        size -= inFile;
    }
    if (size) std::memcpy(buffer_.data() + (at - base_), p, size);
    return LSP_OK;
}

std::int16_t ArchiveWriter::rollback(std::uint64_t mark, std::size_t entryCount) {
    while (slots_.size() > entryCount) {
        byName_.erase(recordName(slots_.back().record));
        records_.unstore(slots_.back().record);
        slots_.pop_back();
    }
    if (mark >= base_) {
        fill_ = static_cast<std::size_t>(mark - base_);
    } else {
        fill_ = 0;
        base_ = mark;
        writtenBack_ = std::min(writtenBack_, base_);
    }
    // Whatever reached the file past the mark goes; that also frees a full disk.
    if (::ftruncate(fd_, static_cast<off_t>(std::min(mark, base_))) != 0) return error_ = LSP_E_WRITE;
    error_ = LSP_OK;
    return LSP_OK;
}

// A small file: read whole, compressed in one call, stored when it does not shrink.
std::int16_t ArchiveWriter::addWhole(int fd, std::uint64_t expected, int& level, std::uint64_t& total,
                                     std::uint32_t& crc, Progress& progress) {
    thread_local std::vector<unsigned char> in, out;
    in.resize(static_cast<std::size_t>(expected));
    while (total < expected) {
        const ssize_t got = ::read(fd, in.data() + total, static_cast<std::size_t>(expected - total));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return LSP_E_OPEN_SOURCE;
        if (got == 0) break;  // the file shrank while being read: pack what is there
        total += static_cast<std::uint64_t>(got);
    }
    const std::size_t n = static_cast<std::size_t>(total);
    crc = crcOf(0, in.data(), n);
    const std::size_t packed = deflateWhole(level, in.data(), n, out);
    if (packed == 0) level = 0;
    return packed ? putData(out.data(), packed, total, progress) : putData(in.data(), n, total, progress);
}

// A large file (or one stored): read and written piece by piece.
std::int16_t ArchiveWriter::addStreamed(int fd, std::uint64_t expected, int& level, std::uint64_t dataStart,
                                        bool zip64Local, std::uint64_t& total, std::uint32_t& crc, Progress& progress) {
    static std::vector<unsigned char> in(kReadChunk);
    StreamDeflater* z = level > 0 ? StreamDeflater::forLevel(level) : nullptr;
    if (level > 0 && !z) return LSP_E_MEMORY;
    bool first = true, finished = false;
    while (total < expected) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, expected - total));
        const ssize_t got = ::read(fd, in.data(), want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return LSP_E_OPEN_SOURCE;
        if (got == 0) break;  // the file shrank while being read: pack what is there
        const std::size_t n = static_cast<std::size_t>(got);
        const bool last = total + n >= expected;
        crc = crcOf(crc, in.data(), n);
        const std::uint64_t before = total;
        total += n;
        if (level > 0) {
            // Whether the data shrinks is decided on the first chunk alone, flushed so
            // that its packed size is exact.
            for (std::size_t at = 0; at < n;) {
                const std::size_t slice = std::min(kProgressSlice, n - at);
                const bool chunkEnd = at + slice == n;
                const auto mode = last && chunkEnd    ? StreamDeflater::Finish
                                  : first && chunkEnd ? StreamDeflater::Flush
                                                      : StreamDeflater::Continue;
                if (const auto s = deflateInto(*z, in.data() + at, slice, mode); s != LSP_OK) return s;
                finished = mode == StreamDeflater::Finish;
                at += slice;
                if (const auto s = progress.at(before + at); s != LSP_OK) return s;
            }
            const std::uint64_t packed = offset() - dataStart;
            if (first && (last ? packed >= n : packed >= n - n / 64)) {
                if (const auto s = rollback(dataStart, slots_.size()); s != LSP_OK) return s;
                level = 0;
                if (const auto s = put(in.data(), n); s != LSP_OK) return s;
            }
        } else {
            for (std::size_t at = 0; at < n; at += kProgressSlice) {
                const std::size_t slice = std::min(kProgressSlice, n - at);
                if (const auto s = put(in.data() + at, slice); s != LSP_OK) return s;
                if (const auto s = progress.at(before + at + slice); s != LSP_OK) return s;
            }
        }
        first = false;
        if (!zip64Local && offset() - dataStart >= kMax32) return LSP_E_SIZE_MISMATCH;
        if (const auto s = progress.at(total); s != LSP_OK) return s;
    }
    if (level > 0 && !finished) {
        if (const auto s = deflateInto(*z, nullptr, 0, StreamDeflater::Finish); s != LSP_OK) return s;
    }
    return LSP_OK;
}

std::int16_t ArchiveWriter::deflateInto(StreamDeflater& d, const unsigned char* data, std::size_t size,
                                        StreamDeflater::Mode mode) {
    d.input(data, size);
    for (;;) {
        unsigned char* out = space(64 * 1024);
        if (!out) return error_;
        std::size_t produced = 0;
        const int done = d.step(out, buffer_.size() - fill_, mode, produced);
        commit(produced);
        if (done < 0) return LSP_E_INTERNAL;
        if (done) return LSP_OK;
    }
}

std::int16_t ArchiveWriter::putData(const unsigned char* data, std::size_t size, std::uint64_t unpacked,
                                    Progress& progress) {
    for (std::size_t at = 0; at < size;) {
        const std::size_t slice = std::min(kProgressSlice, size - at);
        if (const auto s = put(data + at, slice); s != LSP_OK) return s;
        at += slice;
        if (const auto s = progress.at(unpacked * at / size); s != LSP_OK) return s;
    }
    return LSP_OK;
}

std::int16_t ArchiveWriter::addFile(const PackSource& source, const PackSpec& request, Progress& progress,
                                    const PreparedFile* prepared) {
    const bool isLink = source.fd < 0;
    const std::uint64_t expected = isLink ? source.linkTarget.size() : static_cast<std::uint64_t>(source.st.st_size);
    const bool zip64Local = expected >= kZip64LocalFrom;

    ZipEntry e;
    e.zipName = request.zipName;
    e.madeBy = kMadeByUnix;
    e.flags = validUtf8NonAscii(request.zipName) ? kFlagUtf8 : 0;
    e.dosDate = quillet::dosDateOf(source.st.st_mtim.tv_sec);
    e.dosTime = quillet::dosTimeOf(source.st.st_mtim.tv_sec);
    e.externalAttr = (static_cast<std::uint32_t>(source.st.st_mode & 0xffff) << 16) | request.dosAttributes;
    e.localOffset = offset();
    e.mtimeSeconds = source.st.st_mtim.tv_sec;
    e.mtimeNanos = static_cast<std::uint32_t>(source.st.st_mtim.tv_nsec);
    e.hasTime = true;
    e.hasOwn = true;
    e.ownEngine = request.engine;
    e.ownFlags = request.ownFlags;
    const std::string localTime = timeExtra(e.mtimeSeconds);
    // The local header carries the same fields as the directory, so both agree in size.
    const std::string localExtra =
        localTime + ownExtra(request.method, request.engine, request.ownFlags, e.mtimeSeconds, e.mtimeNanos);

    // Header now, with sizes and CRC patched in when the data is written.
    e.versionNeeded = zip64Local ? 45 : 20;
    if (zip64Local) e.packedSize = e.unpackedSize = kMax32;  // reserves the zip64 field
    const std::string header = localHeader(e, localExtra);
    if (const auto s = put(header.data(), header.size()); s != LSP_OK) return s;
    const std::uint64_t dataStart = offset();

    int level = isLink || expected == 0 ? 0 : request.level;
    std::uint64_t total = 0;
    std::uint32_t crc = 0;
    if (const auto s = progress.at(0); s != LSP_OK) return s;

    if (isLink) {
        total = expected;
        crc = crcOf(0, reinterpret_cast<const unsigned char*>(source.linkTarget.data()), total);
        if (const auto s = put(source.linkTarget.data(), source.linkTarget.size()); s != LSP_OK) return s;
    } else if (prepared) {
        // Read and compressed ahead, from the file as it is now.
        total = prepared->size;
        crc = prepared->crc;
        if (!prepared->deflated) level = 0;
        if (const auto s = putData(prepared->data.data(), prepared->data.size(), total, progress); s != LSP_OK)
            return s;
    } else if (level > 0 && expected <= kWholeMax) {
        if (const auto s = addWhole(source.fd, expected, level, total, crc, progress); s != LSP_OK) return s;
    } else {
        if (const auto s = addStreamed(source.fd, expected, level, dataStart, zip64Local, total, crc, progress);
            s != LSP_OK)
            return s;
    }
    if (error_ != LSP_OK) return error_;

    e.method = level > 0 ? 8 : 0;
    e.ownMethod = level > 0 ? request.method : static_cast<std::uint8_t>(LSP_METHOD_STORED);
    if (level >= 8) e.flags |= 0x0002;
    if (level > 0 && level <= 2) e.flags |= 0x0004;
    e.crc = crc;
    e.unpackedSize = total;
    e.packedSize = offset() - dataStart;
    if (!zip64Local) e.versionNeeded = level > 0 ? 20 : 10;
    if (e.packedSize >= kMax32 && !zip64Local) return LSP_E_SIZE_MISMATCH;

    // Patch version, flags, method, CRC and sizes into the header written earlier.
    unsigned char fix[22];
    put16(fix, e.versionNeeded);
    put16(fix + 2, e.flags);
    put16(fix + 4, e.method);
    put16(fix + 6, e.dosTime);
    put16(fix + 8, e.dosDate);
    put32(fix + 10, e.crc);
    put32(fix + 14, zip64Local ? 0xffffffffu : static_cast<std::uint32_t>(e.packedSize));
    put32(fix + 18, zip64Local ? 0xffffffffu : static_cast<std::uint32_t>(e.unpackedSize));
    if (const auto s = patch(e.localOffset + 4, fix, sizeof fix); s != LSP_OK) return s;
    const std::uint64_t extraAt = e.localOffset + kLocalHeaderSize + e.zipName.size() + (zip64Local ? 20 : 0);
    if (e.ownMethod != request.method) {
        const unsigned char m = e.ownMethod;
        if (const auto s = patch(extraAt + localTime.size() + 5, &m, 1); s != LSP_OK) return s;
    }
    if (zip64Local) {
        unsigned char sizes[16];
        put64(sizes, e.unpackedSize);
        put64(sizes + 8, e.packedSize);
        if (const auto s = patch(e.localOffset + kLocalHeaderSize + e.zipName.size() + 4, sizes, 16); s != LSP_OK)
            return s;
    }

    e.extra = localTime + ownExtra(e.ownMethod, e.ownEngine, e.ownFlags, e.mtimeSeconds, e.mtimeNanos);
    append(e);
    progress.finish();
    return LSP_OK;
}

bool ArchiveWriter::readBack(std::uint64_t at, void* data, std::size_t size) {
    auto p = static_cast<unsigned char*>(data);
    if (at + size > offset()) return false;
    if (at < base_) {
        const std::size_t inFile = static_cast<std::size_t>(std::min<std::uint64_t>(size, base_ - at));
        if (!readAt(fd_, p, inFile, at)) return false;
        p += inFile;
        at += inFile;
        size -= inFile;
    }
    if (size) std::memcpy(p, buffer_.data() + (at - base_), size);
    return true;
}

std::int16_t ArchiveWriter::recordSource(std::size_t index, const struct stat& st, std::uint8_t askedMethod) {
    ZipEntry e;
    if (const auto s = entry(index, e); s != LSP_OK) return s;
    unsigned char h[kLocalHeaderSize];
    if (!readBack(e.localOffset, h, sizeof h)) return LSP_E_INTERNAL;
    std::string localExtra(get16(h + 28), '\0');
    const std::uint64_t extraAt = e.localOffset + kLocalHeaderSize + get16(h + 26);
    if (!readBack(extraAt, localExtra.data(), localExtra.size())) return LSP_E_INTERNAL;
    std::uint32_t check = checkStart(localExtra);
    static std::vector<unsigned char> chunk(kReadChunk);
    for (std::uint64_t at = extraAt + localExtra.size(), left = e.packedSize; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        if (!readBack(at, chunk.data(), n)) return LSP_E_INTERNAL;
        check = crcOf(check, chunk.data(), n);
        at += n;
        left -= n;
    }
    check = checkEnd(check, e);
    const std::string own =
        ownSourceExtra(e, askedMethod, st.st_ctim.tv_sec, static_cast<std::uint32_t>(st.st_ctim.tv_nsec),
                       static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_dev), check);
    e.extra = withoutExtra(e.extra, kExtraOwn) + own;
    // The record grows by the longer field: it takes the old one's place when that was the
    // last one stored (it is, right after addFile).
    Slot& slot = slots_[index];
    if (!slot.deleted) byName_.erase(recordName(slot.record));
    records_.unstore(slot.record);
    slot.record = records_.store(centralRecord(e));
    if (!slot.deleted) this->index(index);
    return LSP_OK;
}

ReadWindow::ReadWindow(int fd, std::uint64_t limit) : fd_(fd), limit_(limit), buffer_(kBufferSize) {}

std::size_t ReadWindow::buffered(std::uint64_t offset) const {
    return offset >= base_ && offset - base_ < fill_ ? static_cast<std::size_t>(fill_ - (offset - base_)) : 0;
}

const unsigned char* ReadWindow::view(std::uint64_t offset, std::size_t size) {
    if (size > buffer_.size() || offset > limit_ || size > limit_ - offset) return nullptr;
    if (buffered(offset) >= size) return buffer_.data() + (offset - base_);
    // The window moves to offset and takes in as much as it holds, up to the limit.
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), limit_ - offset));
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd_, buffer_.data() + got, want - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    base_ = offset;
    fill_ = got;
    return got >= size ? buffer_.data() : nullptr;
}

std::int16_t ArchiveWriter::copyEntry(ReadWindow& in, const ZipEntry& source, Progress& progress, std::uint64_t& done,
                                      bool check) {
    // The local header: signature, the same name, and bounds.
    const std::uint64_t limit = in.limit();
    if (source.localOffset > limit || limit - source.localOffset < kLocalHeaderSize) return LSP_E_UNEXPECTED_EOF;
    const unsigned char* h = in.view(source.localOffset, kLocalHeaderSize);
    if (!h) return LSP_E_UNEXPECTED_EOF;
    if (get32(h) != kLocalSig) return LSP_E_HEADER;
    const std::size_t nameLen = get16(h + 26), extraLen = get16(h + 28);
    if (nameLen != source.zipName.size()) return LSP_E_HEADER;
    const unsigned char* text = in.view(source.localOffset + kLocalHeaderSize, nameLen + extraLen);
    if (!text) return LSP_E_UNEXPECTED_EOF;
    if (std::memcmp(text, source.zipName.data(), nameLen) != 0) return LSP_E_HEADER;
    const std::uint64_t start = source.localOffset + kLocalHeaderSize + nameLen + extraLen;
    if (source.packedSize > limit - start) return LSP_E_UNEXPECTED_EOF;
    // The local extra fields travel along, except the zip64 field, which is made afresh.
    const std::string localExtra =
        withoutExtra(std::string_view(reinterpret_cast<const char*>(text) + nameLen, extraLen), kExtraZip64);
    std::uint32_t value = check ? checkStart(localExtra) : 0;

    ZipEntry e = source;
    e.localOffset = offset();
    const std::string header = localHeader(e, localExtra);
    if (const auto s = put(header.data(), header.size()); s != LSP_OK) return s;

    std::uint64_t left = source.packedSize, at = start;
    while (left > 0) {
        // What the window already holds first, then whole windows.
        const std::size_t inWindow = in.buffered(at);
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, inWindow ? inWindow : in.capacity()));
        const unsigned char* data = in.view(at, n);
        if (!data) return LSP_E_UNEXPECTED_EOF;
        if (check) value = crcOf(value, data, n);
        if (const auto s = put(data, n); s != LSP_OK) return s;
        left -= n;
        at += n;
        for (std::size_t step = 0; step < n; step += kProgressSlice) {
            done += std::min(kProgressSlice, n - step);
            if (const auto s = progress.at(done); s != LSP_OK) return s;
        }
    }
    if (check && (!source.hasSource || checkEnd(value, source) != source.storedCheck)) return LSP_E_CRC;
    if (e.flags & kFlagDescriptor) {
        std::string d;
        add32(d, kDescriptorSig);
        add32(d, e.crc);
        if (e.packedSize >= kMax32 || e.unpackedSize >= kMax32) {
            add64(d, e.packedSize);
            add64(d, e.unpackedSize);
        } else {
            add32(d, static_cast<std::uint32_t>(e.packedSize));
            add32(d, static_cast<std::uint32_t>(e.unpackedSize));
        }
        if (const auto s = put(d.data(), d.size()); s != LSP_OK) return s;
    }
    append(e);
    return error_;
}

std::int16_t ArchiveWriter::finish() {
    quillet::crashPoint(quillet::CrashPoint::ArchiveDirectoryStarting);
    const std::uint64_t cdStart = offset();
    std::uint64_t count = 0;
    for (const Slot& slot : slots_) {
        if (slot.deleted) continue;
        ++count;
        if (const auto s = put(slot.record.data(), slot.record.size()); s != LSP_OK) return s;
    }
    const std::uint64_t cdEnd = offset();
    const std::uint64_t cdSize = cdEnd - cdStart;
    std::string tail;
    const bool zip64 = count >= 0xffff || cdStart >= kMax32 || cdSize >= kMax32;
    if (zip64) {
        add32(tail, kZip64EndSig);
        add64(tail, kZip64EndSize - 12);
        add16(tail, kMadeByUnix);
        add16(tail, 45);
        add32(tail, 0);
        add32(tail, 0);
        add64(tail, count);
        add64(tail, count);
        add64(tail, cdSize);
        add64(tail, cdStart);
        add32(tail, kZip64LocatorSig);
        add32(tail, 0);
        add64(tail, cdEnd);
        add32(tail, 1);
    }
    add32(tail, kEndSig);
    add16(tail, 0);
    add16(tail, 0);
    add16(tail, zip64 ? 0xffff : static_cast<std::uint16_t>(count));
    add16(tail, zip64 ? 0xffff : static_cast<std::uint16_t>(count));
    add32(tail, cdSize >= kMax32 ? 0xffffffffu : static_cast<std::uint32_t>(cdSize));
    add32(tail, cdStart >= kMax32 ? 0xffffffffu : static_cast<std::uint32_t>(cdStart));
    add16(tail, 0);
    if (const auto s = put(tail.data(), tail.size()); s != LSP_OK) return s;
    if (const auto s = flush(); s != LSP_OK) return s;
    quillet::crashPoint(quillet::CrashPoint::ArchiveDirectoryWritten);
    // fsync, not fdatasync: the archive's permissions are to survive a power loss too.
    if (const int err = syncLettingEventsThrough(fd_, packHost()); err != 0) return error_ = writeFailure(err);
    quillet::crashPoint(quillet::CrashPoint::ArchiveSynced);
    return LSP_OK;
}

}  // namespace lsp
