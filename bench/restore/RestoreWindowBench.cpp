// Runs the "Test Backup Integrity" window, then the "Restore File(s) from Backup" window
// (stored paths, create folders, overwrite) over every item of an archive, each driven by
// its own timer as the console opens it, and prints the wall time of each run.
//   bench_restore_window ARCHIVE ROOT
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "archive/lspclass.h"
#include "archive/ui/RestoreWindow.h"
#include "archive/ui/TestWindow.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ConsoleDialogs.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

using namespace quillet;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ARCHIVE ROOT\n", argv[0]);
        return 2;
    }
    const Paths paths = Paths::fromEnvironment();
    FileSystem fs;
    ConsoleDialogs dialogs;
    Settings settings(paths);
    SystemClock clock;
    Catalog catalog(paths.dataFolder);
    SilentSoundPlayer sounds;
    lspclass archive(dialogs, paths.configFolder);
    archive.Init();
    // Absolute, as the console names it.
    archive.ARCHIVE_NAME = fs.absolutePath(argv[1]);
    const std::string root = fs.absolutePath(argv[2]);
    archive.ReadDirectory();
    for (LSPQEntry& e : archive.LSPQ) e.MARK = 1;
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};

    QElapsedTimer timer;
    double testSeconds = 0, restoreSeconds = 0;
    // The windows stay open on their summary: the time is taken, and the window closed,
    // as soon as the run has ended.
    auto closeWhenDone = [&](ArchiveRunWindow& window, ArchiveRun& run, double& seconds) {
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&window, &run, &seconds, &timer] {
            if (run.phase() != ArchiveRun::Phase::Finished) return;
            seconds = timer.elapsed() / 1000.0;
            window.done(0);
        });
        poll->start(5);
    };
    {
        TestWindow window(services, "bench");
        closeWhenDone(window, window.testRun(), testSeconds);
        timer.start();
        window.execRun();
        std::printf("test window: %.3f s, %zu items, %s\n", testSeconds, window.testRun().work().size(),
                    window.testRun().summary().c_str());
    }
    archive.USE_PATH_INFO = 1;
    archive.CREATE_DIRECTORY = 1;
    archive.UNPACK_OVERWRITE_OPTION = 1;
    RestoreWindow window(services, "bench");
    // Typed into the entry, as a user does: the run takes the entry's folder (not the
    // remembered destination the window opened with, which may hold the files already).
    window.findChild<QComboBox*>("rootDestination")->setEditText(QString::fromStdString(root));
    closeWhenDone(window, window.restoreRun(), restoreSeconds);
    QTimer::singleShot(0, &window, [&] {
        timer.restart();
        window.startRestore();
    });
    window.exec();
    std::printf("restore window: %.3f s, %s\n", restoreSeconds, window.restoreRun().summary().c_str());
    return 0;
}
