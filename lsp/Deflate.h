#pragma once

// The packer's deflate compressors, chosen by measuring file by file (bench/lsp's
// deflate_compare). A file up to kWholeMax is compressed whole by libdeflate: zlib's size
// or smaller, faster. libdeflate cannot stream (every output ends the deflate stream and
// it takes no dictionary), so a larger file is streamed by zlib, which flushes and
// carries on, without holding the file in memory. The fast level uses ISA-L for both:
// three times zlib's fast speed and a little smaller. Every result is one raw deflate
// stream.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lsp {

// Files up to this size are read and compressed whole (and may be prepared ahead).
constexpr std::size_t kWholeMax = 2u << 20;

std::uint32_t crcOf(std::uint32_t crc, const unsigned char* data, std::size_t size);

// Compresses size bytes at level (1-9) into out. Returns the packed size, or 0 when the
// data would not shrink (it is then stored). Safe to call from several threads.
std::size_t deflateWhole(int level, const unsigned char* data, std::size_t size, std::vector<unsigned char>& out);

// A deflate stream fed piece by piece (one per level and thread, reused).
class StreamDeflater {
public:
    enum Mode { Continue, Flush, Finish };
    static StreamDeflater* forLevel(int level);  // nullptr when out of memory
    virtual ~StreamDeflater() = default;
    virtual void reset() = 0;
    virtual void input(const unsigned char* data, std::size_t size) = 0;
    // Writes into out (room bytes); produced is set. True when mode is complete: all input
    // taken and, for Flush, byte-aligned; for Finish, the stream ended. False: call again
    // with more room. A negative result is an internal failure.
    virtual int step(unsigned char* out, std::size_t room, Mode mode, std::size_t& produced) = 0;
};

}  // namespace lsp
