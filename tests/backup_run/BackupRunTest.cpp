// The backup run over real files and real archives: what it packs, shows and plays, how
// it ends when files fail or the user stops it, and its speed settings and countdown.
#include <gtest/gtest.h>

#include "BackupBench.h"
#include "catalog/ArchiveCommentRecord.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::ManualDriver;
using test::randomBytes;
using test::readFile;
using test::RecordingView;
using test::TempDir;
using Names = std::vector<std::string>;

std::string last(const std::vector<std::string>& v) {
    return v.empty() ? std::string() : v.back();
}

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

TEST(BackupRun, PacksEveryFileIntoArchiveOneWithItsCommentAndShowsTheEnd) {
    BackupBench b;
    const std::string big = randomBytes(200000, 7);
    b.dir.write("src/a.txt", "alpha");
    b.dir.write("src/sub/b.txt", big);
    b.dir.write("src/sub/c.doc", std::string(5000, 'c'));
    b.dir.write("src/skip.bin", "not selected");
    b.component(b.src, "*.txt, *.doc");

    RecordingView view;
    view.onShowFiles = [&](const BackupFileList&) { b.clock.advanceMilliseconds(1234); };
    BackupCommandState state;
    ASSERT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();

    EXPECT_EQ(b.destFiles(), Names{"PREF0001.LSP"});
    const std::string archive = b.dest + "PREF0001.LSP";
    EXPECT_TRUE(test::unzipTestPasses(archive));
    const std::string rel = b.src.substr(1);
    EXPECT_EQ(test::unzipNames(archive),
              (Names{"LSPComments.inb", rel + "/a.txt", rel + "/sub/b.txt", rel + "/sub/c.doc"}));
    EXPECT_EQ(test::unzipItem(archive, rel + "/sub/b.txt"), big);
    const std::string comment = test::unzipItem(archive, "LSPComments.inb");
    ASSERT_EQ(comment.size(), 1016u);
    auto record = decodeArchiveComment(comment);
    ASSERT_TRUE(record.ok());
    EXPECT_EQ(record->NOTES, "Monthly books; keep three.");

    // What the window showed.
    EXPECT_EQ(view.caption, "Back up Accounts  (Normal)");
    EXPECT_EQ(view.statuses.front(), "Scanning Directories:");
    EXPECT_TRUE(contains(view.statuses, "Compressing Files..."));
    EXPECT_TRUE(contains(view.statuses, "Renaming Files...."));
    EXPECT_EQ(last(view.statuses), "Completed - No Errors");
    EXPECT_FALSE(view.alert);
    EXPECT_TRUE(view.folderLineHidden);
    EXPECT_EQ(view.labels.front(), "&Cancel");
    EXPECT_EQ(last(view.labels), "&OK");
    EXPECT_EQ(view.totalFiles, 3);
    EXPECT_EQ(view.totalBytes, 5 + 200000 + 5000);
    EXPECT_EQ(view.progress.back(), 100);
    EXPECT_DOUBLE_EQ(view.seconds, 1.23);
    EXPECT_EQ(view.compressed, *b.fs.fileSize(archive));
    // Only the file above 132000 bytes shows the per-file bar; it is hidden at the end.
    EXPECT_NE(std::find(view.itemBar.begin(), view.itemBar.end(), 100), view.itemBar.end());
    EXPECT_EQ(view.itemBar.back(), -1);
    EXPECT_EQ(b.sounds.played, Names{"done.wav"});

    // What the console keeps.
    EXPECT_EQ(b.archive.ARCHIVE_NAME, archive);
    ASSERT_EQ(state.changeWatch.size(), 3u);
    EXPECT_EQ(state.changeWatch[0].FILENAME, b.src + "/a.txt");
    EXPECT_GT(state.changeWatch[0].TIME, 0);
    EXPECT_EQ(state.lastBacked.entries[0], b.project.SYSID);
    ASSERT_EQ(state.backups.list.size(), 1u);
    EXPECT_EQ(state.backups.list[0].name, "PREF0001.LSP");
}

TEST(BackupRun, ARunWithFailedFilesKeepsEveryOlderArchiveUntilAGoodRunTrims) {
    BackupBench b("Thesis", 1);  // keep one archive only
    for (int i = 0; i < 4; ++i) b.dir.write("src/f" + std::to_string(i) + ".txt", "file " + std::to_string(i));
    b.component(b.src, "*.txt");
    b.dir.write("dest/PREF0001.LSP", "the only copy of f2");
    BackupCommandState state;

    RecordingView failing;
    failing.onShowFiles = [&](const BackupFileList& files) { std::remove(files[2].FILENAME.c_str()); };
    b.dialogs.expect("1 older archive kept because files failed");
    EXPECT_EQ(b.execute(state, failing), ExecuteOutcome::Failed);
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
    EXPECT_EQ(readFile(b.dest + "PREF0002.LSP"), "the only copy of f2");
    EXPECT_TRUE(test::unzipTestPasses(b.dest + "PREF0001.LSP"));

    b.dir.write("src/f2.txt", "file 2");
    RecordingView good;
    EXPECT_EQ(b.execute(state, good), ExecuteOutcome::Succeeded) << b.dialogs.report();
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP"}));
    EXPECT_EQ(test::unzipNames(b.dest + "PREF0001.LSP").size(), 5u);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(BackupRun, FailedFilesAreCountedAndTheArchiveStillTakesNumberOne) {
    for (int failing : {2, 1}) {
        SCOPED_TRACE(failing);
        BackupBench b;
        for (int i = 0; i < 10; ++i) b.dir.write("src/f" + std::to_string(i) + ".txt", "file " + std::to_string(i));
        b.component(b.src, "*.txt");
        b.dir.write("dest/PREF0001.LSP", "older");
        if (failing == 1) b.settings.write("Sounds", "Error", "");

        RecordingView view;
        // Files that vanish between the selection and their turn.
        view.onShowFiles = [&](const BackupFileList& files) {
            for (int i = 0; i < failing; ++i) std::remove(files[3 + 4 * i].FILENAME.c_str());
        };
        BackupCommandState state;
        EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Failed);

        EXPECT_EQ(last(view.statuses), failing == 2 ? "Completed - 2 Errors" : "Completed - 1 Error");
        EXPECT_TRUE(view.alert);
        if (failing == 2) {
            EXPECT_EQ(b.sounds.played, Names{"error.wav"});
        } else {
            // No error sound set: a beep instead.
            EXPECT_TRUE(b.sounds.played.empty());
            EXPECT_EQ(b.dialogs.beeps(), 1);
        }
        EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
        EXPECT_EQ(readFile(b.dest + "PREF0002.LSP"), "older");
        const std::string archive = b.dest + "PREF0001.LSP";
        EXPECT_TRUE(test::unzipTestPasses(archive));
        EXPECT_EQ(test::unzipNames(archive).size(), 10u - failing + 1);
        EXPECT_EQ(test::unzipItem(archive, "LSPComments.inb").size(), 1016u);
        // A failed run is not recorded as the last backup.
        EXPECT_EQ(state.lastBacked.entries[0], 0);
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(BackupRun, UnreadableFilesFailAndTheRunGoesOn) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    BackupBench b;
    b.dir.write("src/a.txt", "a");
    const std::string locked = b.dir.write("src/b.txt", "b");
    b.dir.write("src/c.txt", "c");
    ::chmod(locked.c_str(), 0);
    b.component(b.src, "*.txt");
    RecordingView view;
    BackupCommandState state;
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Failed);
    EXPECT_EQ(last(view.statuses), "Completed - 1 Error");
    EXPECT_EQ(test::unzipNames(b.dest + "PREF0001.LSP").size(), 3u);
}

TEST(BackupRun, NothingSelectedTouchesNoArchive) {
    BackupBench b;
    b.dir.write("src/a.txt", "a");
    b.dir.write("dest/PREF0001.LSP", "older");
    b.component(b.src, "*.none");
    RecordingView view;
    b.dialogs.expect("No Files Match Backup Criteria");
    BackupCommandState state;
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Failed);
    EXPECT_EQ(b.dialogs.last().title, "");
    EXPECT_TRUE(view.noFilesRow);
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(b.destFiles(), Names{"PREF0001.LSP"});
    EXPECT_EQ(readFile(b.dest + "PREF0001.LSP"), "older");
    EXPECT_TRUE(b.sounds.played.empty());
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(BackupRun, AMissingComponentFolderEndsTheRunBeforePacking) {
    BackupBench b;
    b.component(b.dir.file("gone"), "*.*", false);
    RecordingView view;
    b.dialogs.answer(1);  // the scan's "Path Not Found"
    BackupCommandState state;
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Failed);
    EXPECT_TRUE(b.destFiles().empty());
    EXPECT_TRUE(state.changeWatch.empty());
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

// Steps of the packing phase, counted.
int countSteps(BackupBench& b, RecordingView& view, BackupRun** seen = nullptr) {
    int steps = 0;
    ManualDriver driver(view, [&](BackupRun& run) {
        if (seen) *seen = &run;
        run.open();
        while (run.phase() == BackupRun::Phase::Packing) {
            run.step();
            ++steps;
        }
    });
    BackupList list;
    BatchBackup(b.services(), b.arguments(&list), driver);
    return steps;
}

TEST(BackupRun, SpeedSettingDecidesHowManyBytesOneTimerEventPacks) {
    struct Case {
        const char* setting;  // nullptr: not in the settings file
        const char* name;
        int steps;
    };
    for (const Case c : {Case{nullptr, "Normal", 6}, Case{"0", "Normal", 6}, Case{"7", "Normal", 6},
                         Case{"1", "Faster", 2}, Case{"2", "Even Faster", 1}, Case{"3", "Fastest", 1}}) {
        SCOPED_TRACE(c.name);
        BackupBench b;
        // Six files of 4000 bytes, each followed by an empty one (F1.TXT, F1E.TXT, ...).
        for (int i = 1; i <= 6; ++i) {
            b.dir.write("src/f" + std::to_string(i) + ".txt", std::string(4000, 'x'));
            if (i < 6) b.dir.write("src/f" + std::to_string(i) + "e.txt", "");
        }
        b.component(b.src, "*.txt");
        if (c.setting) b.settings.write("Preferences", "SpeedOptimization", c.setting);
        RecordingView view;
        // Normal: one non-empty file per event, the empty one after it in the next.
        // Faster (10000): 4000 + 0 + 4000 + 0 + 4000 crosses the limit: three files per event.
        EXPECT_EQ(countSteps(b, view), c.steps);
        EXPECT_EQ(view.caption, std::string("Back up Accounts  (") + c.name + ")");
        EXPECT_EQ(last(view.statuses), "Completed - No Errors");
    }
}

TEST(BackupRun, CountdownClosesTheWindowAfterTenSecondsUnlessInterrupted) {
    enum Ending { ByItself, ByButton, ByFocus };
    for (Ending ending : {ByItself, ByButton, ByFocus}) {
        SCOPED_TRACE(ending);
        BackupBench b;
        b.dir.write("src/a.txt", "a");
        b.component(b.src, "*.txt");
        RecordingView view;
        BackupList list;
        BackupArguments args = b.arguments(&list);
        args.countdown = true;
        ManualDriver driver(view, [&](BackupRun& run) {
            run.open();
            while (run.phase() == BackupRun::Phase::Packing) run.step();
            ASSERT_EQ(run.phase(), BackupRun::Phase::CountingDown);
            EXPECT_EQ(run.buttonLabel(), "&Close in 10");
            b.clock.advanceMilliseconds(999);
            run.step();
            EXPECT_EQ(run.buttonLabel(), "&Close in 10");
            b.clock.advanceMilliseconds(1);
            run.step();
            EXPECT_EQ(run.buttonLabel(), "&Close in 9");
            if (ending == ByButton) {
                run.buttonPressed();
                EXPECT_EQ(run.phase(), BackupRun::Phase::Closed);
                EXPECT_EQ(run.buttonLabel(), "&OK");
                return;
            }
            if (ending == ByFocus) {
                run.focusMovedElsewhere();
                EXPECT_EQ(run.buttonLabel(), "&OK");
                EXPECT_FALSE(run.timerRunning());
                b.clock.advanceSeconds(30);
                run.step();
                EXPECT_EQ(run.phase(), BackupRun::Phase::Finished);
                run.buttonPressed();
                EXPECT_EQ(run.phase(), BackupRun::Phase::Closed);
                return;
            }
            for (int left = 8; left >= 0; --left) {
                b.clock.advanceSeconds(1);
                run.step();
                EXPECT_EQ(run.buttonLabel(), "&Close in " + std::to_string(left));
            }
            EXPECT_EQ(run.phase(), BackupRun::Phase::CountingDown);
            b.clock.advanceSeconds(1);
            run.step();
            EXPECT_EQ(run.phase(), BackupRun::Phase::Closed);
            EXPECT_EQ(run.buttonLabel(), "&OK");
        });
        EXPECT_EQ(BatchBackup(b.services(), args, driver), 0);
        EXPECT_EQ(view.closes, 1);
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(BackupRun, CancelBetweenFilesAsksAndNoGoesOn) {
    for (int answer : {2, 1}) {
        SCOPED_TRACE(answer);
        BackupBench b;
        for (int i = 0; i < 4; ++i) b.dir.write("src/f" + std::to_string(i) + ".txt", "data");
        b.dir.write("dest/PREF0001.LSP", "older");
        b.component(b.src, "*.txt");
        RecordingView view;
        int steps = 0;
        view.onPump = [] {};
        b.dialogs.expect("Are you sure that you want to Cancel?", answer);
        BackupCommandState state;
        const Services s = b.commandServices();
        ManualDriver driver(view, [&](BackupRun& run) {
            run.open();
            while (run.phase() == BackupRun::Phase::Packing) {
                if (++steps == 3) view.cancel = true;
                run.step();
            }
        });
        const ExecuteOutcome outcome = ExecuteBackup(s, state, b.project, driver);
        const MessageRequest& q = b.dialogs.shown()[0].request;
        EXPECT_EQ(q.title, "Cancel Pressed");
        EXPECT_EQ(q.icon, Icon::Question);
        EXPECT_EQ(q.defaultButton, 2);
        EXPECT_EQ(b.dialogs.beeps(), 1);
        if (answer == 2) {
            EXPECT_EQ(outcome, ExecuteOutcome::Succeeded);
            EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
        } else {
            // Stopped: nothing renamed, the temporary archive deleted by the command.
            EXPECT_EQ(outcome, ExecuteOutcome::Failed);
            EXPECT_EQ(b.destFiles(), Names{"PREF0001.LSP"});
            EXPECT_EQ(readFile(b.dest + "PREF0001.LSP"), "older");
            EXPECT_EQ(view.closes, 1);
        }
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(BackupRun, APressWhileTheFinishedArchiveIsRenumberedIsIgnored) {
    BackupBench b;
    b.dir.write("src/a.txt", "alpha");
    b.component(b.src, "*.txt");
    b.dir.write("dest/PREF0001.LSP", "older");
    RecordingView view;
    BackupList list{*b.fs.entry(b.dest + "PREF0001.LSP")};
    BackupArguments args = b.arguments(&list);
    int presses = 0;
    ManualDriver driver(view, [&](BackupRun& run) {
        // The rotation lets events through between its steps: the press lands there.
        view.onPump = [&] {
            if (!view.statuses.empty() && view.statuses.back() == backuptext::RenamingFiles) {
                ++presses;
                run.buttonPressed();
            }
        };
        run.open();
        while (run.phase() == BackupRun::Phase::Packing) run.step();
        EXPECT_EQ(run.phase(), BackupRun::Phase::Finished);
    });
    EXPECT_EQ(BatchBackup(b.services(), args, driver), 0);
    EXPECT_GT(presses, 0);
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
    EXPECT_TRUE(test::unzipTestPasses(b.dest + "PREF0001.LSP"));
    EXPECT_EQ(readFile(b.dest + "PREF0002.LSP"), "older");
    EXPECT_EQ(last(view.statuses), "Completed - No Errors");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(BackupRun, PressDuringAFileStopsThatFileAndAsksAboutTheWholeRun) {
    for (int answer : {2, 1}) {
        SCOPED_TRACE(answer);
        BackupBench b;
        b.dir.write("src/a.txt", "small");
        b.dir.write("src/big.txt", randomBytes(3'000'000, 3));
        b.dir.write("src/c.txt", "small");
        b.component(b.src, "*.txt");
        RecordingView view;
        b.dialogs.expect("Would you like to cancel this entire backup operation?", answer);
        BackupList list;
        BackupArguments args = b.arguments(&list);
        bool pressed = false;
        ManualDriver driver(view, [&](BackupRun& run) {
            // The library pumps events while it packs the big file: the press lands there.
            view.onPump = [&] {
                if (!pressed && run.packing() && run.fileIndex() == 2) {
                    pressed = true;
                    run.buttonPressed();
                }
            };
            run.open();
            while (run.phase() == BackupRun::Phase::Packing) run.step();
        });
        EXPECT_EQ(BatchBackup(b.services(), args, driver), 1);
        ASSERT_TRUE(pressed);
        const MessageRequest& q = b.dialogs.shown()[0].request;
        EXPECT_EQ(q.title, "Cancel?");
        EXPECT_EQ(q.defaultButton, 1);
        if (answer == 2) {
            EXPECT_EQ(last(view.statuses), "Completed - 1 Error");
            EXPECT_EQ(test::unzipNames(b.dest + "PREF0001.LSP").size(), 3u);
        } else {
            EXPECT_FALSE(b.fs.fileExists(b.dest + "PREF0001.LSP"));
            EXPECT_EQ(view.labels.back(), "&OK");
        }
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(BackupRun, ANewArchiveThatCannotBeReadBackLeavesTheOlderOnesAlone) {
    BackupBench b("Accounts", 2);
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    b.dir.write("dest/PREF0001.LSP", "newest");
    b.dir.write("dest/PREF0002.LSP", "oldest");
    RecordingView view;
    BackupCommandState state;
    // The comment file cannot be written: its folder is a file.
    Paths paths = b.paths;
    paths.programFolder = b.dir.write("not-a-folder", "x") + "/copies";
    const Services s{b.fs, b.dialogs, b.settings, b.clock, b.catalog, b.sounds, b.archive, paths};
    b.dialogs.answer(1);  // the comment file's own error
    b.dialogs.expect("could not be read back:|It holds no comment item.");
    LoopBackupDriver driver(view);
    EXPECT_EQ(ExecuteBackup(s, state, b.project, driver), ExecuteOutcome::Failed);
    EXPECT_EQ(b.dialogs.last().title, "Backup Failed");
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
    EXPECT_EQ(readFile(b.dest + "PREF0001.LSP"), "newest");
    EXPECT_EQ(readFile(b.dest + "PREF0002.LSP"), "oldest");
    EXPECT_TRUE(view.alert);
    EXPECT_EQ(b.sounds.played, Names{"error.wav"});
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(BackupRun, FilesOfTheSameNameWithoutPathsPassTheReadBack) {
    // Without path information the second "notes.txt" replaces the first in the archive
    // (update mode): one item fewer than files packed is what the library was asked for.
    BackupBench b;
    b.dir.write("src/a/notes.txt", "a");
    b.dir.write("src/b/notes.txt", "b");
    b.dir.write("src/b/other.txt", "o");
    b.component(b.src, "*.txt");
    b.archive.PATH_INFORMATION = 1;
    b.archive.PACK_OVERWRITE_OPTION = 1;
    BackupCommandState state;
    RecordingView view;
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    EXPECT_EQ(b.destFiles(), Names{"PREF0001.LSP"});
    EXPECT_EQ(test::unzipNames(b.dest + "PREF0001.LSP"), (Names{"LSPComments.inb", "notes.txt", "other.txt"}));
    EXPECT_EQ(view.statuses.back(), "Completed - No Errors");
}

TEST(BackupRun, FiveRunsWithMaximumThreeKeepTheThreeNewest) {
    BackupBench b("Accounts", 3);
    b.component(b.src, "*.txt");
    BackupCommandState state;
    for (int run = 1; run <= 5; ++run) {
        b.dir.write("src/log.txt", "run " + std::to_string(run));
        RecordingView view;
        ASSERT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    }
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP"}));
    const std::string item = b.src.substr(1) + "/log.txt";
    EXPECT_EQ(test::unzipItem(b.dest + "PREF0001.LSP", item), "run 5");
    EXPECT_EQ(test::unzipItem(b.dest + "PREF0002.LSP", item), "run 4");
    EXPECT_EQ(test::unzipItem(b.dest + "PREF0003.LSP", item), "run 3");
    for (const auto& name : b.destFiles()) EXPECT_TRUE(test::unzipTestPasses(b.dest + name)) << name;
}

}  // namespace
}  // namespace quillet
