// The file selection scan against find(1) on the same tree.
//
//   bench_scan                 builds 100,000 files in 5,000 folders under $TMPDIR, measures, removes them
//   bench_scan FOLDER          measures an existing folder
//   bench_scan --keep          builds the tree and leaves it in place (its path is printed)
//
// Both tools run warm (one untimed round first); each is timed over several rounds and
// the best time counts. find does what the scan must: one stat per file for size and
// time, and the full path.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/ScanProjectFiles.h"
#include "framework/ConsoleDialogs.h"
#include "framework/RunHost.h"
#include "platform/FileSystem.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTopFolders = 50;
constexpr int kFoldersPerTop = 99;   // 50 + 50 * 99 = 5,000 folders
constexpr int kFilesPerFolder = 20;  // 100,000 files
constexpr int kRounds = 5;

void writeFile(const std::string& path, std::size_t size) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    static const std::string bytes(4096, 'q');
    if (size > 0 && ::write(fd, bytes.data(), size) < 0) std::perror(path.c_str());
    ::close(fd);
}

void fillFolder(const std::string& folder, int seed) {
    ::mkdir(folder.c_str(), 0755);
    for (int f = 0; f < kFilesPerFolder; ++f) {
        static const char* const ext[] = {".txt", ".doc", ".jpg", ".c", ".h", ".dat"};
        writeFile(folder + "/file" + std::to_string(f) + "_" + std::to_string(seed) + ext[(f + seed) % 6],
                  static_cast<std::size_t>((f * 37 + seed) % 2000));
    }
}

std::string buildTree() {
    const char* tmp = std::getenv("TMPDIR");
    std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillet-bench-scan-XXXXXX";
    if (!::mkdtemp(root.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    for (int t = 0; t < kTopFolders; ++t) {
        const std::string top = root + "/Project " + std::to_string(t);
        fillFolder(top, t * 1000);
        for (int s = 0; s < kFoldersPerTop; ++s) fillFolder(top + "/part" + std::to_string(s), t * 1000 + s + 1);
    }
    return root;
}

double runFind(const std::string& folder) {
    const auto start = Clock::now();
    const std::string command = "find '" + folder + "' -type f -printf '%s %T@ %p\\n' >/dev/null";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::size_t findCount(const std::string& folder) {
    const std::string command = "find '" + folder + "' -type f -not -name '.*' | wc -l";
    FILE* p = ::popen(command.c_str(), "r");
    unsigned long n = 0;
    if (!p || std::fscanf(p, "%lu", &n) != 1) n = 0;
    if (p) ::pclose(p);
    return n;
}

struct ScanRun {
    double ms = 0;
    std::size_t files = 0;
    std::int64_t bytes = 0;
    quillet::ScanOutcome outcome = quillet::ScanOutcome::Completed;
};

ScanRun runScan(const std::string& folder) {
    quillet::FileSystem fs;
    quillet::ConsoleDialogs dialogs;
    quillet::PlainRunHost host;
    quillet::ScanServices services{fs, dialogs, host};
    quillet::Component c;
    c.PROSYSID = 1;
    c.PATH = folder;
    c.MASK = "*.*";
    c.RECURSE = 1;
    quillet::BackupFileList list;
    ScanRun r;
    const auto start = Clock::now();
    r.outcome = quillet::ScanProjectFiles(services, {c}, list, quillet::scantext::PurgingExcluded);
    r.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    r.files = list.size();
    for (const auto& e : list) r.bytes += e.SIZE;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    bool keep = false;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep") == 0)
            keep = true;
        else
            folder = argv[i];
    }
    const bool built = folder.empty();
    if (built) {
        const auto start = Clock::now();
        folder = buildTree();
        std::printf("built %d files in %d folders under %s (%.1f s)\n",
                    kTopFolders * (kFoldersPerTop + 1) * kFilesPerFolder, kTopFolders * (kFoldersPerTop + 1),
                    folder.c_str(), std::chrono::duration<double>(Clock::now() - start).count());
    }

    runFind(folder);  // warm the caches for both
    const ScanRun warm = runScan(folder);
    if (warm.outcome != quillet::ScanOutcome::Completed) {
        std::fprintf(stderr, "the scan did not complete\n");
        return 1;
    }
    const std::size_t expected = findCount(folder);
    std::vector<double> scanMs, findMs;
    for (int round = 0; round < kRounds; ++round) {
        scanMs.push_back(runScan(folder).ms);
        findMs.push_back(runFind(folder));
    }
    const double bestScan = *std::min_element(scanMs.begin(), scanMs.end());
    const double bestFind = *std::min_element(findMs.begin(), findMs.end());
    std::sort(scanMs.begin(), scanMs.end());
    std::sort(findMs.begin(), findMs.end());
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);

    std::printf("files selected: %zu (%lld bytes); find lists %zu visible files\n", warm.files,
                static_cast<long long>(warm.bytes), expected);
    std::printf("scan  best %.1f ms, median %.1f ms\n", bestScan, scanMs[kRounds / 2]);
    std::printf("find  best %.1f ms, median %.1f ms\n", bestFind, findMs[kRounds / 2]);
    std::printf("ratio scan/find (best): %.2f   (median): %.2f\n", bestScan / bestFind,
                scanMs[kRounds / 2] / findMs[kRounds / 2]);
    std::printf("peak memory of the scanning process: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);

    if (built && !keep) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    return warm.files == expected ? 0 : 2;
}
