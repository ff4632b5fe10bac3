// The preview engine filling its list against find(1) on the same tree.
//
//   bench_preview FOLDER     measures an existing folder (for example one left by bench_scan --keep)
//
// The preview is stepped one unit at a time, as its window's timer steps it, through a
// real catalog holding one recursive "*.*" component; find prints size and path of every
// file. Both run warm; the best of several rounds counts.
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/PreviewRun.h"
#include "catalog/Catalog.h"
#include "framework/ConsoleDialogs.h"
#include "platform/FileSystem.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;

double runFind(const std::string& folder) {
    const auto start = Clock::now();
    const std::string command = "find '" + folder + "' -type f -printf '%s %p\\n' >/dev/null";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) std::exit(1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class Quiet : public quillet::BackupRunView {
public:
    void setStatus(const std::string&) override {}
    void setProgress(int) override {}
    void setItemProgress(int) override {}
    bool cancelRequested() override { return false; }
    void pumpEvents() override {}
    void showFiles(const quillet::BackupFileList& files) override { shown = files.size(); }
    std::size_t shown = 0;
};

struct Round {
    double ms = 0;
    std::size_t files = 0;
    long steps = 0;
};

Round runPreview(quillet::Catalog& catalog, const quillet::Project& project) {
    quillet::FileSystem fs;
    quillet::ConsoleDialogs dialogs;
    Quiet view;
    Round r;
    const auto start = Clock::now();
    quillet::PreviewRun run({fs, dialogs, catalog}, project, view);
    run.open();
    while (run.timerRunning()) {
        run.step();
        ++r.steps;
    }
    r.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    r.files = view.shown;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = std::filesystem::absolute(argv[1]).lexically_normal().string();
    const std::string home =
        std::filesystem::temp_directory_path() / ("quillet-bench-preview-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    int code = 0;
    {
        quillet::Catalog catalog(home);
        if (!catalog.open()) return 1;
        quillet::Project p;
        p.NAME = "Bench";
        p.PREFIX = "BNCH";
        p.DESTINATIONPATH = home + "/";
        auto project = catalog.projects().insert(p);
        quillet::Component c;
        c.PROSYSID = project->SYSID;
        c.PATH = folder;
        c.MASK = "*.*";
        c.RECURSE = 1;
        (void)catalog.components().insert(c);

        runFind(folder);
        const Round warm = runPreview(catalog, *project);
        std::vector<double> previewMs, findMs;
        for (int i = 0; i < kRounds; ++i) {
            previewMs.push_back(runPreview(catalog, *project).ms);
            findMs.push_back(runFind(folder));
        }
        std::sort(previewMs.begin(), previewMs.end());
        std::sort(findMs.begin(), findMs.end());
        std::printf("files listed: %zu in %ld steps\n", warm.files, warm.steps);
        std::printf("preview best %.1f ms, median %.1f ms\n", previewMs[0], previewMs[kRounds / 2]);
        std::printf("find    best %.1f ms, median %.1f ms\n", findMs[0], findMs[kRounds / 2]);
        std::printf("ratio preview/find (best): %.2f   (median): %.2f\n", previewMs[0] / findMs[0],
                    previewMs[kRounds / 2] / findMs[kRounds / 2]);
        catalog.close();
        code = warm.files > 0 ? 0 : 2;
    }
    std::filesystem::remove_all(home);
    return code;
}
