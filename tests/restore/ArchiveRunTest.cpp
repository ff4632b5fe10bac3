// The test and restore runs over real archives made by the backup run.
#include <gtest/gtest.h>

#include <dirent.h>

#include "archive/ArchiveRuns.h"
#include "restore/RestoreBench.h"

namespace quillet {
namespace {

using test::RestoreBench;
using test::RunRecorder;

template <class Run>
void runToEnd(Run& run) {
    while (run.timerRunning()) run.step();
}

std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TestRun, GoodArchivePassesEveryItemAndADamagedItemIsTheOneError) {
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "good");
        RestoreBench b;
        if (damaged) b.damage(b.sources[2].second);  // sub/big.bin
        RunRecorder view;
        TestRun run(b.services(), view);
        run.open();
        // On for the whole run, once (each item's own nests inside it); off at the end.
        EXPECT_EQ(b.dialogs.waitDepth(), 1);
        runToEnd(run);
        ASSERT_EQ(run.phase(), ArchiveRun::Phase::Finished);
        ASSERT_EQ(run.work().size(), 4u);
        EXPECT_EQ(run.work()[0].text, b.archive.LSPQ[0].ITEM_PATH_NAME + b.archive.LSPQ[0].FILENAME);
        for (const WorkEntry& e : run.work()) {
            const bool bad = damaged && b.archive.LSPQ[e.index].FILENAME == "big.bin";
            EXPECT_EQ(e.icon, bad ? workicon::Bad : workicon::Good) << e.text;
            if (bad) {
                EXPECT_EQ(e.status, 31) << "CRC-32 failure";
            }
        }
        EXPECT_EQ(run.summary(), damaged ? "Completed - 1 Error(s)" : "Completed - Archive Tests OK");
        EXPECT_EQ(view.statuses.back(), run.summary());
        EXPECT_TRUE(view.statusShown);
        EXPECT_EQ(view.labels.back(), "&Close");
        EXPECT_EQ(view.progress.back(), 100);
        EXPECT_EQ(view.itemBar.back(), -1);
        // The backup that made the archive played the first sound.
        EXPECT_EQ(b.sounds.played, (std::vector<std::string>{"done.wav", damaged ? "error.wav" : "done.wav"}));
        EXPECT_EQ(test::unzipTestPasses(b.archivePath), !damaged);
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();  // a test shows no error box
    }
}

TEST(TestRun, ItemBarShowsOnlyAbove132000Bytes) {
    RestoreBench b;
    for (const char* name : {"edge.bin", "big.bin", "a.txt"}) {
        for (LSPQEntry& e : b.archive.LSPQ) e.MARK = e.FILENAME == name;
        RunRecorder v;
        TestRun one(b.services(), v);
        one.open();
        std::vector<int> percents;
        v.onItemProgress = [&](int p) { percents.push_back(p); };
        one.step();
        const bool shown = std::string(name) == "big.bin";
        ASSERT_FALSE(percents.empty());
        EXPECT_EQ(percents.front(), shown ? 0 : -1) << name;
        // The library's progress reaches the bar of a large item only.
        EXPECT_EQ(std::count(percents.begin(), percents.end(), 100), shown ? 1 : 0) << name;
    }
}

TEST(TestRun, NothingMarkedSaysSoAndCloses) {
    RestoreBench b;
    for (LSPQEntry& e : b.archive.LSPQ) e.MARK = 0;
    b.dialogs.expect("There is nothing to test. Did you forget to mark some records?");
    RunRecorder view;
    TestRun run(b.services(), view);
    run.open();
    EXPECT_EQ(run.phase(), ArchiveRun::Phase::Closed);
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(b.dialogs.last().title, "Nothing to Test");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

// Restores with stored paths below a typed root: every item byte-identical, the root
// remembered first among the destinations, nothing else left in the folder.
TEST(RestoreRun, RestoresByteIdenticalBelowTheRootAndRemembersIt) {
    RestoreBench b;
    const std::string root = b.dir.mkdir("restored");
    b.settings.write("DestinationMRU", "1", "/elsewhere");
    RunRecorder view;
    RestoreRun run(b.services(), view);
    run.open();
    EXPECT_EQ(run.root(), "/elsewhere");
    run.setUsePathInfo(true);
    run.setCreateDirectory(true);
    run.setOverwrite(1);
    ASSERT_TRUE(run.acceptRoot(root + "/").accepted);
    EXPECT_EQ(run.root(), root);
    EXPECT_EQ(run.work()[0].text, root + b.archive.LSPQ[0].ITEM_PATH_NAME + b.archive.LSPQ[0].FILENAME);
    run.start();
    runToEnd(run);
    EXPECT_EQ(run.summary(), "Completed - No Errors");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    for (const auto& [path, content] : b.sources) EXPECT_EQ(test::readFile(root + path), content) << path;
    EXPECT_EQ(b.settings.read("DestinationMRU", "1"), root);
    EXPECT_EQ(b.settings.read("DestinationMRU", "2"), "/elsewhere");
    EXPECT_EQ(b.archive.USE_PATH_INFO, 1);  // the choices stay with the archive object
    EXPECT_EQ(b.archive.UNPACK_OVERWRITE_OPTION, 1);
    // Without paths the targets are the root and the names.
    run.setUsePathInfo(false);
    EXPECT_EQ(run.targetOf(0), root + "/" + b.archive.LSPQ[0].FILENAME);
    EXPECT_EQ(folderNames(root), std::vector<std::string>{b.src.substr(1, b.src.find('/', 1) - 1)});
}

TEST(RestoreRun, DestinationsMoveToTheTopWithoutDuplicatesAndKeepTwenty) {
    struct Case {
        std::vector<std::string> stored;
        std::string root;
        std::vector<std::string> expected;
    };
    std::vector<std::string> twenty;
    for (int i = 1; i <= 20; ++i) twenty.push_back("/d" + std::to_string(i));
    std::vector<std::string> twentyAfter{"/new"};
    twentyAfter.insert(twentyAfter.end(), twenty.begin(), twenty.end() - 1);
    const Case cases[] = {
        {{}, "/a", {"/a"}},
        {{"/a", "/b", "/c"}, "/c", {"/c", "/a", "/b"}},
        {{"/a", "/b"}, "/A", {"/A", "/a", "/b"}},  // letter case counts
        {twenty, "/new", twentyAfter},
        {twenty, "/d20",
         [&] {
             std::vector<std::string> v{"/d20"};
             v.insert(v.end(), twenty.begin(), twenty.end() - 1);
             return v;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        test::TempDir dir;
        Settings settings(dir.file("quillet.ini"));
        for (int i = 1; i <= 20; ++i) settings.write("DestinationMRU", std::to_string(i), "");
        for (std::size_t i = 0; i < c.stored.size(); ++i)
            settings.write("DestinationMRU", std::to_string(i + 1), c.stored[i]);
        std::vector<std::string> list = loadDestinations(settings);
        ASSERT_TRUE(rememberDestination(settings, list, c.root));
        EXPECT_EQ(loadDestinations(settings), c.expected);
    }
}

// "&Prompt user": one question per existing file, answered Yes, No, All or Cancel.
TEST(RestoreRun, PromptAsksPerExistingFile) {
    struct Case {
        const char* name;
        std::vector<int> answers;    // per question: 1 Yes, 2 No, 3 All, 4 Cancel
        std::vector<bool> replaced;  // per file, in list order
        const char* summary;
    };
    const Case cases[] = {
        {"yes, no, yes, no", {1, 2, 1, 2}, {true, false, true, false}, "Completed - 2 Error(s)"},
        {"no, all", {2, 3}, {false, true, true, true}, "Completed - 1 Error(s)"},
        {"yes, cancel", {1, 4}, {true, false, false, false}, "Operation Canceled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RestoreBench b;
        const std::string root = b.dir.mkdir("back");
        // Every file is there already, with other content.
        for (const LSPQEntry& e : b.archive.LSPQ) b.dir.write("back/" + e.FILENAME, "old");
        for (int a : c.answers) b.dialogs.expect("already exists.|Overwrite it?", a);
        RunRecorder view;
        RestoreRun run(b.services(), view);
        run.open();
        run.setUsePathInfo(false);
        run.setOverwrite(2);
        ASSERT_TRUE(run.acceptRoot(root).accepted);
        run.start();
        runToEnd(run);
        EXPECT_EQ(run.summary(), c.summary);
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
        for (std::size_t i = 0; i < run.work().size(); ++i) {
            const LSPQEntry& e = b.archive.LSPQ[run.work()[i].index];
            std::string content;
            for (const auto& [path, data] : b.sources)
                if (path.substr(path.rfind('/') + 1) == e.FILENAME) content = data;
            EXPECT_EQ(test::readFile(root + "/" + e.FILENAME), c.replaced[i] ? content : "old") << e.FILENAME;
        }
        EXPECT_EQ(folderNames(root).size(), 4u) << "no temporary file is left";
    }
}

// Cancel pressed while an item is in the library: the item stops, then the question.
// No does the item again; Yes closes with the old file as it was.
TEST(RestoreRun, CancelDuringAnItemAsksAfterTheLibraryStopped) {
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        RestoreBench b;
        for (LSPQEntry& e : b.archive.LSPQ) e.MARK = e.FILENAME == "big.bin";
        const std::string root = b.dir.mkdir("back");
        b.dir.write("back/big.bin", "old");
        b.dialogs.expect("Are you sure that you want to cancel?", yes ? 1 : 2);
        RunRecorder view;
        RestoreRun run(b.services(), view);
        run.open();
        run.setUsePathInfo(false);
        run.setOverwrite(1);
        ASSERT_TRUE(run.acceptRoot(root).accepted);
        int pressed = 0;
        view.onItemProgress = [&](int p) {
            if (p > 0 && p < 100 && run.inLibraryCall() && pressed++ == 0) run.buttonPressed();
        };
        run.start();
        runToEnd(run);
        ASSERT_EQ(pressed > 0, true);
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
        EXPECT_EQ(run.phase(), yes ? ArchiveRun::Phase::Closed : ArchiveRun::Phase::Finished);
        EXPECT_EQ(test::readFile(root + "/big.bin"), yes ? "old" : b.sources[2].second);
        if (!yes) {
            EXPECT_EQ(run.summary(), "Completed - No Errors");
        }
        EXPECT_EQ(folderNames(root), std::vector<std::string>{"big.bin"}) << "no temporary file is left";
    }
}

TEST(RestoreRun, RootEntryFallsBackToThePickerThenTheStoredDefault) {
    RestoreBench b;
    const std::string picked = b.dir.mkdir("picked");
    const std::string fallback = b.dir.mkdir("fallback");
    b.settings.write("Defaults", "ExtractionPath", fallback + "/");
    RunRecorder view;
    RestoreRun run(b.services(), view);
    run.open();
    EXPECT_EQ(run.root(), fallback);  // no destinations yet
    const std::string before = b.fs.currentFolder();

    b.dialogs.queueFolder(picked + "/");
    RestoreRun::RootOutcome out = run.acceptRoot(b.dir.file("missing"));
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.root, picked);
    EXPECT_EQ(b.dialogs.chooserCalls().back().title, "Pick a path");

    b.dialogs.queueFolder(std::nullopt);
    out = run.acceptRoot(b.dir.file("missing"));
    EXPECT_EQ(out.root, fallback);
    EXPECT_EQ(run.work()[0].text.rfind(fallback + "/", 0), 0u);
    EXPECT_EQ(b.fs.currentFolder(), before);

    // "/" is the whole disk: targets are "/" and the item.
    EXPECT_TRUE(run.acceptRoot("/").accepted);
    run.setUsePathInfo(false);
    EXPECT_EQ(run.targetOf(0), "/" + b.archive.LSPQ[0].FILENAME);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(RestoreRun, RemovedEntriesAreNotRestoredAndAnEmptyListSaysSo) {
    RestoreBench b;
    RunRecorder view;
    RestoreRun run(b.services(), view);
    run.open();
    const std::size_t rows = run.work().size();
    run.removeEntry(0);
    EXPECT_EQ(run.work().size(), rows - 1);
    EXPECT_EQ(view.shownRows, rows - 1);
    while (!run.work().empty()) run.removeEntry(0);
    b.dialogs.expect("There are no files in queue to restore!");
    run.start();
    EXPECT_EQ(b.dialogs.last().title, "Nothing to Do");
    EXPECT_EQ(run.phase(), ArchiveRun::Phase::Closed);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

}  // namespace
}  // namespace quillet
