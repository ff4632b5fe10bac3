// libFuzzer target for the packing side: the fuzzer's bytes become a few files (names,
// folders, sizes, contents, method and flags), which are packed into a new archive,
// listed, tested and unpacked again. Any difference in name, path, size, CRC or bytes,
// a refused item or a failed test is a finding (abort), as is a crash or a sanitizer
// report. Built and run by fuzz.sh (clang only).
//
// Names hold any byte but "/" and NUL: spaces at either end, backslashes, * ? [ ],
// bytes that are not UTF-8, up to the 255 bytes an item record holds.

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "lsp/lsp.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void finding(const char* what, const std::string& path, const std::string& name) {
    std::fprintf(stderr, "round trip: %s: path \"%s\" name \"%s\" (%zu bytes)\n", what, path.c_str(), name.c_str(),
                 name.size());
    std::abort();
}

struct Scratch {
    std::string root;
    Scratch() {
        std::string base =
            (fs::exists("/dev/shm") ? std::string("/dev/shm") : fs::temp_directory_path().string()) + "/lsp-rt-XXXXXX";
        if (!::mkdtemp(base.data())) std::abort();
        root = base;
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

// One path component drawn from the fuzzer: a class of hostile characters, then a
// length and the bytes. Never empty, ".", "..", or holding "/" or NUL.
std::string component(FuzzedDataProvider& in, std::size_t maxSize) {
    static const char kPlain[] = "abcXYZ019._-~";
    static const char kOdd[] = " \\*?[]{}!$'\"`&;|<>#%=,^";
    const std::size_t size = in.ConsumeIntegralInRange<std::size_t>(1, maxSize);
    const int kind = in.ConsumeIntegralInRange<int>(0, 3);
    std::string s;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = in.ConsumeIntegral<unsigned char>();
        switch (kind) {
            case 0:  // ordinary
                s.push_back(kPlain[byte % (sizeof kPlain - 1)]);
                break;
            case 1:  // shell and wildcard characters, backslashes, spaces
                s.push_back(byte & 1 ? kOdd[(byte >> 1) % (sizeof kOdd - 1)]
                                     : kPlain[(byte >> 1) % (sizeof kPlain - 1)]);
                break;
            case 2:  // any byte (not UTF-8 as often as not)
                s.push_back(static_cast<char>(byte));
                break;
            default:  // high bytes only: broken and valid UTF-8 sequences
                s.push_back(static_cast<char>(0x80 | byte));
                break;
        }
    }
    for (char& c : s)
        if (c == '/' || c == '\0') c = '_';
    // Spaces at either end.
    if (in.ConsumeBool()) s.insert(0, std::string(in.ConsumeIntegralInRange<std::size_t>(1, 3), ' '));
    if (in.ConsumeBool()) s.append(std::string(in.ConsumeIntegralInRange<std::size_t>(1, 3), ' '));
    if (s.size() > maxSize) s.resize(maxSize);
    if (s == "." || s == "..") s += "x";
    return s;
}

struct Planned {
    std::string path;  // item path as the listing should give it
    std::string name;
    std::string data;
};

bool writeFile(const std::string& file, const std::string& data) {
    std::ofstream out(file, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

std::string readFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t crcOf(const std::string& data) {
    return static_cast<std::uint32_t>(
        ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static Scratch s;
    FuzzedDataProvider in(bytes, size);
    const std::string src = s.root + "/src", dest = s.root + "/dest", archive = s.root + "/out.zip";
    std::error_code ec;
    fs::remove_all(src, ec);
    fs::remove_all(dest, ec);
    ::unlink(archive.c_str());
    fs::create_directories(src);
    fs::create_directories(dest);

    // Paths relative to the source folder, or the absolute folder of each file.
    const bool relative = in.ConsumeBool();
    LSP_RELATIVEPATH(src.c_str(), relative ? 1 : 0);
    const bool batch = in.ConsumeBool();

    std::vector<Planned> items;
    const int count = in.ConsumeIntegralInRange<int>(1, 8);
    for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
        // An optional sub-folder with a hostile name of its own.
        std::string folder = src, path = relative ? std::string() : src + "/";
        if (in.ConsumeBool()) {
            const std::string sub = component(in, 40);
            folder += "/" + sub;
            path += sub + "/";
            fs::create_directories(folder, ec);
            if (ec) continue;
        }
        const std::string name = component(in, in.ConsumeBool() ? 255 : 24);
        const std::string file = folder + "/" + name;
        if (fs::exists(fs::symlink_status(file))) continue;  // the same name twice

        // Contents: fuzzer bytes, a repeated pattern that deflates well, or empty.
        std::string data;
        switch (in.ConsumeIntegralInRange<int>(0, 2)) {
            case 0:
                data = in.ConsumeRandomLengthString(4096);
                break;
            case 1: {
                const std::string unit = in.ConsumeRandomLengthString(16) + "x";
                const std::size_t reps = in.ConsumeIntegralInRange<std::size_t>(1, 20000);
                for (std::size_t r = 0; r < reps; ++r) data += unit;
                break;
            }
            default:
                break;
        }
        if (!writeFile(file, data)) continue;

        static const std::uint16_t kMethods[] = {LSP_METHOD_NORMAL, LSP_METHOD_SUPERIOR, LSP_METHOD_STORED};
        const std::uint16_t method = kMethods[in.ConsumeIntegralInRange<int>(0, 2)];
        std::uint32_t flags = LSP_PF_STORE_PATHS | LSP_PF_QUIET | (batch ? LSP_PF_BATCH : 0);
        if (in.ConsumeBool()) flags |= in.ConsumeBool() ? LSP_PF_FAST : LSP_PF_MAXIMUM;
        const int st = LSP_PACK(file.c_str(), archive.c_str(), "", method, flags);
        if (path.size() > 255) {
            if (st != LSP_E_BAD_COMMAND) finding("an item path over 255 bytes was not refused", path, name);
            continue;
        }
        if (st != LSP_OK) finding("packing failed", path, name);
        items.push_back({path, name, std::move(data)});
    }
    LSP_RESETDLL();
    LSP_RELATIVEPATH("", 0);
    if (items.empty()) return 0;

    // The listing holds every item once, with its name, path, size and CRC.
    std::map<std::pair<std::string, std::string>, const Planned*> expected;
    for (const auto& p : items) expected[{p.path, p.name}] = &p;
    char b1[256] = "", b2[256] = "";
    LSP_ITEM item{};
    std::size_t listed = 0;
    int st;
    while ((st = LSP_GETNEXTITEM(b1, b2, archive.c_str(), &item)) == LSP_OK) {
        const std::string name = item.name, path = item.path;
        const auto it = expected.find({path, name});
        if (it == expected.end()) finding("listed an item that was not packed", path, name);
        const Planned& p = *it->second;
        const std::uint64_t unpacked = item.unpackedSize | (std::uint64_t{item.unpackedSizeHigh} << 32);
        if (unpacked != p.data.size()) finding("listed size differs", path, name);
        if (item.crc32 != crcOf(p.data)) finding("listed CRC differs", path, name);
        ++listed;
    }
    if (st != LSP_END_OF_LIST) finding("listing failed", b2, b1);
    if (listed != items.size()) finding("listing lost items", "", std::to_string(listed));

    // Each item tests good and unpacks to the same bytes.
    for (const auto& p : items) {
        if (LSP_UNPACK(p.name.c_str(), p.path.c_str(), archive.c_str(), "", LSP_UF_TEST) != LSP_OK)
            finding("test failed", p.path, p.name);
        if (LSP_UNPACK(p.name.c_str(), p.path.c_str(), archive.c_str(), dest.c_str(),
                       LSP_UF_USE_PATHS | LSP_UF_CREATE_FOLDERS | LSP_UF_NEVER_OVERWRITE | LSP_UF_QUIET) != LSP_OK)
            finding("unpacking failed", p.path, p.name);
        const std::string restored = dest + "/" + p.path + p.name;
        if (!fs::is_regular_file(fs::symlink_status(restored))) finding("unpacked file missing", p.path, p.name);
        if (readFile(restored) != p.data) finding("unpacked bytes differ", p.path, p.name);
    }
    return 0;
}
