#include "lsp/EntryData.h"

#include <bzlib.h>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace lsp {

namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::size_t kSlice = 64 * 1024;  // progress and stop requests at least this often

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kMethodBzip2 = 12;

// What one decoding step of a compressed stream came to.
enum class Step { More, End, Bad, Memory };

// Raw deflate (method 8) through ISA-L's inflate, about twice zlib's speed; one kept for
// the process, set up again for every item.
struct Inflater {
    inflate_state s{};
    bool start() {
        isal_inflate_init(&s);
        return true;
    }
    void input(unsigned char* data, std::size_t size) {
        s.next_in = data;
        s.avail_in = static_cast<std::uint32_t>(size);
    }
    std::size_t inputLeft() const { return s.avail_in; }
    Step run(unsigned char* out, std::size_t size, std::size_t& got) {
        s.next_out = out;
        s.avail_out = static_cast<std::uint32_t>(size);
        const int ret = isal_inflate(&s);
        got = size - s.avail_out;
        if (ret < 0) return Step::Bad;  // an invalid block, symbol or distance
        return s.block_state == ISAL_BLOCK_FINISH ? Step::End : Step::More;
    }
};

// bzip2 (method 12): a fresh decoder for every item (its state is a few megabytes).
struct Bunzipper {
    bz_stream b{};
    bool ready = false;
    ~Bunzipper() {
        if (ready) BZ2_bzDecompressEnd(&b);
    }
    bool start() {
        ready = BZ2_bzDecompressInit(&b, 0, 0) == BZ_OK;
        return ready;
    }
    void input(unsigned char* data, std::size_t size) {
        b.next_in = reinterpret_cast<char*>(data);
        b.avail_in = static_cast<unsigned>(size);
    }
    std::size_t inputLeft() const { return b.avail_in; }
    Step run(unsigned char* out, std::size_t size, std::size_t& got) {
        b.next_out = reinterpret_cast<char*>(out);
        b.avail_out = static_cast<unsigned>(size);
        const int ret = BZ2_bzDecompress(&b);
        got = size - b.avail_out;
        if (ret == BZ_MEM_ERROR) return Step::Memory;
        if (ret == BZ_STREAM_END) return Step::End;
        return ret == BZ_OK ? Step::More : Step::Bad;
    }
};

std::vector<unsigned char>& inBuffer() {
    static std::vector<unsigned char> in(kChunk);
    return in;
}
std::vector<unsigned char>& headerBuffer() {
    thread_local std::vector<unsigned char> header;
    return header;
}
std::vector<unsigned char>& outBuffer() {
    static std::vector<unsigned char> out(kSlice);
    return out;
}

// Feeds the packed bytes of an item through decoder d into sink, never letting more than
// the recorded size come out.
template <class Decoder>
std::int16_t decodeStream(Decoder& d, int fd, std::uint64_t offset, const ZipEntry& e, const Sink& sink,
                          Progress& progress, std::uint64_t& produced, std::uint32_t& crc) {
    if (!d.start()) return LSP_E_MEMORY;
    auto& in = inBuffer();
    auto& out = outBuffer();
    std::uint64_t inLeft = e.packedSize;
    d.input(in.data(), 0);
    for (;;) {
        if (d.inputLeft() == 0 && inLeft > 0) {
            const std::size_t n = inLeft < kChunk ? static_cast<std::size_t>(inLeft) : kChunk;
            if (!readAt(fd, in.data(), n, offset)) return LSP_E_UNEXPECTED_EOF;
            offset += n;
            inLeft -= n;
            d.input(in.data(), n);
        }
        std::size_t got = 0;
        const Step step = d.run(out.data(), out.size(), got);
        if (step == Step::Bad) return LSP_E_BAD_DATA;
        if (step == Step::Memory) return LSP_E_MEMORY;
        if (got > e.unpackedSize - produced) return LSP_E_SIZE_MISMATCH;  // never more than recorded
        if (got) {
            produced += got;
            crc = crc32_gzip_refl(crc, out.data(), got);
            if (const auto s = sink(out.data(), got); s != LSP_OK) return s;
            if (const auto s = progress.at(produced); s != LSP_OK) return s;
        }
        if (step == Step::End) return LSP_OK;
        // No way forward: the packed data ended before the stream did.
        if (got == 0 && d.inputLeft() == 0 && inLeft == 0) return LSP_E_BAD_DATA;
    }
}

}  // namespace

std::int16_t locateData(int fd, std::uint64_t dataLimit, const ZipEntry& e, std::uint64_t& dataStart) {
    if (e.localOffset > dataLimit || dataLimit - e.localOffset < kLocalHeaderSize) return LSP_E_UNEXPECTED_EOF;
    // The header and the name the directory expects, in one read.
    const std::uint64_t expected = e.zipName.size();
    const std::uint64_t wanted = std::min<std::uint64_t>(kLocalHeaderSize + expected, dataLimit - e.localOffset);
    std::vector<unsigned char>& h = headerBuffer();
    h.resize(static_cast<std::size_t>(wanted));
    if (!readAt(fd, h.data(), h.size(), e.localOffset)) return LSP_E_UNEXPECTED_EOF;
    if (get32(h.data()) != kLocalSig) return LSP_E_HEADER;
    const std::uint64_t nameLen = get16(h.data() + 26), extraLen = get16(h.data() + 28);
    if (nameLen != expected) return LSP_E_HEADER;
    if (h.size() < kLocalHeaderSize + nameLen) return LSP_E_UNEXPECTED_EOF;
    if (nameLen && std::memcmp(h.data() + kLocalHeaderSize, e.zipName.data(), nameLen) != 0) return LSP_E_HEADER;
    dataStart = e.localOffset + kLocalHeaderSize + nameLen + extraLen;
    if (dataStart > dataLimit) return LSP_E_UNEXPECTED_EOF;
    return LSP_OK;
}

std::int16_t decodeEntry(int fd, std::uint64_t dataLimit, const ZipEntry& e, const Sink& sink, Progress& progress) {
    if (e.flags & (kFlagEncrypted | kFlagStrongEncryption)) return LSP_E_RESERVED;
    if (e.method != kMethodStored && e.method != kMethodDeflate && e.method != kMethodBzip2)
        return LSP_E_UNKNOWN_METHOD;
    std::uint64_t start = 0;
    if (const auto s = locateData(fd, dataLimit, e, start); s != LSP_OK) return s;
    if (e.packedSize > dataLimit - start) return LSP_E_UNEXPECTED_EOF;

    std::uint64_t produced = 0;
    std::uint32_t crc = 0;
    if (const auto s = progress.at(0); s != LSP_OK) return s;

    if (e.method == kMethodStored) {
        if (e.packedSize != e.unpackedSize) return LSP_E_SIZE_MISMATCH;
        auto& in = inBuffer();
        std::uint64_t inLeft = e.packedSize, offset = start;
        while (inLeft > 0) {
            const std::size_t n = inLeft < kChunk ? static_cast<std::size_t>(inLeft) : kChunk;
            if (!readAt(fd, in.data(), n, offset)) return LSP_E_UNEXPECTED_EOF;
            offset += n;
            inLeft -= n;
            for (std::size_t at = 0; at < n; at += kSlice) {
                const std::size_t slice = n - at < kSlice ? n - at : kSlice;
                crc = crc32_gzip_refl(crc, in.data() + at, slice);
                if (const auto s = sink(in.data() + at, slice); s != LSP_OK) return s;
                produced += slice;
                if (const auto s = progress.at(produced); s != LSP_OK) return s;
            }
        }
    } else if (e.method == kMethodDeflate) {
        static Inflater inflater;
        if (const auto s = decodeStream(inflater, fd, start, e, sink, progress, produced, crc); s != LSP_OK) return s;
    } else {
        Bunzipper bunzipper;
        if (const auto s = decodeStream(bunzipper, fd, start, e, sink, progress, produced, crc); s != LSP_OK) return s;
    }
    if (produced != e.unpackedSize) return LSP_E_SIZE_MISMATCH;
    if (crc != e.crc) return LSP_E_CRC;
    progress.finish();
    return LSP_OK;
}

}  // namespace lsp
