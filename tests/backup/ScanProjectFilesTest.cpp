// The file selection scan over real folders: which files, in which order, and how it
// ends when a folder is missing or the user cancels.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "ScanTestSupport.h"
#include "catalog/Catalog.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {
namespace {

using test::ScanBench;
using Names = std::vector<std::string>;

struct Scan {
    ScanOutcome outcome;
    BackupFileList list;
};

Scan scan(ScanBench& b, const std::vector<Component>& components,
          std::string_view excludeText = scantext::PurgingExcluded) {
    Scan r{ScanOutcome::Completed, {{"stale", 1, 0, 0, ""}}};
    r.outcome = ScanProjectFiles(b.services, components, r.list, excludeText);
    return r;
}

const BackupFileEntry* entryOf(const BackupFileList& list, const std::string& filename) {
    for (const auto& e : list)
        if (e.FILENAME == filename) return &e;
    return nullptr;
}

TEST(ScanProjectFiles, SubfoldersInUpperCaseOrderThenOwnFolderAndListInSortNameOrder) {
    ScanBench b;
    b.dir.write("p/root.txt", "r");
    b.dir.write("p/beta/b.txt", "b");
    b.dir.write("p/Alpha/a.TXT", "a");
    b.dir.write("p/Alpha/Zed/z.txt", "z");
    b.dir.write("p/gamma/C.txt", "c");
    b.dir.write("p/gamma/skip.doc", "not matched");
    b.dir.write("p/old.ZIP/in.txt", "inside a zip-named folder");
    const std::string start = b.fs.currentFolder();

    const Scan r = scan(b, {ScanBench::component(b.dir.file("p"), "*.txt", true)});
    ASSERT_EQ(r.outcome, ScanOutcome::Completed);
    EXPECT_EQ(b.names(r.list),
              (Names{"/p/Alpha/a.TXT", "/p/Alpha/Zed/z.txt", "/p/beta/b.txt", "/p/gamma/C.txt", "/p/root.txt"}));
    for (const auto& e : r.list) {
        EXPECT_EQ(e.ICON, 1);
        EXPECT_EQ(e.SIZE, 1);
        EXPECT_GT(e.TIME, 0);
    }

    // The folders were listed subfolders first, in upper-case order, the component's own last.
    Names listed;
    for (const auto& [status, folder] : b.host.folderLines)
        if (status == scantext::BuildingFileList && (listed.empty() || listed.back() != folder))
            listed.push_back(folder);
    for (auto& f : listed) f = f.substr(b.dir.path().size());
    EXPECT_EQ(listed, (Names{"/p/Alpha", "/p/Alpha/Zed", "/p/beta", "/p/gamma", "/p"}));
    EXPECT_EQ(b.fs.currentFolder(), start);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

// The selection keeps the list's order without storing the sort name: it must be the
// order of the upper-cased copies (bytes above 0x7F and prefixes included), and paths
// that differ only in case must stay separate files.
TEST(ScanProjectFiles, SelectionIsInTheOrderOfTheUpperCasedPathsAndKeepsCaseVariantsApart) {
    const std::vector<std::string> pool{"/a/b",
                                        "/A/B",
                                        "/a/B",
                                        "/a/b/",
                                        "/a/b0",
                                        "/a/_x",
                                        "/a/[x",
                                        "/a/`x",
                                        "/a/{x",
                                        "/a/\xc3\xa9",
                                        "/a/\xc3\x89",
                                        "/a/z",
                                        "/a/Z\xff",
                                        "/a",
                                        "",
                                        "/a/b c",
                                        "/home/user/Documents/longer-name-",
                                        "/home/user/documents/longer-name-"};
    FileSelection selection;
    std::size_t distinct = 0;
    for (auto a = pool.rbegin(); a != pool.rend(); ++a)
        for (const auto& b : pool) distinct += selection.add(*a + b, 1, 0) ? 1 : 0;
    EXPECT_FALSE(selection.add(pool[0] + pool[1], 2, 0));  // the exact path again
    EXPECT_TRUE(selection.remove(pool[1] + pool[0]));
    // The file added last is removed: the next one is placed without it.
    ASSERT_TRUE(selection.add("/a/b/m", 1, 0));
    ASSERT_TRUE(selection.remove("/a/b/m"));
    ASSERT_TRUE(selection.add("/a/b/n", 1, 0));
    const BackupFileList list = selection.take();
    ASSERT_EQ(list.size(), distinct);
    for (std::size_t i = 1; i < list.size(); ++i) {
        const std::string &before = list[i - 1].FILENAME, &after = list[i].FILENAME;
        const int c = upperCased(before).compare(upperCased(after));
        EXPECT_TRUE(c < 0 || (c == 0 && before < after)) << before << " | " << after;
    }
}

TEST(ScanProjectFiles, StatusTextsOfBothPasses) {
    ScanBench b;
    b.dir.write("d/a.txt", "a");
    const std::vector<Component> comps{ScanBench::component(b.dir.file("d"), "*.txt"),
                                       ScanBench::component(b.dir.file("d"), "*.doc"),
                                       ScanBench::component(b.dir.file("d"), "*.bak", false, true)};
    scan(b, comps, scantext::PurgingExcludeFiles);
    EXPECT_EQ(b.host.statuses, (Names{"Scanning Directories:", "Building File List:", "Building File List:",
                                      "Scanning Directories:", "Purging Exclude Files:"}));
}

TEST(ScanProjectFiles, FileCoveredTwiceIsListedOnceWithItsFirstFinding) {
    ScanBench b;
    const std::string file = b.dir.write("d/report.txt", "12345");
    b.dir.write("d/sub/other.txt", "x");
    // Between the first mask and the rest the file grows: later findings must not win.
    b.host.onPump = [&](int pump) {
        if (pump == 1) b.dir.write("d/report.txt", "1234567890");
    };
    const Scan r = scan(b, {ScanBench::component(b.dir.file("d"), "report.*, *.txt, *.*"),
                            ScanBench::component(b.dir.file("d"), "*.*", true)});
    ASSERT_EQ(r.outcome, ScanOutcome::Completed);
    EXPECT_EQ(b.names(r.list), (Names{"/d/report.txt", "/d/sub/other.txt"}));
    ASSERT_NE(entryOf(r.list, file), nullptr);
    EXPECT_EQ(entryOf(r.list, file)->SIZE, 5);
}

TEST(ScanProjectFiles, ExcludeRemovesOnlyTheIdenticalPath) {
    ScanBench b;
    b.dir.write("Docs/a.txt", "upper-case folder");
    b.dir.write("docs/a.txt", "lower-case folder");
    b.dir.write("docs/B.TXT", "b");
    b.dir.write("docs/keep.doc", "k");
    b.dir.write("other/a.txt", "never included");
    const std::vector<Component> comps{
        ScanBench::component(b.dir.file("Docs"), "*.*"),
        ScanBench::component(b.dir.file("docs"), "*.*"),
        // Exclude rules: masks match without regard to case, paths must be identical.
        ScanBench::component(b.dir.file("docs/../docs"), "*.txt", false, true),
        ScanBench::component(b.dir.file("other"), "*.*", false, true),
    };
    const Scan r = scan(b, comps);
    ASSERT_EQ(r.outcome, ScanOutcome::Completed);
    EXPECT_EQ(b.names(r.list), (Names{"/Docs/a.txt", "/docs/keep.doc"}));
}

TEST(ScanProjectFiles, RecursiveExcludeAndOnlyInclusionAndExclusionCodesZeroAndOne) {
    ScanBench b;
    b.dir.write("w/a.txt", "a");
    b.dir.write("w/tmp/t.txt", "t");
    b.dir.write("w/tmp/deeper/d.txt", "d");
    Component odd = ScanBench::component(b.dir.file("w"), "*.*");
    odd.EXCLUDE = 2;  // neither pass reads it
    const Scan r = scan(b, {ScanBench::component(b.dir.file("w"), "*.txt", true),
                            ScanBench::component(b.dir.file("w/tmp"), "*.*", true, true), odd});
    EXPECT_EQ(b.names(r.list), (Names{"/w/a.txt"}));
}

TEST(ScanProjectFiles, ProjectWithoutIncludeComponentsSelectsNothing) {
    ScanBench b;
    b.dir.write("d/a.txt", "a");
    Scan r = scan(b, {ScanBench::component(b.dir.file("d"), "*.*", true, true)});
    EXPECT_EQ(r.outcome, ScanOutcome::Completed);
    EXPECT_TRUE(r.list.empty());
    r = scan(b, {});
    EXPECT_EQ(r.outcome, ScanOutcome::Completed);
    EXPECT_TRUE(r.list.empty());
    // Masks that match nothing, and the blank mask between two commas, add nothing either.
    r = scan(b, {ScanBench::component(b.dir.file("d"), "*.none,, ")});
    EXPECT_TRUE(r.list.empty());
}

TEST(ScanProjectFiles, SystemEntriesAreNeverSelectedAndDotFilesAreOrdinaryFiles) {
    ScanBench b;
    b.dir.write("d/plain.txt", "p");
    b.dir.write("d/.hidden.txt", "h");
    b.dir.write("d/.cache/inside.txt", "a visible file in a hidden folder");
    b.dir.mkdir("d/folder.txt");
    b.dir.write("target.txt", "t");
    ASSERT_EQ(::symlink(b.dir.file("target.txt").c_str(), b.dir.file("d/tofile.txt").c_str()), 0);
    ASSERT_EQ(::symlink(b.dir.file("nothing").c_str(), b.dir.file("d/broken.txt").c_str()), 0);
    ASSERT_EQ(::symlink(b.dir.file("d/folder.txt").c_str(), b.dir.file("d/linkdir.txt").c_str()), 0);
    ASSERT_EQ(::mkfifo(b.dir.file("d/pipe.txt").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = b.dir.file("d/sock.txt");
    if (sockPath.size() < sizeof addr.sun_path) {
        std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
        ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    const Scan r = scan(b, {ScanBench::component(b.dir.file("d"), "*.*, .*, *", true)});
    ::close(sock);
    ASSERT_EQ(r.outcome, ScanOutcome::Completed);
    // A link to a file stands for the file; names beginning with "." are files and folders
    // like any other (Linux has no hidden attribute).
    EXPECT_EQ(b.names(r.list), (Names{"/d/.cache/inside.txt", "/d/.hidden.txt", "/d/plain.txt", "/d/tofile.txt"}));
}

TEST(ScanProjectFiles, RootFolderGivesSingleSeparators) {
    ScanBench b;
    std::string planted;
    if (::access("/", W_OK) == 0) {
        planted = "/quillet-scan-" + std::to_string(::getpid()) + ".tmp";
        ASSERT_GE(::close(::open(planted.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    }
    const Scan r = scan(b, {ScanBench::component("/", "*.tmp, *")});
    if (!planted.empty()) ::unlink(planted.c_str());
    ASSERT_EQ(r.outcome, ScanOutcome::Completed);
    for (const auto& e : r.list) {
        EXPECT_EQ(e.FILENAME.find("//"), std::string::npos) << e.FILENAME;
        EXPECT_EQ(e.FILENAME.rfind('/'), 0u) << e.FILENAME;
    }
    if (planted.empty()) {
        if (r.list.empty()) GTEST_SKIP() << "no file in / and no right to plant one";
    } else {
        EXPECT_NE(entryOf(r.list, planted), nullptr);
    }
    // A folder given with a trailing separator is the same folder.
    b.dir.write("d/a.txt", "a");
    const Scan slashed = scan(b, {ScanBench::component(b.dir.file("d/"), "*.txt")});
    EXPECT_EQ(b.names(slashed.list), (Names{"/d/a.txt"}));
}

TEST(ScanProjectFiles, LongPathsStayWholeAndSizesAre64Bit) {
    ScanBench b;
    std::string deep = "d";
    for (int i = 0; i < 8; ++i) deep += "/" + std::string(60, static_cast<char>('a' + i));
    const std::string file = b.dir.write(deep + "/f.bin", "");
    ASSERT_EQ(::truncate(file.c_str(), 5'000'000'000LL), 0);  // sparse: no disk space used
    const Scan r = scan(b, {ScanBench::component(b.dir.file("d"), "*.bin", true)});
    ASSERT_EQ(r.list.size(), 1u);
    EXPECT_GT(file.size(), 500u);
    EXPECT_EQ(r.list[0].FILENAME, file);
    EXPECT_EQ(r.list[0].SIZE, 5'000'000'000LL);
}

TEST(ScanProjectFiles, MissingFolderLeavesTheSingleErrorEntry) {
    ScanBench b;
    b.dir.write("d/a.txt", "a");
    const std::string missing = b.dir.file("gone");

    // Plain component: beep, the folder path as the text, whatever was found is dropped.
    b.dialogs.expect(missing);
    Scan r = scan(b, {ScanBench::component(b.dir.file("d"), "*.*"), ScanBench::component(missing, "*.*")});
    EXPECT_EQ(r.outcome, ScanOutcome::PathNotFound);
    ASSERT_EQ(r.list.size(), 1u);
    EXPECT_EQ(r.list[0].FILENAME, "<ERROR! Path Not Found>");
    EXPECT_EQ(b.dialogs.last().text, missing);
    EXPECT_EQ(b.dialogs.last().title, "Path Not Found");
    EXPECT_EQ(b.dialogs.last().icon, Icon::Exclamation);
    EXPECT_EQ(b.dialogs.beeps(), 1);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();

    // Recursive component: the walk's message only.
    b.dialogs.clear();
    b.dialogs.expect("The Path: " + missing + "/ not found!");
    r = scan(b, {ScanBench::component(missing, "*.*", true)});
    EXPECT_EQ(r.outcome, ScanOutcome::PathNotFound);
    EXPECT_EQ(b.names(r.list), (Names{"<ERROR! Path Not Found>"}));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();

    // An exclude component's folder is needed just the same.
    b.dialogs.clear();
    b.dialogs.expect(missing);
    r = scan(b, {ScanBench::component(b.dir.file("d"), "*.*"), ScanBench::component(missing, "*.*", false, true)});
    EXPECT_EQ(r.outcome, ScanOutcome::PathNotFound);
    EXPECT_EQ(b.names(r.list), (Names{"<ERROR! Path Not Found>"}));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ScanProjectFiles, FolderVanishingAfterTheWalkStopsTheScanWithItsName) {
    ScanBench b;
    b.dir.write("d/a/1.txt", "1");
    b.dir.write("d/b/2.txt", "2");
    b.host.onPump = [&](int pump) {
        if (pump == 1) std::filesystem::remove_all(b.dir.file("d/b"));
    };
    b.dialogs.expect(b.dir.file("d/b"));
    const Scan r = scan(b, {ScanBench::component(b.dir.file("d"), "*.*", true)});
    EXPECT_EQ(r.outcome, ScanOutcome::PathNotFound);
    EXPECT_EQ(b.names(r.list), (Names{"<ERROR! Path Not Found>"}));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ScanProjectFiles, UnreadableFoldersStopTheScanInsteadOfLosingFiles) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root; run the suite as an ordinary user";
    ScanBench b;
    b.dir.write("d/ok/1.txt", "1");
    b.dir.write("d/shut/2.txt", "2");
    b.dir.write("listless/3.txt", "3");
    ASSERT_EQ(::chmod(b.dir.file("d/shut").c_str(), 0), 0);
    ASSERT_EQ(::chmod(b.dir.file("listless").c_str(), S_IXUSR), 0);

    b.dialogs.expect("shut");
    Scan r = scan(b, {ScanBench::component(b.dir.file("d"), "*.*", true)});
    EXPECT_EQ(r.outcome, ScanOutcome::PathNotFound);
    EXPECT_EQ(b.names(r.list), (Names{"<ERROR! Path Not Found>"}));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();

    b.dialogs.clear();
    b.dialogs.expect(b.dir.file("listless"));
    r = scan(b, {ScanBench::component(b.dir.file("listless"), "*.*")});
    EXPECT_EQ(r.outcome, ScanOutcome::PathNotFound);
    EXPECT_EQ(b.dialogs.last().title, "Path Not Found");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ScanProjectFiles, CancelIsConfirmedAndKeepsWhatWasFound) {
    ScanBench b;
    b.dir.write("d/a.txt", "a");
    b.dir.write("d/b.doc", "b");
    b.dir.write("d/c.dat", "c");
    const auto comps = std::vector<Component>{ScanBench::component(b.dir.file("d"), "*.txt,*.doc,*.dat")};

    // Declined: the scan goes on to the end and does not ask again.
    b.host.onPump = [&](int pump) {
        if (pump == 1) b.host.requestCancel();
    };
    b.dialogs.expect("Are you sure that you want to cancel?", answer::No);
    Scan r = scan(b, comps);
    EXPECT_EQ(r.outcome, ScanOutcome::Completed);
    EXPECT_EQ(r.list.size(), 3u);
    EXPECT_EQ(b.dialogs.last().title, "Cancel Pressed");
    EXPECT_EQ(b.dialogs.last().icon, Icon::Question);
    EXPECT_EQ(b.dialogs.last().buttons, "&Yes|&No");
    EXPECT_EQ(b.dialogs.last().defaultButton, 1);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();

    // Confirmed after the second mask: the first two masks' files stay, in path order.
    b.dialogs.clear();
    b.host.pumps = 0;
    b.host.onPump = [&](int pump) {
        if (pump == 2) b.host.requestCancel();
    };
    b.dialogs.expect("Are you sure that you want to cancel?", answer::Yes);
    r = scan(b, comps);
    EXPECT_EQ(r.outcome, ScanOutcome::Cancelled);
    EXPECT_EQ(b.names(r.list), (Names{"/d/a.txt", "/d/b.doc"}));
    EXPECT_EQ(b.host.pumps, 2);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ScanProjectFiles, ReadsTheProjectsComponentsFromTheCatalogIncludesFirst) {
    ScanBench b;
    b.dir.write("d/a.txt", "a");
    b.dir.write("d/b.txt", "b");
    b.dir.write("e/c.txt", "c");
    Catalog catalog(Paths::fromEnvironment().dataFolder);
    ASSERT_TRUE(catalog.open());
    auto comps = catalog.components();
    // Stored exclude first: the key still puts the include rules before it.
    ASSERT_TRUE(comps.insert(ScanBench::component(b.dir.file("d"), "b.*", false, true)));
    ASSERT_TRUE(comps.insert(ScanBench::component(b.dir.file("d"), "*.txt")));
    Component other = ScanBench::component(b.dir.file("e"), "*.*");
    other.PROSYSID = 2;
    ASSERT_TRUE(comps.insert(other));

    BackupFileList list;
    EXPECT_EQ(ScanProjectFiles(b.services, catalog, 1, list, scantext::PurgingExcluded), ScanOutcome::Completed);
    EXPECT_EQ(b.names(list), (Names{"/d/a.txt"}));
    catalog.close();
}

}  // namespace
}  // namespace quillet
