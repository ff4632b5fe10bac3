// Every wrong command line is refused with exit status 2 and a message on standard error
// that names the problem; nothing is written, nothing waits for an answer.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "support/TempDir.h"

namespace quillet::test {
namespace {

class CliUsageTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = work.mkdir("home");
        archive = work.write("not-an-archive.LSP", "plain text, not an archive");
        ASSERT_EQ(run({"project", "add", "Known", "--dest", "dest", "--prefix", "KNOW"}).status, 0);
    }
    CliResult run(const std::vector<std::string>& args) { return runQuillet(home, work.path(), args); }

    TempDir work;
    std::string home, archive;
};

TEST_F(CliUsageTest, EachUsageErrorNamesTheProblemAndExitsTwo) {
    struct Case {
        std::vector<std::string> args;
        std::string named;  // part of the message
    };
    const std::vector<Case> cases = {
        {{"project"}, "list, add, remove"},
        {{"project", "rename", "Known"}, "unknown action \"rename\""},
        {{"project", "add"}, "missing NAME"},
        {{"project", "add", "A", "B"}, "unexpected argument \"B\""},
        {{"project", "add", "New", "--dest"}, "--dest needs a value"},
        {{"project", "add", "New", "--colour", "red"}, "unknown option --colour"},
        {{"project", "add", "New", "--max", "256"}, "--max takes a whole number from 0 to 255"},
        {{"project", "add", "New", "--max", "3x"}, "not \"3x\""},
        {{"project", "add", "New", "--dest", "d", "--dest", "e"}, "--dest is given twice"},
        {{"project", "add", "New", "--favorites", "--prefix", "FAVS"}, "leave out --prefix and --max"},
        {{"project", "list", "--recurse"}, "unknown option --recurse"},
        {{"project", "remove", "Nobody"}, "no project named \"Nobody\""},
        {{"component", "add", "Known", "--mask", "*.*"}, "missing --path DIR"},
        {{"component", "add", "Known", "--path", "x"}, "missing --mask"},
        {{"component", "add", "Known", "--path", "x", "--mask", " , "}, "missing --mask"},
        {{"component", "add", "Nobody", "--path", "x", "--mask", "*.*"}, "no project named \"Nobody\""},
        {{"component", "add", "Known", "--path", "x", "--mask", "*.*", "--exclude=yes"}, "--exclude takes no value"},
        {{"component", "list"}, "missing PROJECT"},
        {{"component", "remove", "Known"}, "missing --path DIR"},
        {{"component", "remove", "Known", "--path", "/nothing/here"}, "has no component for /nothing/here"},
        {{"preview", "Nobody"}, "no project named"},
        {{"backup", "Nobody"}, "Improper Project Name Passed"},
        {{"backup"}, "missing PROJECT"},
        {{"archives", "Nobody"}, "no project named"},
        {{"contents"}, "missing ARCHIVE"},
        {{"contents", "missing.LSP"}, "no archive file " + work.path() + "/missing.LSP"},
        {{"test", "missing.LSP"}, "no archive file"},
        {{"restore", "not-an-archive.LSP"}, "missing --to DIR"},
        {{"help", "frobnicate"}, "no command \"frobnicate\""},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        const CliResult r = run(c.args);
        EXPECT_EQ(r.status, 2) << line << "\n" << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << line << "\n" << r.err;
        EXPECT_EQ(r.out, "") << line;
    }
    // Nothing of the refused commands was stored.
    EXPECT_EQ(run({"project", "list"}).out.find("New"), std::string::npos);
}

TEST_F(CliUsageTest, FailedOperationsExitOne) {
    // Not an archive: the listing fails.
    const CliResult bad = run({"contents", archive});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("could not be read"), std::string::npos) << bad.err;
    // A project without components has nothing to back up; a name is not used twice.
    EXPECT_EQ(run({"backup", "known"}).status, 1);
    const CliResult twice = run({"project", "add", "KNOWN", "--dest", "dest"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("already a project named \"Known\""), std::string::npos) << twice.err;
    // A destination that cannot be created.
    work.write("file", "x");
    const CliResult blocked = run({"project", "add", "Blocked", "--dest", "file/below"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("Directory Not Found: " + work.path() + "/file/below/"), std::string::npos)
        << blocked.err;
    EXPECT_EQ(run({"project", "list"}).out.find("Blocked"), std::string::npos);
}

TEST_F(CliUsageTest, HelpExplainsEachCommand) {
    const CliResult overview = run({"help"});
    EXPECT_EQ(overview.status, 0);
    for (const char* words :
         {"project add", "component remove", "preview", "backup", "archives", "contents", "test", "restore"})
        EXPECT_NE(overview.out.find(words), std::string::npos) << words;

    const CliResult add = run({"project", "add", "--help"});
    EXPECT_EQ(add.status, 0);
    EXPECT_EQ(add.out.rfind("Usage: quillet project add NAME", 0), 0u) << add.out;
    EXPECT_EQ(run({"help", "project", "add"}).out, add.out);
    const CliResult restore = run({"restore", "-h"});
    EXPECT_NE(restore.out.find("--overwrite"), std::string::npos);
    const CliResult group = run({"component", "--help"});
    EXPECT_NE(group.out.find("quillet component add"), std::string::npos);
    EXPECT_NE(group.out.find("quillet component remove"), std::string::npos);

    // Without a subcommand the program's own flags apply as before.
    const CliResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("Quillet v", 0), 0u);
}

}  // namespace
}  // namespace quillet::test
