// The bulk move of projects from the old default destination to the new one, over real
// record files, and the preference rules that need no window.
#include <gtest/gtest.h>

#include "framework/RunHost.h"
#include "maintenance/Preferences.h"
#include "preferences/PreferencesBench.h"

namespace quillet {
namespace {

using test::readFile;

struct DestinationUpdateTest : test::PreferencesBench {
    struct Row {
        const char* name;
        const char* destination;
        int favorites;
        const char* after;  // its destination once the old default "/Old/" moved to "/New/"
    };
    // Every case the move must get right, in one catalog.
    static constexpr Row kRows[] = {
        {"same", "/Old/", 0, "/New/"},       {"lower", "/old/", 0, "/New/"},
        {"upper", "/OLD/", 0, "/New/"},      {"subfolder", "/Old/Sub/", 0, "/Old/Sub/"},
        {"favourites", "/Old/", 1, "/Old/"}, {"other", "/Other/", 0, "/Other/"},
        {"longer", "/Older/", 0, "/Older/"}, {"mixed", "/oLd/", 0, "/New/"},
    };
    std::vector<std::int32_t> ids;

    void SetUp() override {
        test::PreferencesBench::SetUp();
        for (const Row& r : kRows) ids.push_back(addProject(r.name, r.destination, r.favorites));
    }
    void expectUnchanged() {
        for (std::size_t i = 0; i < ids.size(); ++i)
            EXPECT_EQ(destinationOf(ids[i]), kRows[i].destination) << kRows[i].name;
    }
};

TEST_F(DestinationUpdateTest, MovesTheNormalProjectsOfTheOldDefaultInAnyCaseAndNothingElse) {
    // The old default as the settings file may hold it, without its trailing "/".
    auto changed = ChangeDefaultDestination(catalog, "/Old", "/New");
    ASSERT_TRUE(changed) << changed.error();
    EXPECT_EQ(*changed, 4u);
    for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(destinationOf(ids[i]), kRows[i].after) << kRows[i].name;
}

TEST_F(DestinationUpdateTest, AFailurePartWayLeavesEveryProjectAsItWas) {
    // "upper" is the third project in SYSID order: two have been rewritten when it fails.
    plant(
        "CREATE TRIGGER fault BEFORE UPDATE ON Project WHEN old.NAME = 'upper' "
        "BEGIN SELECT RAISE(ABORT, 'planted fault'); END");
    const std::string before = readFile(projectFile());

    DefaultDestinationUpdate update(catalog, "/Old/", "/New/");
    PlainRunHost host;
    int steps = 0;
    while (update.step(host)) ++steps;
    EXPECT_EQ(steps, 2);
    ASSERT_FALSE(update.result());
    EXPECT_NE(update.result().error().find("planted fault"), std::string::npos) << update.result().error();
    EXPECT_EQ(update.changed(), 0u);
    expectUnchanged();
    catalog.close();
    EXPECT_EQ(readFile(projectFile()), before);
}

TEST_F(DestinationUpdateTest, ACancelPartWayChangesNothingAndTheFilesAreFreeAgain) {
    DefaultDestinationUpdate update(catalog, "/Old/", "/New/");
    PlainRunHost host;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(update.step(host));
    EXPECT_GT(host.progress, 0);
    update.cancel();
    EXPECT_FALSE(update.step(host));
    EXPECT_TRUE(update.cancelled());
    EXPECT_EQ(update.changed(), 0u);
    expectUnchanged();
    // The batch is gone: an ordinary write goes through at once.
    ASSERT_TRUE(ChangeDefaultDestination(catalog, "/Other/", "/Elsewhere/"));
    EXPECT_EQ(destinationOf(ids[5]), "/Elsewhere/");
}

TEST(PreferenceRulesTest, FolderEntriesAreCompletedTheWayTheyAreKept) {
    struct Case {
        const char* typed;
        bool temporary;
        std::string kept;
    };
    const std::string home = homeFolder();
    for (const Case& c : {
             Case{"/srv/backup", false, "/srv/backup/"},
             Case{"  /srv/backup/  ", false, "/srv/backup/"},
             Case{"srv/backup", false, "/srv/backup/"},
             Case{"~/backup", false, home + "/backup/"},
             Case{"/tmp/work/", true, "/tmp/work"},
             Case{"/tmp/work//", true, "/tmp/work"},
             Case{"/", true, "/"},
             Case{"tmp", true, "/tmp"},
         })
        EXPECT_EQ(PreferenceFolderPath(c.typed, c.temporary), c.kept) << c.typed;
}

TEST_F(DestinationUpdateTest, PreferencesAreWrittenOneKeyAtATimeInTheirOrder) {
    // Written into an empty file, the order of the keys is the order of the writes.
    Settings fresh(dir.file("fresh.ini"));
    AppPreferences p;
    p.remindOnlyIfChanged = true;
    p.destinationPath = "/dest/";
    p.extractionPath = "/restore/";
    p.reminderSound = "r.wav";
    p.completedSound = "";
    p.errorSound = "e.wav";
    p.interval = 15;
    p.defaultMaskName = "Documents";
    p.disableToolTips = true;
    p.speedOptimization = 2;
    ASSERT_TRUE(WritePreferences(fresh, p));
    EXPECT_EQ(readFile(fresh.path()),
              "[Preferences]\nRemindOnlyIfChanged=1\nStartMinimized=0\nConfirmExit=1\nDefaultMaskName=Documents\n"
              "DisableToolTips=1\nSuspendTimer=0\nSpeedOptimization=2\n\n"
              "[Defaults]\nDestinationPath=/dest/\nExtractionPath=/restore/\n\n"
              "[Sounds]\nReminder=r.wav\nCompleted=\nError=e.wav\n\n"
              "[Reminder]\nInterval=15\nShowPopup=0\n");
}

}  // namespace
}  // namespace quillet
