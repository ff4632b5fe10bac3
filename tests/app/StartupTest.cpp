#include <gtest/gtest.h>

#include <filesystem>

#include "app/Startup.h"
#include "framework/ScriptedDialogs.h"
#include "framework/Settings.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

TEST(Startup, FirstStartRecordsAndCreatesWorkingFolderBackup) {
    test::TempDir dir;
    const std::string work = dir.mkdir("Prog");
    Settings settings(dir.file("cfg/quillet.ini"));
    ScriptedDialogs dialogs;

    EXPECT_EQ(ensureDefaultDestination(settings, dialogs, work), work + "/backup");
    EXPECT_EQ(settings.read("Defaults", "DestinationPath"), work + "/backup");
    EXPECT_TRUE(std::filesystem::is_directory(work + "/backup"));
    // The existing level above is passed over silently, and the quiet creation says nothing.
    EXPECT_TRUE(dialogs.shown().empty()) << dialogs.report();

    // A recorded destination is kept as it is, even when it no longer exists.
    settings.write("Defaults", "DestinationPath", "/somewhere/else");
    EXPECT_EQ(ensureDefaultDestination(settings, dialogs, work), "/somewhere/else");
}

TEST(Startup, RelativeWorkingFolderLeavesTheKeyBlankAndSaysSo) {
    test::TempDir dir;
    Settings settings(dir.file("quillet.ini"));
    ScriptedDialogs dialogs;
    dialogs.expect("You must give a full path beginning with / for the folder");

    EXPECT_EQ(ensureDefaultDestination(settings, dialogs, "relative/folder"), "");
    EXPECT_EQ(settings.read("Defaults", "DestinationPath"), "");
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].request.title, "Directory Creation Error");
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

}  // namespace
}  // namespace quillet
