// Each run window against the console run of the same work, side by side in one run on
// the offscreen platform: a first backup of a folder (the "Backup Progress" window against the
// console-mode run, `quillet -P=NAME --console`), its preview (the "Backup Preview" window
// against `quillet preview`), and a test and a restore of every item of the new archive
// (the "Test Backup Integrity" and "Restore File(s) from Backup" windows against
// `quillet test` and `quillet restore`). Each figure is the best of N runs, the window and
// the console run taking turns, each after a sync so that none pays for the writes of the
// run before it, and each going first in every other round (a restore that follows the
// removal of the one before is slower); a window's time ends when its run shows its end.
//
//   bench_run_windows [--source FOLDER] [--runs N] [--only window|console]
//
// Defaults: /usr/include as the source, best of 3; --only runs one side (for a profiler).

#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/ConsoleBackupView.h"
#include "app/ExecuteBackup.h"
#include "archive/ArchiveRuns.h"
#include "archive/lspclass.h"
#include "archive/ui/RestoreWindow.h"
#include "archive/ui/TestWindow.h"
#include "backup/BatchBackup.h"
#include "backup/PlayEventSound.h"
#include "backup/PreviewRun.h"
#include "backup/ui/BackupProgressWindow.h"
#include "backup/ui/PreviewWindow.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ConsoleDialogs.h"
#include "framework/Services.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace fsys = std::filesystem;
using namespace quillet;
using Clocked = std::chrono::steady_clock;

namespace {

double since(Clocked::time_point start) {
    return std::chrono::duration<double>(Clocked::now() - start).count();
}

// This process's processor time, user and system: steadier than the wall on a busy machine.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The progress window as the console opens it; its time ends with the run's figures, and
// "&OK" is pressed through the event loop as a user would.
class TimedProgressWindow : public BackupProgressWindow {
public:
    void showResults(double seconds, std::int64_t compressedBytes) override {
        BackupProgressWindow::showResults(seconds, compressedBytes);
        ended = Clocked::now();
        runSeconds = seconds;
        QTimer::singleShot(0, this, [this] { findChild<QPushButton*>("actionButton")->click(); });
    }
    // The redraws of the window and the time they took.
    bool event(QEvent* e) override {
        if (e->type() != QEvent::UpdateRequest) return BackupProgressWindow::event(e);
        const auto start = Clocked::now();
        const bool handled = BackupProgressWindow::event(e);
        ++redraws;
        drawing += since(start);
        return handled;
    }
    Clocked::time_point ended;
    double runSeconds = 0;
    int redraws = 0;
    double drawing = 0;
};

class TimedPreviewWindow : public PreviewWindow {
public:
    void setButtonLabel(const std::string& label) override {
        PreviewWindow::setButtonLabel(label);
        if (label != "&OK") return;
        ended = Clocked::now();
        QTimer::singleShot(0, this, [this] { findChild<QPushButton*>("actionButton")->click(); });
    }
    Clocked::time_point ended;
};

class QuietPreviewView : public BackupRunView {
public:
    void setStatus(const std::string&) override {}
    void setProgress(int) override {}
    void setItemProgress(int) override {}
    bool cancelRequested() override { return false; }
    void pumpEvents() override {}
};

class QuietArchiveView : public ArchiveRunView {
public:
    void setStatus(const std::string&) override {}
    void setProgress(int) override {}
    void setItemProgress(int) override {}
};

// The window's time ends when its run has finished; the window is then closed.
void closeWhenFinished(ArchiveRunWindow& window, ArchiveRun& run, Clocked::time_point& ended) {
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, &run, &ended, poll] {
        if (run.phase() != ArchiveRun::Phase::Finished) return;
        ended = Clocked::now();
        poll->stop();
        window.done(0);
    });
    poll->start(1);
}

struct Row;
// Adds the processor time of one run to its row when the run's scope ends.
struct CpuTimer {
    explicit CpuTimer(bool inWindow) : window(inWindow), start(cpuSeconds()) {}
    ~CpuTimer();
    Row* row = nullptr;
    bool window;
    double start;
};

struct Row {
    const char* what;
    const char* console;
    double window = 1e30, plain = 1e30;
    double windowCpu = 1e30, plainCpu = 1e30;
    void cpu(bool inWindow, double seconds) {
        double& best = inWindow ? windowCpu : plainCpu;
        best = std::min(best, seconds);
    }
};

CpuTimer::~CpuTimer() {
    if (row) row->cpu(window, cpuSeconds() - start);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int runs = 3;
    std::string only;
    std::string source = "/usr/include";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--source") source = argv[i + 1];
        if (a == "--runs") runs = std::atoi(argv[i + 1]);
        if (a == "--only") only = argv[i + 1];
    }
    const std::string work =
        fsys::temp_directory_path().string() + "/quillet-windows-bench-" + std::to_string(getpid());
    fsys::create_directories(work + "/dest");
    fsys::create_directories(work + "/restore");
    qputenv("QUILLET_HOME", (work + "/home").c_str());
    QApplication app(argc, argv);

    const Paths paths = Paths::fromEnvironment();
    ensureFolder(paths.configFolder);
    ensureFolder(paths.dataFolder);
    ConsoleDialogs dialogs;
    Settings settings(paths);
    SystemClock clock;
    Catalog catalog(paths.dataFolder);
    SilentSoundPlayer sounds;
    FileSystem fs;
    lspclass archive(dialogs, paths.configFolder);
    archive.Init();
    const Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};
    if (!catalog.open()) return 1;
    Project project;
    project.NAME = "Source";
    project.PREFIX = "SRCE";
    project.DESTINATIONPATH = work + "/dest/";
    project.MAXBACKUPS = 1;
    const auto stored = catalog.projects().insert(project);
    Component c;
    c.PROSYSID = stored->SYSID;
    c.PATH = source;
    c.MASK = "*.*";
    c.RECURSE = 1;
    (void)catalog.components().insert(c);

    Row backup{"backup", "console mode"}, preview{"preview", "`quillet preview`"};
    Row test{"test of every item", "`quillet test`"}, restore{"restore of every item", "`quillet restore`"};
    double windowSeconds = 1e30, consoleSeconds = 1e30;  // the runs' own "Seconds:"
    std::size_t files = 0, items = 0;

    for (int r = 0; r < runs; ++r) {
        for (bool window : {r % 2 == 0, r % 2 != 0}) {
            if (!only.empty() && (only == "window") != window) continue;
            // Every backup is a first one: with the archive of the run before, this one
            // would copy its files packed from it instead of compressing them.
            for (const auto& old : fsys::directory_iterator(work + "/dest")) fsys::remove_all(old.path());
            ::sync();  // nothing the run before wrote is still on its way to the disk
            CpuTimer cpuTimer(window);
            cpuTimer.row = &backup;
            BackupCommandState state;
            const auto start = Clocked::now();
            ExecuteOutcome outcome;
            if (window) {
                TimedProgressWindow progress;
                outcome = ExecuteBackup(services, state, *stored, progress);
                backup.window = std::min(backup.window, std::chrono::duration<double>(progress.ended - start).count());
                windowSeconds = std::min(windowSeconds, progress.runSeconds);
                std::printf("backup window: %d redraws, %.3f s drawing them\n", progress.redraws, progress.drawing);
            } else {
                std::ostringstream out;
                ConsoleBackupView view(out, clock);
                LoopBackupDriver driver(view);
                outcome = ExecuteBackup(services, state, *stored, driver);
                backup.plain = std::min(backup.plain, since(start));
                const auto at = out.str().rfind("Seconds:");
                if (at != std::string::npos)
                    consoleSeconds = std::min(consoleSeconds, std::atof(out.str().c_str() + at + 8));
            }
            if (outcome != ExecuteOutcome::Succeeded) {
                std::fprintf(stderr, "the %s backup did not succeed\n", window ? "window" : "console");
                return 1;
            }
            files = state.changeWatch.size();
        }
        for (bool window : {r % 2 == 0, r % 2 != 0}) {
            if (!only.empty() && (only == "window") != window) continue;
            ::sync();  // nothing the run before wrote is still on its way to the disk
            CpuTimer cpuTimer(window);
            cpuTimer.row = &preview;
            const auto start = Clocked::now();
            std::size_t listed = 0;
            if (window) {
                TimedPreviewWindow w;
                PreviewRun run({fs, dialogs, catalog}, *stored, w);
                w.drive(run);
                preview.window = std::min(preview.window, std::chrono::duration<double>(w.ended - start).count());
                listed = run.files().size();
            } else {
                QuietPreviewView view;
                PreviewRun run({fs, dialogs, catalog}, *stored, view);
                run.open();
                while (run.timerRunning()) run.step();
                preview.plain = std::min(preview.plain, since(start));
                listed = run.files().size();
            }
            if (listed != files) {
                std::fprintf(stderr, "the preview listed %zu of %zu files\n", listed, files);
                return 1;
            }
        }
    }

    const std::string archivePath = work + "/dest/SRCE0001.LSP";
    archive.ARCHIVE_NAME = archivePath;
    archive.ReadDirectory();
    items = archive.LSPQ.size();
    const ArchiveRunServices runServices{fs, dialogs, settings, sounds, archive};
    // Where a window records its run, and so its console counterpart too.
    auto history = [&] { return historyTarget(catalog, "Source", archivePath, paths.dataFolder, clock); };
    for (int r = 0; r < runs; ++r) {
        for (bool window : {r % 2 == 0, r % 2 != 0}) {
            if (!only.empty() && (only == "window") != window) continue;
            ::sync();  // nothing the run before wrote is still on its way to the disk
            CpuTimer cpuTimer(window);
            cpuTimer.row = &test;
            for (LSPQEntry& e : archive.LSPQ) e.MARK = 1;
            archive.UNPACK_DIRECTORY = work + "/restore";
            Clocked::time_point ended{};
            const auto start = Clocked::now();
            std::string summary;
            if (window) {
                TestWindow w(services, "Source");
                closeWhenFinished(w, w.testRun(), ended);
                w.execRun();
                test.window = std::min(test.window, std::chrono::duration<double>(ended - start).count());
                summary = w.testRun().summary();
            } else {
                QuietArchiveView view;
                TestRun run(runServices, view);
                run.recordIn(history());  // as `quillet test` records it
                run.open();
                while (run.timerRunning()) run.step();
                test.plain = std::min(test.plain, since(start));
                summary = run.summary();
            }
            if (summary != "Completed - Archive Tests OK") {
                std::fprintf(stderr, "test: %s\n", summary.c_str());
                return 1;
            }
        }
        for (bool window : {r % 2 == 0, r % 2 != 0}) {
            if (!only.empty() && (only == "window") != window) continue;
            ::sync();  // nothing the run before wrote is still on its way to the disk
            CpuTimer cpuTimer(window);
            cpuTimer.row = &restore;
            for (LSPQEntry& e : archive.LSPQ) e.MARK = 1;
            archive.USE_PATH_INFO = 1;
            archive.CREATE_DIRECTORY = 1;
            archive.UNPACK_OVERWRITE_OPTION = 1;
            archive.UNPACK_QUIET_MODE_FLAG = 1;
            fsys::remove_all(work + "/restore");
            fsys::create_directories(work + "/restore");
            ::sync();
            Clocked::time_point ended{};
            Clocked::time_point start;
            std::string summary;
            if (window) {
                RestoreWindow w(services, "Source");
                // Typed into the entry, as a user does: the run takes the entry's folder.
                w.findChild<QComboBox*>("rootDestination")->setEditText(QString::fromStdString(work + "/restore"));
                closeWhenFinished(w, w.restoreRun(), ended);
                QTimer::singleShot(0, &w, [&] {
                    start = Clocked::now();
                    w.startRestore();
                });
                w.exec();
                restore.window = std::min(restore.window, std::chrono::duration<double>(ended - start).count());
                summary = w.restoreRun().summary();
            } else {
                QuietArchiveView view;
                RestoreRun run(runServices, view);
                run.recordIn(history());
                run.open();
                start = Clocked::now();
                if (!run.acceptRoot(work + "/restore").accepted) return 1;
                run.start();
                while (run.timerRunning()) run.step();
                restore.plain = std::min(restore.plain, since(start));
                summary = run.summary();
            }
            if (summary != "Completed - No Errors") {
                std::fprintf(stderr, "restore: %s\n", summary.c_str());
                return 1;
            }
            // Each side restored every item, below the folder it was given.
            std::size_t restored = 0;
            for (const auto& f : fsys::recursive_directory_iterator(work + "/restore"))
                restored += f.is_regular_file() ? 1 : 0;
            if (restored != items) {
                std::fprintf(stderr, "the %s restore wrote %zu of %zu files\n", window ? "window" : "console", restored,
                             items);
                return 1;
            }
        }
    }

    std::printf("%s: %zu files, archive of %zu items; best of %d runs each\n", source.c_str(), files, items, runs);
    std::printf("backup, each run's own \"Seconds:\": window %.2f s, console %.2f s (%.2f)\n", windowSeconds,
                consoleSeconds, windowSeconds / consoleSeconds);
    std::printf("\n| run | window | console run | ratio | processor time, window / console |\n|---|---|---|---|---|\n");
    for (const Row* row : {&backup, &preview, &test, &restore})
        std::printf("| %s | %.3f s | %s: %.3f s | %.2f (target at most 1.1) | %.2f s / %.2f s = %.2f |\n", row->what,
                    row->window, row->console, row->plain, row->window / row->plain, row->windowCpu, row->plainCpu,
                    row->windowCpu / row->plainCpu);
    catalog.close();
    fsys::remove_all(work);
    return 0;
}
