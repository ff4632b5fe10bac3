#include "lsp/Deflate.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <array>
#include <cstring>
#include <memory>

namespace lsp {

namespace {

// ISA-L only for the fast level: at the others its output is several percent larger.
// Its level 2 is as fast as its level 1 on source trees and docs, and a little smaller.
bool useIsal(int level) {
    return level == 1;
}
constexpr std::uint32_t kIsalLevel = 2;
constexpr std::size_t kIsalBuffer = ISAL_DEF_LVL2_DEFAULT;

struct Compressors {
    std::array<libdeflate_compressor*, 10> byLevel{};
    std::vector<unsigned char> isalBuffer;
    ~Compressors() {
        for (auto* c : byLevel)
            if (c) libdeflate_free_compressor(c);
    }
};

Compressors& compressors() {
    thread_local Compressors c;
    return c;
}

class ZlibStream final : public StreamDeflater {
public:
    explicit ZlibStream(int level) : level_(level) { std::memset(&z_, 0, sizeof z_); }
    ~ZlibStream() override {
        if (ready_) deflateEnd(&z_);
    }
    bool init() { return ready_ = deflateInit2(&z_, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
    void reset() override { deflateReset(&z_); }
    void input(const unsigned char* data, std::size_t size) override {
        z_.next_in = const_cast<unsigned char*>(data);
        z_.avail_in = static_cast<uInt>(size);
    }
    int step(unsigned char* out, std::size_t room, Mode mode, std::size_t& produced) override {
        z_.next_out = out;
        z_.avail_out = static_cast<uInt>(room);
        const int ret = deflate(&z_, mode == Finish ? Z_FINISH : mode == Flush ? Z_SYNC_FLUSH : Z_NO_FLUSH);
        produced = room - z_.avail_out;
        if (ret == Z_STREAM_ERROR) return -1;
        if (mode == Finish) return ret == Z_STREAM_END;
        return z_.avail_in == 0 && z_.avail_out != 0;
    }

private:
    int level_;
    bool ready_ = false;
    z_stream z_;
};

class IsalStream final : public StreamDeflater {
public:
    IsalStream() : buffer_(kIsalBuffer) { reset(); }
    void reset() override {
        isal_deflate_init(&z_);
        z_.level = kIsalLevel;
        z_.level_buf = buffer_.data();
        z_.level_buf_size = static_cast<std::uint32_t>(buffer_.size());
    }
    void input(const unsigned char* data, std::size_t size) override {
        z_.next_in = const_cast<unsigned char*>(data);
        z_.avail_in = static_cast<std::uint32_t>(size);
    }
    int step(unsigned char* out, std::size_t room, Mode mode, std::size_t& produced) override {
        z_.next_out = out;
        z_.avail_out = static_cast<std::uint32_t>(room);
        z_.end_of_stream = mode == Finish ? 1 : 0;
        z_.flush = mode == Continue ? NO_FLUSH : SYNC_FLUSH;
        const int ret = isal_deflate(&z_);
        produced = room - z_.avail_out;
        if (ret != COMP_OK) return -1;
        if (mode == Finish) return z_.internal_state.state == ZSTATE_END;
        return z_.avail_in == 0 && z_.avail_out != 0;
    }

private:
    std::vector<unsigned char> buffer_;
    isal_zstream z_{};
};

}  // namespace

std::uint32_t crcOf(std::uint32_t crc, const unsigned char* data, std::size_t size) {
    return libdeflate_crc32(crc, data, size);
}

std::size_t deflateWhole(int level, const unsigned char* data, std::size_t size, std::vector<unsigned char>& out) {
    if (size < 2) return 0;
    // Room for one byte less than the data: whatever does not fit is stored instead.
    out.resize(size - 1);
    Compressors& c = compressors();
    if (useIsal(level)) {
        if (c.isalBuffer.empty()) c.isalBuffer.resize(kIsalBuffer);
        isal_zstream z{};
        isal_deflate_stateless_init(&z);
        z.level = kIsalLevel;
        z.level_buf = c.isalBuffer.data();
        z.level_buf_size = static_cast<std::uint32_t>(c.isalBuffer.size());
        z.next_in = const_cast<unsigned char*>(data);
        z.avail_in = static_cast<std::uint32_t>(size);
        z.next_out = out.data();
        z.avail_out = static_cast<std::uint32_t>(out.size());
        z.end_of_stream = 1;
        z.flush = NO_FLUSH;
        return isal_deflate_stateless(&z) == COMP_OK ? z.total_out : 0;
    }
    auto& slot = c.byLevel[static_cast<std::size_t>(level)];
    if (!slot) slot = libdeflate_alloc_compressor(level);
    if (!slot) return 0;
    return libdeflate_deflate_compress(slot, data, size, out.data(), out.size());
}

StreamDeflater* StreamDeflater::forLevel(int level) {
    struct Streams {
        std::array<std::unique_ptr<StreamDeflater>, 10> s;
    };
    thread_local Streams streams;
    auto& d = streams.s[static_cast<std::size_t>(level)];
    if (d) {
        d->reset();
        return d.get();
    }
    if (useIsal(level)) {
        d = std::make_unique<IsalStream>();
    } else {
        auto z = std::make_unique<ZlibStream>(level);
        if (!z->init()) return nullptr;
        d = std::move(z);
    }
    return d.get();
}

}  // namespace lsp
