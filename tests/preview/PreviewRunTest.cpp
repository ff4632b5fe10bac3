// The preview engine over real folders and a real catalog, stepped as its window steps it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "backup/PreviewRun.h"
#include "backup_run/BackupBench.h"
#include "framework/RunHost.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::RecordingView;
using Names = std::vector<std::string>;

struct PreviewBench : BackupBench {
    RecordingView view;
    PreviewRun run{{fs, dialogs, catalog}, project, view};

    // Steps the run as its window's timer would; the number of steps taken.
    int stepToEnd(const std::function<void(int)>& beforeStep = {}) {
        run.open();
        int steps = 0;
        while (run.timerRunning()) {
            if (beforeStep) beforeStep(steps);
            run.step();
            ++steps;
        }
        return steps;
    }
    // What the backup run's one-call scan selects for the same project.
    BackupFileList backupSelection() {
        PlainRunHost host;
        SkippedFolders skipped;
        ScanServices services{fs, dialogs, host, &skipped};
        BackupFileList list;
        EXPECT_EQ(ScanProjectFiles(services, catalog, project.SYSID, list, scantext::PurgingExcluded),
                  ScanOutcome::Completed);
        return list;
    }
};

Names namesAndSizes(const BackupFileList& list) {
    Names out;
    for (const auto& e : list) out.push_back(e.FILENAME + " " + std::to_string(e.SIZE));
    return out;
}

TEST(PreviewRun, ListsWhatTheBackupSelectsOneFolderAtATime) {
    PreviewBench b;
    for (int i = 0; i < 12; ++i) b.dir.write("src/f" + std::to_string(i) + "/a" + std::to_string(i) + ".txt", "x");
    b.dir.write("src/B/deep/Report.DOC", "report");
    b.dir.write("src/b/.hidden.txt", "dot");
    b.dir.write("src/b/scratch.tmp", "tmp");
    b.dir.write("src/Packed.zip/inside.txt", "never");
    b.dir.write("src/top.txt", "top!");
    b.dir.write("other/x.dat", "12345");
    b.component(b.src, "*.txt, *.doc, *.tmp");
    b.component(b.dir.file("other"), "*.dat", false);
    b.component(b.src, "*.tmp", true, true);

    const int steps = b.stepToEnd();
    ASSERT_EQ(b.run.phase(), PreviewRun::Phase::Listed) << b.dialogs.report();
    // Same files, sizes and order as the backup run's scan.
    EXPECT_EQ(namesAndSizes(b.run.files()), namesAndSizes(b.backupSelection()));
    EXPECT_EQ(b.run.files().size(), 16u);
    EXPECT_EQ(b.run.totalBytes(), 12 + 6 + 3 + 4 + 5);
    // Every folder of the walk and every mask was a step of its own: 16 folders listed by
    // the walk, 16 x 3 masks, and the two single-folder masks.
    EXPECT_GE(steps, 16 + 48 + 2);
    EXPECT_EQ(b.view.caption, "Preview Accounts");
    EXPECT_EQ(b.view.statuses.front(), "Scanning Directories:");
    EXPECT_EQ(b.view.statuses.back(), previewtext::Ready);
    EXPECT_NE(std::find(b.view.statuses.begin(), b.view.statuses.end(), "Purging Exclude Files:"),
              b.view.statuses.end());
    EXPECT_EQ(b.view.labels, (Names{"&Cancel", "&OK"}));
    EXPECT_EQ(b.view.shownFiles, 16u);
    EXPECT_EQ(b.view.totalFiles, 16);
    EXPECT_TRUE(b.view.folderLineHidden);
    b.run.buttonPressed();
    EXPECT_EQ(b.run.phase(), PreviewRun::Phase::Closed);
    EXPECT_EQ(b.view.closes, 1);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(PreviewRun, AnUnreadableSubfolderIsNamedAndLeftOutAsTheBackupLeavesItOut) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root; run the suite as an ordinary user";
    PreviewBench b;
    b.dir.write("src/ok/1.txt", "1");
    b.dir.write("src/shut/2.txt", "2");
    ASSERT_EQ(::chmod(b.dir.file("src/shut").c_str(), 0), 0);
    b.component(b.src, "*.*");
    b.stepToEnd();
    ::chmod(b.dir.file("src/shut").c_str(), 0755);
    ASSERT_EQ(b.run.phase(), PreviewRun::Phase::Listed) << b.dialogs.report();
    EXPECT_EQ(namesAndSizes(b.run.files()), Names{b.src + "/ok/1.txt 1"});
    ASSERT_EQ(b.run.skippedFolders().size(), 1u);
    EXPECT_EQ(b.run.skippedFolders()[0].folder, b.src + "/shut");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(PreviewRun, ThePressDuringTheScanIsConfirmedBeforeTheNextUnit) {
    // Yes: the window closes at once, nothing is listed. No: the scan goes on to the end.
    for (const int reply : {answer::Yes, answer::No}) {
        SCOPED_TRACE(reply);
        PreviewBench b;
        for (int i = 0; i < 30; ++i) b.dir.write("src/d" + std::to_string(i) + "/f.txt", "data");
        b.component(b.src, "*.txt");
        b.dialogs.expect("Are you sure that you want to cancel?", reply);
        int pressedAt = -1;
        const int steps = b.stepToEnd([&](int step) {
            if (step == 5) {
                b.run.buttonPressed();  // during the walk
                pressedAt = step;
            }
        });
        EXPECT_EQ(pressedAt, 5);
        if (reply == answer::Yes) {
            EXPECT_EQ(steps, 6);  // the very next unit asked, and the run ended there
            EXPECT_EQ(b.run.phase(), PreviewRun::Phase::Closed);
            EXPECT_EQ(b.view.closes, 1);
            EXPECT_EQ(b.view.shownFiles, 0u);
            EXPECT_EQ(b.view.labels, Names{"&Cancel"});
        } else {
            EXPECT_EQ(b.run.phase(), PreviewRun::Phase::Listed);
            EXPECT_EQ(b.run.files().size(), 30u);
        }
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();  // the wait cursor is off again too
    }
}

TEST(PreviewRun, OnlyExcludeComponentsGiveTheSingleRowAndOk) {
    PreviewBench b;
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt", true, true);
    b.stepToEnd();
    EXPECT_EQ(b.run.phase(), PreviewRun::Phase::Listed);
    EXPECT_TRUE(b.view.noFilesRow);
    EXPECT_EQ(b.view.totalFiles, 0);
    EXPECT_EQ(b.view.totalBytes, 0);
    EXPECT_EQ(b.view.labels.back(), "&OK");
    EXPECT_EQ(b.view.statuses.back(), previewtext::Ready);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(PreviewRun, AMissingFolderLeavesTheWindowOpenBehindTheCancelQuestion) {
    PreviewBench b;
    b.component(b.dir.file("gone"), "*.*", false);
    b.dialogs.expect(b.dir.file("gone"));  // "Path Not Found"
    b.stepToEnd();
    EXPECT_EQ(b.run.phase(), PreviewRun::Phase::Stopped);
    EXPECT_EQ(b.run.outcome(), ScanOutcome::PathNotFound);
    EXPECT_EQ(b.view.labels, Names{"&Cancel"});
    EXPECT_EQ(b.view.statuses.back(), "Building File List:");
    EXPECT_EQ(b.view.shownFiles, 0u);

    // The button beeps and asks, No being the default; only Yes closes.
    const int beeps = b.dialogs.beeps();
    b.dialogs.expect("Are you sure that you want to Cancel?", answer::No);
    b.run.buttonPressed();
    EXPECT_EQ(b.dialogs.last().defaultButton, answer::No);
    EXPECT_EQ(b.dialogs.last().title, "Cancel Pressed");
    EXPECT_EQ(b.dialogs.beeps(), beeps + 1);
    EXPECT_EQ(b.run.phase(), PreviewRun::Phase::Stopped);
    b.dialogs.expect("Are you sure that you want to Cancel?", answer::Yes);
    b.run.buttonPressed();
    EXPECT_EQ(b.run.phase(), PreviewRun::Phase::Closed);
    EXPECT_EQ(b.view.closes, 1);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

}  // namespace
}  // namespace quillet
