// libFuzzer target for the reading side: any bytes as an archive are listed, tested and
// extracted. A crash, a sanitizer report, a hang or a file written outside the
// destination is a finding. Built and run by fuzz.sh (clang only).

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lsp/lsp.h"

namespace fs = std::filesystem;

namespace {

struct Scratch {
    std::string root, archive, dest;
    Scratch() {
        std::string base = (fs::exists("/dev/shm") ? std::string("/dev/shm") : fs::temp_directory_path().string()) +
                           "/lsp-fuzz-XXXXXX";
        if (!::mkdtemp(base.data())) std::abort();
        root = base;
        archive = root + "/input.zip";
        dest = root + "/dest";
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scratch s;
    // A new file each time (never rewritten in place), so the kept directory is re-read.
    ::unlink(s.archive.c_str());
    {
        std::ofstream out(s.archive, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directory(s.dest);

    char b1[256] = "", b2[256] = "";
    LSP_ITEM item{};
    std::vector<std::pair<std::string, std::string>> items;
    while (items.size() < 64 && LSP_GETNEXTITEM(b1, b2, s.archive.c_str(), &item) == LSP_OK) {
        if (item.name[255] != '\0' || item.path[255] != '\0') std::abort();  // record texts end in NUL
        items.emplace_back(item.name, item.path);
    }
    LSP_RESETDLL();
    int extracted = 0;
    for (const auto& [name, path] : items) {
        LSP_UNPACK(name.c_str(), path.c_str(), s.archive.c_str(), "", LSP_UF_TEST);
        if (extracted++ < 4)
            LSP_UNPACK(name.c_str(), path.c_str(), s.archive.c_str(), s.dest.c_str(),
                       LSP_UF_USE_PATHS | LSP_UF_CREATE_FOLDERS | LSP_UF_ALWAYS_OVERWRITE);
    }
    // Only the archive and the destination may exist in the scratch folder.
    for (const auto& e : fs::directory_iterator(s.root)) {
        const std::string n = e.path().filename();
        if (n != "input.zip" && n != "dest") std::abort();
    }
    std::error_code ec;
    fs::remove_all(s.dest, ec);
    return 0;
}
