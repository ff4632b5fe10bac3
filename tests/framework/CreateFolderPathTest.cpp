#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "framework/CreateFolderPath.h"
#include "framework/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::TempDir;

bool isFolder(const std::string& path) {
    return std::filesystem::is_directory(path);
}

constexpr const char* kTitle = "Directory Creation Error";

TEST(CreateFolderPath, CreatesEveryMissingLevelSilently) {
    TempDir dir;
    ScriptedDialogs dialogs;
    const std::string target = dir.file("a/b/c");
    EXPECT_TRUE(CreateFolderPath(target, false, dialogs));
    EXPECT_TRUE(isFolder(dir.file("a")));
    EXPECT_TRUE(isFolder(dir.file("a/b")));
    EXPECT_TRUE(isFolder(target));
    // The existing levels above (the temporary folder itself, /tmp, ...) were passed over
    // without a word.
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

TEST(CreateFolderPath, TrailingSlashAndDoubledSlashesAreIgnored) {
    TempDir dir;
    ScriptedDialogs dialogs;
    EXPECT_TRUE(CreateFolderPath(dir.path() + "//x//y/", false, dialogs));
    EXPECT_TRUE(isFolder(dir.file("x/y")));
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

TEST(CreateFolderPath, ExistingFinalFolderIsReportedUnlessQuiet) {
    TempDir dir;
    const std::string target = dir.mkdir("backup");
    {
        ScriptedDialogs dialogs;
        EXPECT_TRUE(CreateFolderPath(target + "/", true, dialogs));
        EXPECT_TRUE(dialogs.shown().empty());
    }
    ScriptedDialogs dialogs;
    dialogs.expect("Cannot Create Directory", 1);
    EXPECT_TRUE(CreateFolderPath(target + "/", false, dialogs));
    ASSERT_EQ(dialogs.shown().size(), 1u);
    const MessageRequest& shown = dialogs.shown()[0].request;
    EXPECT_EQ(shown.text, "Cannot Create Directory : " + target);  // without the trailing "/"
    EXPECT_EQ(shown.title, kTitle);
    EXPECT_EQ(shown.icon, Icon::Exclamation);
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

TEST(CreateFolderPath, FileInTheWayIsReportedButStillTrue) {
    TempDir dir;
    const std::string file = dir.write("taken", "a file, not a folder");
    ScriptedDialogs dialogs;
    dialogs.expect("Cannot Create Directory : " + file + "/sub", 1);
    EXPECT_TRUE(CreateFolderPath(file + "/sub", false, dialogs));
    EXPECT_EQ(test::readFile(file), "a file, not a folder");
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

TEST(CreateFolderPath, FolderWithoutWritePermissionIsReportedUnlessQuiet) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    TempDir dir;
    const std::string locked = dir.mkdir("locked");
    ASSERT_EQ(::chmod(locked.c_str(), 0500), 0);
    ScriptedDialogs dialogs;
    dialogs.expect("Cannot Create Directory : " + locked + "/new/deeper", 1);
    EXPECT_TRUE(CreateFolderPath(locked + "/new/deeper", false, dialogs));
    EXPECT_FALSE(isFolder(locked + "/new"));
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();

    ScriptedDialogs quietDialogs;
    EXPECT_TRUE(CreateFolderPath(locked + "/new/deeper", true, quietDialogs));
    EXPECT_TRUE(quietDialogs.shown().empty());
}

TEST(CreateFolderPath, RelativePathIsRefusedEvenWhenQuiet) {
    for (const std::string path : {"backup/new", "./x", "~/backup", ""}) {
        for (bool quiet : {false, true}) {
            ScriptedDialogs dialogs;
            dialogs.expect("You must give a full path beginning with / for the folder", 1);
            EXPECT_FALSE(CreateFolderPath(path, quiet, dialogs)) << path;
            ASSERT_EQ(dialogs.shown().size(), 1u) << path;
            EXPECT_EQ(dialogs.shown()[0].request.title, kTitle);
            EXPECT_EQ(dialogs.shown()[0].request.icon, Icon::Exclamation);
            EXPECT_TRUE(dialogs.ok()) << dialogs.report();
        }
    }
    EXPECT_FALSE(isFolder("backup/new"));
}

TEST(CreateFolderPath, RootAloneExistsAlready) {
    ScriptedDialogs dialogs;
    dialogs.expect("Cannot Create Directory : /", 1);
    EXPECT_TRUE(CreateFolderPath("/", false, dialogs));
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

}  // namespace
}  // namespace quillet
