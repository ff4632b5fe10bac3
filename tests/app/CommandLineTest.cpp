#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace quillet {
namespace {

TEST(CommandLine, ProjectNameIsUpperCasedAndCutToTwentyCharacters) {
    EXPECT_EQ(parseCommandLine({"-p=myproject"}).projectName, "MYPROJECT");
    EXPECT_EQ(parseCommandLine({"-P=MYPROJECT"}).projectName, "MYPROJECT");
    EXPECT_EQ(parseCommandLine({"-P=abcdefghijklmnopqrstuvwxyz"}).projectName, "ABCDEFGHIJKLMNOPQRST");
    // A multi-byte character is never cut in two.
    EXPECT_EQ(parseCommandLine({"-P=aaaaaaaaaaaaaaaaaaa\xc3\xa9xyz"}).projectName, "AAAAAAAAAAAAAAAAAAA\xc3\xa9");
    EXPECT_TRUE(parseCommandLine({"-P=x"}).unattended());
    EXPECT_FALSE(parseCommandLine({}).unattended());
    EXPECT_FALSE(parseCommandLine({"-P"}).unattended());
    EXPECT_FALSE(parseCommandLine({"-P=   "}).unattended());
}

TEST(CommandLine, MinimizeOnlyForTrueInAnyCase) {
    EXPECT_FALSE(parseCommandLine({"MINIMIZE"}).minimize);
    EXPECT_FALSE(parseCommandLine({"MINIMIZE=YES"}).minimize);
    EXPECT_FALSE(parseCommandLine({"MINIMIZE=1"}).minimize);
    EXPECT_TRUE(parseCommandLine({"minimize=true"}).minimize);
    EXPECT_TRUE(parseCommandLine({"Minimize=TrUe"}).minimize);
    // A project flag alongside does not stop the unattended run.
    const CommandLine both = parseCommandLine({"-P=Accounts", "MINIMIZE=TRUE"});
    EXPECT_EQ(both.projectName, "ACCOUNTS");
    EXPECT_TRUE(both.unattended());
}

TEST(CommandLine, TokensSplitAtCommasOutsideQuotes) {
    const auto tokens = tokenizeArguments({"-P=\"My, Project\",MINIMIZE=TRUE", "--help"});
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].flag, "-P");
    EXPECT_EQ(tokens[0].value.value_or("?"), "My, Project");
    EXPECT_EQ(tokens[1].flag, "MINIMIZE");
    EXPECT_EQ(tokens[1].value.value_or("?"), "TRUE");
    EXPECT_EQ(tokens[2].flag, "--help");
    EXPECT_FALSE(tokens[2].value.has_value());

    // The shell has already removed the quotes of -P="My Project": one argument, one token.
    EXPECT_EQ(parseCommandLine({"-P=My Project"}).projectName, "MY PROJECT");
    // An empty value is a value; blanks around comma-separated tokens are dropped.
    const auto t2 = tokenizeArguments({"A=, B"});
    ASSERT_EQ(t2.size(), 2u);
    EXPECT_EQ(t2[0].value.value_or("?"), "");
    EXPECT_EQ(t2[1].flag, "B");
}

TEST(CommandLine, FlagsWithoutRegardToCaseAndUnknownKept) {
    const CommandLine cl = parseCommandLine({"--VERSION", "--Help", "--console", "-x=1"});
    EXPECT_TRUE(cl.version);
    EXPECT_TRUE(cl.help);
    EXPECT_TRUE(cl.console);
    ASSERT_EQ(cl.unknown.size(), 1u);
    EXPECT_EQ(cl.unknown[0], "-x=1");
}

}  // namespace
}  // namespace quillet
