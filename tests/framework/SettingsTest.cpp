#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "framework/Settings.h"
#include "framework/SettingsTable.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::TempDir;

// What a fresh installation must read for every setting, written out independently of
// the table so that a slip in either shows up.
std::set<std::tuple<std::string, std::string, std::string>> expectedDefaults() {
    std::set<std::tuple<std::string, std::string, std::string>> s = {
        {"Defaults", "DestinationPath", ""},
        {"Defaults", "ExtractionPath", ""},
        {"Preferences", "RemindOnlyIfChanged", "0"},
        {"Preferences", "StartMinimized", "0"},
        {"Preferences", "ConfirmExit", "1"},
        {"Preferences", "DefaultMaskName", ""},
        {"Preferences", "DisableToolTips", "0"},
        {"Preferences", "SuspendTimer", "0"},
        {"Preferences", "SpeedOptimization", "0"},
        {"Reminder", "Interval", "0"},
        {"Reminder", "ShowPopup", "0"},
        {"Sounds", "Reminder", "remind.wav"},
        {"Sounds", "Completed", "done.wav"},
        {"Sounds", "Error", "error.wav"},
        {"FindFile", "Deselect", "1"},
        {"FindFile", "ShowCount", "1"},
    };
    for (int i = 1; i <= 20; ++i) s.insert({"DestinationMRU", std::to_string(i), ""});
    for (int i = 1; i <= 5; ++i) s.insert({"LastBacked", std::to_string(i), ""});
    return s;
}

TEST(SettingsTable, HoldsExactlyTheProgramsSettingsWithTheirDefaults) {
    std::set<std::tuple<std::string, std::string, std::string>> table;
    for (const SettingEntry& e : settingsTable())
        table.insert({std::string(e.section), std::string(e.key), std::string(e.defaultValue)});
    EXPECT_EQ(table.size(), settingsTable().size()) << "a setting is listed twice";
    EXPECT_EQ(table, expectedDefaults());
    EXPECT_EQ(findSetting("DestinationMRU", "21"), nullptr);
    EXPECT_EQ(findSetting("LastBacked", "0"), nullptr);
    EXPECT_EQ(findSetting("LastBacked", "6"), nullptr);
}

TEST(Settings, MissingFileGivesEveryDefault) {
    TempDir dir;
    Settings settings(dir.file("none/quillet.ini"));
    for (const auto& [section, key, value] : expectedDefaults())
        EXPECT_EQ(settings.read(section, key), value) << "[" << section << "] " << key;
    EXPECT_EQ(settings.read("Defaults", "ExtractionPath", "/home/user"), "/home/user");
    EXPECT_TRUE(settings.readFlag("Preferences", "ConfirmExit"));
    EXPECT_FALSE(settings.readFlag("Preferences", "StartMinimized"));
    EXPECT_EQ(settings.readInt("LastBacked", "1"), 0);  // an empty slot reads as 0
}

TEST(Settings, NamesMatchWithoutRegardToCase) {
    TempDir dir;
    Settings settings(dir.file("quillet.ini"));
    ASSERT_TRUE(settings.write("reminder", "INTERVAL", "15"));
    EXPECT_EQ(settings.read("Reminder", "Interval"), "15");
    EXPECT_EQ(settings.read("SOUNDS", "completed"), "done.wav");
}

TEST(Settings, WriteGoesStraightToTheFileAndCreatesItsFolder) {
    TempDir dir;
    const Paths paths = Paths::inFolder(dir.file("config/quillet"));
    Settings writer(paths);
    EXPECT_EQ(writer.path(), dir.file("config/quillet/quillet.ini"));
    ASSERT_TRUE(writer.write("Defaults", "DestinationPath", "/srv/backup/")) << writer.lastError();
    ASSERT_TRUE(writer.write("Reminder", "Interval", std::int64_t{30}));
    ASSERT_TRUE(writer.writeFlag("Preferences", "ConfirmExit", false));

    // A second object on the same file sees the values: nothing is held in memory.
    Settings reader(paths);
    EXPECT_EQ(reader.read("Defaults", "DestinationPath"), "/srv/backup/");
    EXPECT_EQ(reader.readInt("Reminder", "Interval"), 30);
    EXPECT_FALSE(reader.readFlag("Preferences", "ConfirmExit"));
    const std::string text = test::readFile(writer.path());
    EXPECT_NE(text.find("[Reminder]"), std::string::npos);
    EXPECT_NE(text.find("Interval=30"), std::string::npos);

    // A value written as empty is present: the default no longer applies.
    ASSERT_TRUE(writer.write("Sounds", "Completed", ""));
    EXPECT_EQ(reader.read("Sounds", "Completed"), "");
}

TEST(Settings, NumbersAreReadAsWholeNumbersAndBytesKeepTheLowEightBits) {
    TempDir dir;
    Settings settings(dir.file("quillet.ini"));
    settings.write("Reminder", "Interval", "300");
    EXPECT_EQ(settings.readInt("Reminder", "Interval"), 300);
    EXPECT_EQ(settings.readByte("Reminder", "Interval"), 44);
    settings.write("Reminder", "Interval", "255");
    EXPECT_EQ(settings.readByte("Reminder", "Interval"), 255);
    settings.write("Reminder", "Interval", "256");
    EXPECT_EQ(settings.readByte("Reminder", "Interval"), 0);
    settings.write("Reminder", "Interval", "-1");
    EXPECT_EQ(settings.readByte("Reminder", "Interval"), 255);
    settings.write("Preferences", "SpeedOptimization", "abc");
    EXPECT_EQ(settings.readInt("Preferences", "SpeedOptimization"), 0);
    settings.write("Preferences", "SuspendTimer", "yes");
    EXPECT_FALSE(settings.readFlag("Preferences", "SuspendTimer"));  // not a number: off
}

TEST(WholeNumber, ReadsTheLeadingNumberOnly) {
    EXPECT_EQ(wholeNumber("  42 minutes"), 42);
    EXPECT_EQ(wholeNumber("+7"), 7);
    EXPECT_EQ(wholeNumber("-12x"), -12);
    EXPECT_EQ(wholeNumber("1.9"), 1);
    EXPECT_EQ(wholeNumber(""), 0);
    EXPECT_EQ(wholeNumber("-"), 0);
    EXPECT_EQ(wholeNumber("x5"), 0);
    EXPECT_EQ(wholeNumber("99999999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(lowByte(300), 44);
    EXPECT_EQ(lowByte(-2), 254);
}

#ifdef NDEBUG
TEST(Settings, KeyOutsideTheTableReadsEmpty) {
    TempDir dir;
    Settings settings(dir.file("quillet.ini"));
    EXPECT_EQ(settings.read("Preferences", "NoSuchKey"), "");
    EXPECT_EQ(settings.read("Defaults", "Nothing", "fallback"), "");
}
#endif

}  // namespace
}  // namespace quillet
