// Finding every version of a file: N archives of M items each (real archives packed by
// the library, then copied), indexed once, then searched by name and by wildcard mask;
// against `unzip -l` of the same archives piped to grep.
//   bench_versions [--archives 20] [--items 100000] [--runs 5]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "catalog/ArchiveIndex.h"
#include "lsp/lsp.h"

namespace fsys = std::filesystem;
using namespace quillet;

namespace {

double seconds(const std::function<void()>& body) {
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double best(int runs, const std::function<void()>& body) {
    double b = 1e30;
    for (int r = 0; r < runs; ++r) b = std::min(b, seconds(body));
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    int archives = 20, items = 100000, runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--archives") archives = std::atoi(argv[i + 1]);
        if (a == "--items") items = std::atoi(argv[i + 1]);
        if (a == "--runs") runs = std::atoi(argv[i + 1]);
    }
    const std::string work =
        fsys::temp_directory_path().string() + "/quillet-versions-bench-" + std::to_string(getpid());
    fsys::create_directories(work + "/files");
    fsys::create_directories(work + "/dest");
    fsys::create_directories(work + "/data");

    // One archive of small files in 100 folders, packed in one batch, then copied.
    const std::string first = work + "/dest/BENC0001.LSP";
    for (int i = 0; i < items; ++i) {
        const std::string folder = work + "/files/d" + std::to_string(i % 100);
        if (i < 100) fsys::create_directories(folder);
        const std::string file = folder + "/item" + std::to_string(i) + (i % 3 ? ".txt" : ".dat");
        std::ofstream(file) << "item " << i << '\n';
        if (LSP_PACK(file.c_str(), first.c_str(), "", 2, LSP_PF_STORE_PATHS | LSP_PF_BATCH) != 0) {
            std::fprintf(stderr, "packing failed\n");
            return 1;
        }
    }
    LSP_RESETDLL();
    fsys::remove_all(work + "/files");
    std::vector<std::string> paths{first};
    for (int a = 2; a <= archives; ++a) {
        char name[32];
        std::snprintf(name, sizeof name, "BENC%04d.LSP", a);
        paths.push_back(work + "/dest/" + name);
        fsys::copy_file(first, paths.back());
    }

    ArchiveIndex index(work + "/data");
    const double indexing = seconds([&] {
        if (Status s = index.update(paths); !s) {
            std::fprintf(stderr, "indexing failed: %s\n", s.error().c_str());
            std::exit(1);
        }
    });

    std::size_t hits = 0;
    const double oneName = best(runs, [&] {
        auto found = index.find("ITEM4243.TXT", paths);
        if (!found) {
            std::fprintf(stderr, "find failed: %s\n", found.error().c_str());
            std::exit(1);
        }
        hits = found->size();
    });
    std::size_t maskHits = 0;
    const double mask = best(runs, [&] {
        auto found = index.find("item42*.t?t", paths);
        if (!found) {
            std::fprintf(stderr, "find failed: %s\n", found.error().c_str());
            std::exit(1);
        }
        maskHits = found->size();
    });

    std::string list;
    for (const std::string& p : paths) list += " '" + p + "'";
    const double unzipGrep = best(runs, [&] {
        const std::string command =
            "for a in" + list + "; do unzip -l \"$a\"; done | grep -ci 'item4243\\.txt' >/dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "unzip | grep failed\n");
            std::exit(1);
        }
    });

    std::printf("archives %d x items %d\n", archives, items);
    std::printf("indexing all directories: %.3f s\n", indexing);
    std::printf("find one name: %.3f s (%zu versions)\n", oneName, hits);
    std::printf("find a mask: %.3f s (%zu versions)\n", mask, maskHits);
    std::printf("unzip -l | grep: %.3f s\n", unzipGrep);
    std::printf("ratio one name / unzip -l | grep: %.3f\n", oneName / unzipGrep);
    fsys::remove_all(work);
    return 0;
}
