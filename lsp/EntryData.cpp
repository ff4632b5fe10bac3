#include "lsp/EntryData.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <vector>

namespace lsp {

namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::size_t kSlice = 64 * 1024;  // progress and stop requests at least this often

struct Inflater {
    z_stream z{};
    bool ready = false;
    Inflater() { ready = inflateInit2(&z, -MAX_WBITS) == Z_OK; }
    ~Inflater() {
        if (ready) inflateEnd(&z);
    }
};

}  // namespace

std::int16_t locateData(int fd, std::uint64_t dataLimit, const ZipEntry& e, std::uint64_t& dataStart) {
    if (e.localOffset > dataLimit || dataLimit - e.localOffset < kLocalHeaderSize) return LSP_E_UNEXPECTED_EOF;
    unsigned char h[kLocalHeaderSize];
    if (!readAt(fd, h, sizeof h, e.localOffset)) return LSP_E_UNEXPECTED_EOF;
    if (get32(h) != kLocalSig) return LSP_E_HEADER;
    const std::uint64_t nameLen = get16(h + 26), extraLen = get16(h + 28);
    if (nameLen != e.zipName.size()) return LSP_E_HEADER;
    std::string name(nameLen, '\0');
    if (nameLen && !readAt(fd, name.data(), nameLen, e.localOffset + kLocalHeaderSize)) return LSP_E_UNEXPECTED_EOF;
    if (name != e.zipName) return LSP_E_HEADER;
    dataStart = e.localOffset + kLocalHeaderSize + nameLen + extraLen;
    if (dataStart > dataLimit) return LSP_E_UNEXPECTED_EOF;
    return LSP_OK;
}

std::int16_t decodeEntry(int fd, std::uint64_t dataLimit, const ZipEntry& e, const Sink& sink, Progress& progress) {
    if (e.flags & (kFlagEncrypted | kFlagStrongEncryption)) return LSP_E_RESERVED;
    if (e.method != 0 && e.method != 8) return LSP_E_UNKNOWN_METHOD;
    std::uint64_t start = 0;
    if (const auto s = locateData(fd, dataLimit, e, start); s != LSP_OK) return s;
    if (e.packedSize > dataLimit - start) return LSP_E_UNEXPECTED_EOF;

    static std::vector<unsigned char> in(kChunk), out(kSlice);
    std::uint64_t inLeft = e.packedSize, offset = start, produced = 0;
    std::uint32_t crc = 0;
    if (const auto s = progress.at(0); s != LSP_OK) return s;

    if (e.method == 0) {
        if (e.packedSize != e.unpackedSize) return LSP_E_SIZE_MISMATCH;
        while (inLeft > 0) {
            const std::size_t n = inLeft < kChunk ? static_cast<std::size_t>(inLeft) : kChunk;
            if (!readAt(fd, in.data(), n, offset)) return LSP_E_UNEXPECTED_EOF;
            offset += n;
            inLeft -= n;
            for (std::size_t at = 0; at < n; at += kSlice) {
                const std::size_t slice = n - at < kSlice ? n - at : kSlice;
                crc = static_cast<std::uint32_t>(crc32(crc, in.data() + at, static_cast<uInt>(slice)));
                if (const auto s = sink(in.data() + at, slice); s != LSP_OK) return s;
                produced += slice;
                if (const auto s = progress.at(produced); s != LSP_OK) return s;
            }
        }
    } else {
        static Inflater inflater;
        if (!inflater.ready) return LSP_E_MEMORY;
        z_stream& z = inflater.z;
        inflateReset(&z);
        z.avail_in = 0;
        for (;;) {
            if (z.avail_in == 0 && inLeft > 0) {
                const std::size_t n = inLeft < kChunk ? static_cast<std::size_t>(inLeft) : kChunk;
                if (!readAt(fd, in.data(), n, offset)) return LSP_E_UNEXPECTED_EOF;
                offset += n;
                inLeft -= n;
                z.next_in = in.data();
                z.avail_in = static_cast<uInt>(n);
            }
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            const int ret = inflate(&z, Z_NO_FLUSH);
            const std::size_t got = out.size() - z.avail_out;
            if (ret == Z_DATA_ERROR || ret == Z_NEED_DICT || ret == Z_STREAM_ERROR) return LSP_E_BAD_DATA;
            if (ret == Z_MEM_ERROR) return LSP_E_MEMORY;
            if (got > e.unpackedSize - produced) return LSP_E_SIZE_MISMATCH;  // never more than recorded
            if (got) {
                produced += got;
                crc = static_cast<std::uint32_t>(crc32(crc, out.data(), static_cast<uInt>(got)));
                if (const auto s = sink(out.data(), got); s != LSP_OK) return s;
                if (const auto s = progress.at(produced); s != LSP_OK) return s;
            }
            if (ret == Z_STREAM_END) break;
            // No way forward: the packed data ended before the stream did.
            if (ret == Z_BUF_ERROR && z.avail_in == 0 && inLeft == 0) return LSP_E_BAD_DATA;
            if (got == 0 && z.avail_in == 0 && inLeft == 0) return LSP_E_BAD_DATA;
        }
    }
    if (produced != e.unpackedSize) return LSP_E_SIZE_MISMATCH;
    if (crc != e.crc) return LSP_E_CRC;
    progress.finish();
    return LSP_OK;
}

}  // namespace lsp
