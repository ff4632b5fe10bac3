// Compares the deflate compressors the packer can use, file by file as the packer packs
// (one raw deflate stream per file, stored when it does not shrink), on the same data
// held in memory: zlib, libdeflate and ISA-L at the levels that can stand for the
// engine's fast, standard and maximum levels. Prints a Markdown table.
//
//   deflate_compare [folder] [--runs N]
//
// Without a folder, /usr/include and /usr/share/doc are read (regular files only).

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

// Packed size of one file; 0 when the compressor failed.
using Compress = std::function<std::size_t(const Bytes& in, Bytes& out)>;

std::size_t withZlib(int level, const Bytes& in, Bytes& out) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
    out.resize(deflateBound(&z, in.size()));
    z.next_in = const_cast<unsigned char*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int r = deflate(&z, Z_FINISH);
    const std::size_t n = r == Z_STREAM_END ? z.total_out : 0;
    deflateEnd(&z);
    return n;
}

std::size_t withLibdeflate(libdeflate_compressor* c, const Bytes& in, Bytes& out) {
    out.resize(libdeflate_deflate_compress_bound(c, in.size()));
    return libdeflate_deflate_compress(c, in.data(), in.size(), out.data(), out.size());
}

std::size_t withIsal(int level, Bytes& levelBuf, const Bytes& in, Bytes& out) {
    isal_zstream z{};
    isal_deflate_stateless_init(&z);
    z.level = static_cast<std::uint32_t>(level);
    z.level_buf = levelBuf.data();
    z.level_buf_size = static_cast<std::uint32_t>(levelBuf.size());
    out.resize(in.size() + in.size() / 8 + 1024);
    z.next_in = const_cast<unsigned char*>(in.data());
    z.avail_in = static_cast<std::uint32_t>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<std::uint32_t>(out.size());
    z.end_of_stream = 1;
    z.flush = NO_FLUSH;
    return isal_deflate_stateless(&z) == COMP_OK ? z.total_out : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> roots;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            roots.push_back(a);
    }
    if (roots.empty()) roots = {"/usr/include", "/usr/share/doc"};

    std::vector<Bytes> files;
    std::uint64_t total = 0;
    for (const auto& root : roots) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
             it != end; it.increment(ec)) {
            if (ec || !it->is_regular_file(ec) || it->is_symlink(ec)) continue;
            std::ifstream f(it->path(), std::ios::binary);
            Bytes b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            total += b.size();
            files.push_back(std::move(b));
        }
    }
    std::printf("%zu files, %llu bytes, best of %d runs, one thread\n\n", files.size(),
                static_cast<unsigned long long>(total), runs);

    Bytes isalBuf(ISAL_DEF_LVL3_DEFAULT);
    struct Candidate {
        std::string name;
        Compress compress;
    };
    std::vector<Candidate> candidates;
    for (int level : {1, 3, 6, 9}) {
        candidates.push_back({"zlib " + std::to_string(level),
                              [level](const Bytes& in, Bytes& out) { return withZlib(level, in, out); }});
    }
    std::vector<libdeflate_compressor*> compressors;
    for (int level : {1, 3, 6, 9, 12}) {
        libdeflate_compressor* c = libdeflate_alloc_compressor(level);
        compressors.push_back(c);
        candidates.push_back({"libdeflate " + std::to_string(level),
                              [c](const Bytes& in, Bytes& out) { return withLibdeflate(c, in, out); }});
    }
    for (int level : {1, 2, 3}) {
        candidates.push_back({"ISA-L " + std::to_string(level), [level, &isalBuf](const Bytes& in, Bytes& out) {
                                  return withIsal(level, isalBuf, in, out);
                              }});
    }

    std::printf("| compressor | seconds | MB/s | packed bytes | of the data |\n|---|---|---|---|---|\n");
    Bytes out;
    for (const auto& c : candidates) {
        double best = 1e30;
        std::uint64_t packed = 0;
        for (int r = 0; r < runs; ++r) {
            packed = 0;
            const auto start = std::chrono::steady_clock::now();
            for (const Bytes& f : files) {
                if (f.empty()) continue;
                const std::size_t n = c.compress(f, out);
                packed += n == 0 || n >= f.size() ? f.size() : n;  // stored when it does not shrink
            }
            best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        std::printf("| %s | %.2f | %.0f | %llu | %.1f%% |\n", c.name.c_str(), best, total / best / 1e6,
                    static_cast<unsigned long long>(packed), 100.0 * static_cast<double>(packed) / total);
        std::fflush(stdout);
    }
    for (auto* c : compressors) libdeflate_free_compressor(c);
    return 0;
}
