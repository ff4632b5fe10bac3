#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/IniFile.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::readFile;
using test::TempDir;

TEST(IniFile, ReadsDefaultsWhenFileSectionOrKeyIsMissing) {
    TempDir dir;
    IniFile ini(dir.file("none/quillet.ini"));
    EXPECT_EQ(ini.read("Preferences", "ConfirmExit", "1"), "1");
    dir.write("q.ini", "[Preferences]\nConfirmExit=0\n");
    IniFile q(dir.file("q.ini"));
    EXPECT_EQ(q.read("Reminder", "ConfirmExit", "dflt"), "dflt");
    EXPECT_EQ(q.read("Preferences", "StartMinimized", "dflt"), "dflt");
    // An empty value is a value, not an absent key.
    dir.write("e.ini", "[Sounds]\nError=\n");
    EXPECT_EQ(IniFile(dir.file("e.ini")).read("Sounds", "Error", "error.wav"), "");
}

TEST(IniFile, SectionsAndKeysIgnoreCaseAndBlanks) {
    TempDir dir;
    dir.write("q.ini", "[preferences]\n  confirmexit = 0  \n[Reminder]\nInterval=15\n");
    IniFile ini(dir.file("q.ini"));
    EXPECT_EQ(ini.read("Preferences", "ConfirmExit", "1"), "0");
    EXPECT_EQ(ini.read("REMINDER", "INTERVAL", "0"), "15");
    // Writing under another spelling replaces the key rather than adding a second one.
    ASSERT_TRUE(ini.write("PREFERENCES", "CONFIRMEXIT", "1"));
    EXPECT_EQ(ini.read("preferences", "confirmexit", "x"), "1");
    EXPECT_EQ(readFile(dir.file("q.ini")), "[preferences]\nCONFIRMEXIT=1\n[Reminder]\nInterval=15\n");
}

TEST(IniFile, WriteCreatesFileAndFolderAndKeepsOtherLines) {
    TempDir dir;
    IniFile ini(dir.file("a/b/quillet.ini"));
    ASSERT_TRUE(ini.write("Defaults", "DestinationPath", "/home/u/backup/")) << ini.lastError();
    EXPECT_EQ(readFile(ini.path()), "[Defaults]\nDestinationPath=/home/u/backup/\n");

    const std::string original =
        "; settings kept by hand\n"
        "top=before any section\n"
        "[Sounds]\n"
        "# another comment\n"
        "Completed=done.wav\n"
        "\n"
        "[Reminder]\n"
        "Interval=5\n";
    dir.write("k.ini", original);
    IniFile k(dir.file("k.ini"));
    ASSERT_TRUE(k.write("Sounds", "Error", "error.wav"));
    ASSERT_TRUE(k.write("Reminder", "Interval", "10"));
    ASSERT_TRUE(k.write("LastBacked", "1", "42"));
    EXPECT_EQ(readFile(k.path()),
              "; settings kept by hand\n"
              "top=before any section\n"
              "[Sounds]\n"
              "# another comment\n"
              "Completed=done.wav\n"
              "Error=error.wav\n"
              "\n"
              "[Reminder]\n"
              "Interval=10\n"
              "\n"
              "[LastBacked]\n"
              "1=42\n");
    // Keys before the first section belong to no section.
    EXPECT_EQ(k.read("Sounds", "top", "none"), "none");
}

TEST(IniFile, KeepsLongValuesAndCrLfFiles) {
    TempDir dir;
    IniFile ini(dir.file("q.ini"));
    std::string longValue;
    for (int i = 0; i < 1024; ++i) longValue.push_back(static_cast<char>('a' + i % 26));
    ASSERT_TRUE(ini.write("DestinationMRU", "1", longValue));
    EXPECT_EQ(ini.read("DestinationMRU", "1", ""), longValue);

    dir.write("crlf.ini", "[Preferences]\r\nConfirmExit=1\r\n");
    IniFile crlf(dir.file("crlf.ini"));
    EXPECT_EQ(crlf.read("Preferences", "ConfirmExit", ""), "1");
    ASSERT_TRUE(crlf.write("Preferences", "ConfirmExit", "0"));
    ASSERT_TRUE(crlf.write("Preferences", "SuspendTimer", "1"));
    EXPECT_EQ(readFile(crlf.path()), "[Preferences]\r\nConfirmExit=0\r\nSuspendTimer=1\r\n");
}

TEST(IniFile, RefusesInputThatWouldCorruptTheFile) {
    TempDir dir;
    IniFile ini(dir.file("q.ini"));
    ASSERT_TRUE(ini.write("S", "k", "v"));
    EXPECT_FALSE(ini.write("S", "k", "two\nlines"));
    EXPECT_NE(ini.lastError().find("line break"), std::string::npos);
    EXPECT_FALSE(ini.write("S", "a=b", "v"));
    EXPECT_FALSE(ini.write("", "k", "v"));
    EXPECT_EQ(readFile(ini.path()), "[S]\nk=v\n");
}

TEST(IniFile, RemovesKeysAndSections) {
    TempDir dir;
    dir.write("q.ini", "[A]\nx=1\ny=2\n[B]\nz=3\n");
    IniFile ini(dir.file("q.ini"));
    ASSERT_TRUE(ini.remove("a", "X"));
    ASSERT_TRUE(ini.removeSection("b"));
    ASSERT_TRUE(ini.remove("none", "none"));
    EXPECT_EQ(readFile(ini.path()), "[A]\ny=2\n");
}

TEST(IniFile, ReportsAnUnwritableFolderAndKeepsTheFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
    TempDir dir;
    dir.write("ro/q.ini", "[S]\nk=v\n");
    ::chmod(dir.file("ro").c_str(), 0555);
    IniFile ini(dir.file("ro/q.ini"));
    EXPECT_FALSE(ini.write("S", "k", "w"));
    EXPECT_NE(ini.lastError().find(dir.file("ro/q.ini")), std::string::npos) << ini.lastError();
    EXPECT_EQ(ini.read("S", "k", ""), "v");
}

TEST(IniFile, KeepsPermissionsOfAnExistingFile) {
    TempDir dir;
    dir.write("q.ini", "[S]\nk=v\n");
    ::chmod(dir.file("q.ini").c_str(), 0600);
    ASSERT_TRUE(IniFile(dir.file("q.ini")).write("S", "k", "w"));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("q.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// What stands where the settings file should be but is not one: a pipe would hang a
// plain read, a device like /dev/zero would fill the memory, a huge file is no settings
// file. Reads give their defaults, and a write never replaces it with a partial copy.
TEST(IniFile, SomethingThatIsNotASmallRegularFileIsLeftAloneAndDefaultsAreUsed) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.file("zero.ini").c_str()), 0);
    dir.write("huge.ini", "[Preferences]\nConfirmExit=0\n" + std::string(2 << 20, ';'));
    const struct {
        const char* name;
        const char* why;
    } cases[] = {{"fifo.ini", "is not a regular file"},
                 {"zero.ini", "is not a regular file"},
                 {"huge.ini", "is larger than 1 MB"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        struct stat before {};
        ASSERT_EQ(::stat(dir.file(c.name).c_str(), &before), 0);
        IniFile ini(dir.file(c.name));
        EXPECT_EQ(ini.read("Preferences", "ConfirmExit", "1"), "1");
        EXPECT_FALSE(ini.write("Preferences", "ConfirmExit", "0"));
        EXPECT_NE(ini.lastError().find(c.why), std::string::npos) << ini.lastError();
        struct stat after {};
        ASSERT_EQ(::stat(dir.file(c.name).c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_size, before.st_size);
    }
}

}  // namespace
}  // namespace quillet
