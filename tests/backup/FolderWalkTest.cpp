// The folder walk below a recursive component: order, skipped folders, links, and
// folders that cannot be entered.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ScanTestSupport.h"

namespace quillet {
namespace {

using test::ScanBench;

std::vector<std::string> dirnames(const ScanBench& b, const DirectoryList& list) {
    std::vector<std::string> out;
    for (const auto& d : list) out.push_back(d.DIRNAME.substr(b.dir.path().size()));
    return out;
}

TEST(FolderWalk, EveryFolderBelowInUpperCaseOrderAndCurrentFolderRestored) {
    ScanBench b;
    for (const char* d :
         {"tree/beta/x", "tree/Alpha/zed", "tree/Alpha/Ant/deep", "tree/gamma", "tree/a b", "elsewhere"})
        b.dir.mkdir(d);
    b.dir.write("tree/file.txt", "not a folder");
    ASSERT_TRUE(b.fs.setCurrentFolder(b.dir.file("elsewhere")));

    DirectoryList list{{"stale", 0}};
    ASSERT_TRUE(recurse(b.services, b.dir.file("tree"), list));
    // "A B" sorts before "ALPHA"; "/" sorts after the blank; the start folder is not listed.
    EXPECT_EQ(dirnames(b, list),
              (std::vector<std::string>{"/tree/a b", "/tree/Alpha", "/tree/Alpha/Ant", "/tree/Alpha/Ant/deep",
                                        "/tree/Alpha/zed", "/tree/beta", "/tree/beta/x", "/tree/gamma"}));
    EXPECT_EQ(b.fs.currentFolder(), b.dir.file("elsewhere"));
    EXPECT_GT(b.host.folderLineUpdates, 0);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();

    // A trailing separator on the start folder gives the same single-separator paths.
    DirectoryList again;
    ASSERT_TRUE(recurse(b.services, b.dir.file("tree/"), again));
    EXPECT_EQ(dirnames(b, again), dirnames(b, list));
}

TEST(FolderWalk, ZipFoldersInAnyCaseAreNotEntered) {
    ScanBench b;
    for (const char* d : {"t/old.zip/inner", "t/Mail.ZIP", "t/x.Zip", "t/zipper", "t/a.zip.d", "t/keep/b.zIp/in"})
        b.dir.mkdir(d);
    DirectoryList list;
    ASSERT_TRUE(recurse(b.services, b.dir.file("t"), list));
    EXPECT_EQ(dirnames(b, list), (std::vector<std::string>{"/t/a.zip.d", "/t/keep", "/t/zipper"}));
}

TEST(FolderWalk, LinksToFoldersAreNotFollowedSoALoopEnds) {
    ScanBench b;
    b.dir.mkdir("t/a/b");
    b.dir.mkdir("outside/secret");
    ASSERT_EQ(::symlink(b.dir.file("t").c_str(), b.dir.file("t/a/b/up").c_str()), 0);
    ASSERT_EQ(::symlink(".", b.dir.file("t/a/self").c_str()), 0);
    ASSERT_EQ(::symlink(b.dir.file("outside").c_str(), b.dir.file("t/out").c_str()), 0);
    DirectoryList list;
    ASSERT_TRUE(recurse(b.services, b.dir.file("t"), list));
    EXPECT_EQ(dirnames(b, list), (std::vector<std::string>{"/t/a", "/t/a/b"}));
}

TEST(FolderWalk, MissingStartFolderIsNamedAndLeavesNothing) {
    ScanBench b;
    b.dialogs.expect("The Path: " + b.dir.file("nowhere") + "/ not found!");
    DirectoryList list{{"stale", 0}};
    EXPECT_FALSE(recurse(b.services, b.dir.file("nowhere"), list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(b.dialogs.last().title, "Path not found!");
    EXPECT_EQ(b.dialogs.last().icon, Icon::Exclamation);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(FolderWalk, FolderVanishingMidWalkFailsTheWalkAndNamesIt) {
    ScanBench b;
    b.dir.mkdir("t/one/leaf");
    b.dir.mkdir("t/two/leaf");
    // The first folder finished tells which top folder the walk took first; the other one,
    // already listed, goes before the walk reaches it.
    std::string removed;
    b.host.onFolderLine = [&](const std::string& line) {
        if (!removed.empty()) return;
        removed = b.dir.file(line.find("/one/") != std::string::npos ? "t/two" : "t/one");
        std::filesystem::remove_all(removed);
    };
    b.dialogs.answer(1);  // its text is checked below, once the vanished folder is known
    DirectoryList list;
    EXPECT_FALSE(recurse(b.services, b.dir.file("t"), list));
    EXPECT_TRUE(list.empty());
    ASSERT_FALSE(removed.empty());
    ASSERT_EQ(b.dialogs.shown().size(), 1u);
    EXPECT_NE(b.dialogs.last().text.find("The Path: " + removed), std::string::npos) << b.dialogs.last().text;
    EXPECT_EQ(b.dialogs.last().title, "Path not found!");
}

TEST(FolderWalk, SubfolderWithoutPermissionFailsTheWalk) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root; run the suite as an ordinary user";
    ScanBench b;
    b.dir.write("t/open/f.txt", "x");
    b.dir.write("t/locked/f.txt", "x");
    b.dir.write("u/unreadable/f.txt", "x");
    ASSERT_EQ(::chmod(b.dir.file("t/locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod(b.dir.file("u/unreadable").c_str(), S_IXUSR), 0);  // may be entered, not listed

    for (const char* start : {"t", "u"}) {
        SCOPED_TRACE(start);
        b.dialogs.clear();
        b.dialogs.answer(1);
        DirectoryList list;
        EXPECT_FALSE(recurse(b.services, b.dir.file(start), list));
        EXPECT_TRUE(list.empty());
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
        EXPECT_NE(b.dialogs.last().text.find(std::string(start) == "t" ? "locked" : "unreadable"), std::string::npos);
    }
}

}  // namespace
}  // namespace quillet
