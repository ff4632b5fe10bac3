// Measures the library pair through its LSP_ entry points against zip and unzip on the
// same files, and prints the figures as ratios (a Markdown table).
//
//   lsp_bench [folder] [--runs N] [--work DIR]
//
// Without a folder, a copy of /usr/include and /usr/share/doc (regular files only) is
// made in the work folder. Each figure is the best of N runs (default 3).

#include <fcntl.h>
#include <sys/stat.h>
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

#include "lsp/lsp.h"

namespace fs = std::filesystem;

namespace {

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

double seconds(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double best(int runs, const std::function<void()>& prepare, const std::function<void()>& f) {
    double b = 1e30;
    for (int i = 0; i < runs; ++i) {
        prepare();
        b = std::min(b, seconds(f));
    }
    return b;
}

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

void removeAll(const std::string& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
}

// Regular files below root, sorted, and their total size.
std::vector<std::string> regularFiles(const std::string& root, std::uintmax_t& bytes) {
    std::vector<std::string> files;
    bytes = 0;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
        std::error_code ec;
        if (it->is_symlink(ec)) continue;
        if (it->is_regular_file(ec)) {
            files.push_back(it->path().string());
            bytes += it->file_size(ec);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Copies the regular files of each source below dest, keeping their folders.
void copyTree(const std::vector<std::string>& sources, const std::string& dest) {
    for (const auto& src : sources) {
        std::uintmax_t bytes = 0;
        for (const auto& f : regularFiles(src, bytes)) {
            const fs::path target = fs::path(dest) / fs::path(f).relative_path();
            std::error_code ec;
            fs::create_directories(target.parent_path(), ec);
            fs::copy_file(f, target, fs::copy_options::overwrite_existing, ec);
        }
    }
}

struct Row {
    std::string task;
    double lsp;
    double standard;
    std::string standardName;
};

int packAll(const std::vector<std::string>& files, const std::string& archive, const std::string& base) {
    LSP_RELATIVEPATH(base.c_str(), 1);
    int failed = 0;
    for (const auto& f : files)
        if (LSP_PACK(f.c_str(), archive.c_str(), "", LSP_METHOD_SUPERIOR, LSP_PF_STORE_PATHS | LSP_PF_BATCH) != 0)
            ++failed;
    LSP_RESETDLL();
    LSP_RELATIVEPATH("", 0);
    return failed;
}

struct Item {
    std::string name, path;
};

std::vector<Item> listAll(const std::string& archive) {
    std::vector<Item> items;
    char b1[256] = "", b2[256] = "";
    LSP_ITEM record{};
    while (LSP_GETNEXTITEM(b1, b2, archive.c_str(), &record) == 0) items.push_back({record.name, record.path});
    LSP_RESETDLL();
    return items;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder, work;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--work" && i + 1 < argc) {
            work = argv[++i];
        } else if (a == "--help") {
            std::puts("usage: lsp_bench [folder] [--runs N] [--work DIR]");
            return 0;
        } else {
            folder = a;
        }
    }
    if (work.empty()) {
        std::string t = fs::temp_directory_path().string() + "/lsp-bench-XXXXXX";
        if (!::mkdtemp(t.data())) return 1;
        work = t;
    }
    fs::create_directories(work);
    if (folder.empty()) {
        folder = work + "/data";
        if (!fs::exists(folder)) {
            std::printf("copying /usr/include and /usr/share/doc to %s ...\n", folder.c_str());
            copyTree({"/usr/include", "/usr/share/doc"}, folder);
        }
    }
    folder = fs::absolute(folder).lexically_normal().string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::uintmax_t bytes = 0;
    const auto files = regularFiles(folder, bytes);
    std::printf("%zu files, %.1f MB in %s; best of %d runs\n", files.size(), static_cast<double>(bytes) / 1e6,
                folder.c_str(), runs);
    run("cat " + shellQuoted(folder) + " >/dev/null 2>&1; find " + shellQuoted(folder) +
        " -type f -exec cat {} + >/dev/null");  // warm the page cache for both tools

    const std::string lspZip = work + "/lsp.zip", stdZip = work + "/zip.zip";
    std::vector<Row> rows;

    // Packing: one LSP_PACK per file in a batch, against zip -r -6.
    int failed = 0;
    const double pack = best(
        runs, [&] { removeAll(lspZip); }, [&] { failed = packAll(files, lspZip, folder); });
    const double zip = best(
        runs, [&] { removeAll(stdZip); },
        [&] { run("cd " + shellQuoted(folder) + " && zip -r -6 -q " + shellQuoted(stdZip) + " ."); });
    rows.push_back({"pack, one LSP_PACK per file in a batch", pack, zip, "zip -r -6 -q"});
    const double lspSize = static_cast<double>(fs::file_size(lspZip));
    const double zipSize = static_cast<double>(fs::file_size(stdZip));
    if (failed) std::printf("warning: %d files could not be packed\n", failed);

    // Listing, testing and extracting the same archive.
    std::vector<Item> items;
    const double list = best(
        runs, [] {}, [&] { items = listAll(lspZip); });
    const double unzipList = best(
        runs, [] {}, [&] { run("unzip -l " + shellQuoted(lspZip) + " >/dev/null"); });
    rows.push_back({"list with LSP_GETNEXTITEM", list, unzipList, "unzip -l"});

    int bad = 0;
    const double test = best(
        runs, [&] { bad = 0; },
        [&] {
            for (const auto& i : items)
                if (LSP_UNPACK(i.name.c_str(), i.path.c_str(), lspZip.c_str(), "", LSP_UF_TEST) != 0) ++bad;
        });
    const double unzipTest = best(
        runs, [] {}, [&] { run("unzip -tqq " + shellQuoted(lspZip) + " >/dev/null"); });
    rows.push_back({"test every item, one LSP_UNPACK each", test, unzipTest, "unzip -t"});
    if (bad) std::printf("warning: %d items failed the test\n", bad);

    const std::string out1 = work + "/out-lsp", out2 = work + "/out-unzip";
    const double extract = best(
        runs, [&] { removeAll(out1); },
        [&] {
            for (const auto& i : items)
                if (LSP_UNPACK(i.name.c_str(), i.path.c_str(), lspZip.c_str(), out1.c_str(),
                               LSP_UF_USE_PATHS | LSP_UF_CREATE_FOLDERS | LSP_UF_ALWAYS_OVERWRITE) != 0)
                    ++bad;
        });
    const double unzipExtract = best(
        runs, [&] { removeAll(out2); },
        [&] { run("unzip -o -q " + shellQuoted(lspZip) + " -d " + shellQuoted(out2)); });
    rows.push_back({"extract every item, one LSP_UNPACK each", extract, unzipExtract, "unzip -o -q"});
    removeAll(out1);
    removeAll(out2);

    // Growth: 2,000 against 20,000 small files, one LSP_PACK each.
    const std::string small = work + "/small";
    if (!fs::exists(small + "/19999.txt")) {
        fs::create_directories(small);
        for (int i = 0; i < 20000; ++i) {
            std::ofstream(small + "/" + std::to_string(i) + ".txt")
                << "small file number " << i << " with a little text to pack\n";
        }
    }
    std::uintmax_t smallBytes = 0;
    auto smallFiles = regularFiles(small, smallBytes);
    const std::vector<std::string> first2000(smallFiles.begin(), smallFiles.begin() + 2000);
    const std::string s1 = work + "/s2000.zip", s2 = work + "/s20000.zip";
    const double t2000 = best(
        runs, [&] { removeAll(s1); }, [&] { packAll(first2000, s1, small); });
    const double t20000 = best(
        runs, [&] { removeAll(s2); }, [&] { packAll(smallFiles, s2, small); });

    std::printf("\n| measurement | Quillet | standard tool | ratio |\n|---|---|---|---|\n");
    for (const auto& r : rows)
        std::printf("| %s, %zu files | %.3f s | %.3f s (`%s`) | %.2f |\n", r.task.c_str(), files.size(), r.lsp,
                    r.standard, r.standardName.c_str(), r.lsp / r.standard);
    std::printf("| archive size, %zu files | %.1f MB | %.1f MB (`zip -r -6`) | %.3f |\n", files.size(), lspSize / 1e6,
                zipSize / 1e6, lspSize / zipSize);
    std::printf("| pack 20,000 small files vs 2,000 (one call each) | %.3f s | %.3f s | %.1f (10 = linear) |\n", t20000,
                t2000, t20000 / t2000);
    removeAll(lspZip);
    removeAll(stdZip);
    removeAll(s1);
    removeAll(s2);
    return 0;
}
