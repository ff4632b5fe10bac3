// The argument reader of the subcommands: both option spellings, flags, "--".
#include <gtest/gtest.h>

#include "app/cli/CliArguments.h"

namespace quillet::cli {
namespace {

const std::vector<OptionSpec> kSpecs = {{"--to", true}, {"--paths", false}};

TEST(CliArgumentsTest, OptionsInEitherSpellingFlagsAndPositionals) {
    auto p = parseArguments({"a.LSP", "--to", "/r", "x", "--paths", "y"}, kSpecs);
    ASSERT_TRUE(p) << p.error();
    EXPECT_EQ(p->positional, (std::vector<std::string>{"a.LSP", "x", "y"}));
    EXPECT_EQ(p->value("--to"), "/r");
    EXPECT_TRUE(p->has("--paths"));
    EXPECT_FALSE(p->help);

    p = parseArguments({"--to=/with=sign", "-"}, kSpecs);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->value("--to"), "/with=sign");
    EXPECT_EQ(p->positional, std::vector<std::string>{"-"});
    // An empty value is a value.
    EXPECT_EQ(parseArguments({"--to="}, kSpecs)->value("--to"), "");
}

TEST(CliArgumentsTest, DoubleDashMakesTheRestPositional) {
    auto p = parseArguments({"--paths", "--", "--to", "-h"}, kSpecs);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->positional, (std::vector<std::string>{"--to", "-h"}));
    EXPECT_FALSE(p->help);
    EXPECT_FALSE(p->value("--to"));
}

TEST(CliArgumentsTest, WholeNumbersAreReadStrictly) {
    EXPECT_EQ(parseWholeNumber("0", 0, 255), 0);
    EXPECT_EQ(parseWholeNumber("255", 0, 255), 255);
    for (const char* bad : {"256", "-1", "", "1.5", " 3", "3 ", "0x10", "99999999999999999999"})
        EXPECT_FALSE(parseWholeNumber(bad, 0, 255)) << bad;
}

}  // namespace
}  // namespace quillet::cli
