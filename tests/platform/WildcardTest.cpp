#include <gtest/gtest.h>

#include "platform/Wildcard.h"

namespace quillet {
namespace {

TEST(Wildcard, StarAndQuestionMark) {
    EXPECT_TRUE(matchesMask("ABCD0001.LSP", "ABCD????.LSP"));
    EXPECT_FALSE(matchesMask("ABCD001.LSP", "ABCD????.LSP"));  // '?' is exactly one character
    EXPECT_FALSE(matchesMask("ABCD00001.LSP", "ABCD????.LSP"));
    EXPECT_TRUE(matchesMask("report.final.doc", "*.doc"));  // '*' runs over dots
    EXPECT_FALSE(matchesMask("report.docx", "*.doc"));
    EXPECT_TRUE(matchesMask("a", "*a*"));
    EXPECT_TRUE(matchesMask("xaxbxc", "*a*b*c"));
    EXPECT_FALSE(matchesMask("xaxbxcx", "*a*b*c"));
    EXPECT_TRUE(matchesMask("QLTTemp.___", "QLTTemp.___"));
    EXPECT_FALSE(matchesMask("file.txt", ""));
    EXPECT_FALSE(matchesMask("file.txt", "   "));
}

TEST(Wildcard, IgnoresCase) {
    EXPECT_TRUE(matchesMask("REPORT.DOC", "*.doc"));
    EXPECT_TRUE(matchesMask("abcd0001.lsp", "ABCD????.LSP"));
    EXPECT_TRUE(matchesMask("ÄRGER.TXT", "ärger.*"));  // Latin-1 letters fold too
    EXPECT_TRUE(matchesMask("ПРИВЕТ.txt", "привет.TXT"));
    EXPECT_TRUE(sameTextIgnoringCase("Straße", "STRAßE"));
    EXPECT_FALSE(sameTextIgnoringCase("abc", "abd"));
    EXPECT_FALSE(sameTextIgnoringCase("abc", "abcd"));
}

TEST(Wildcard, DotRules) {
    EXPECT_TRUE(matchesMask("Makefile", "*.*"));  // every name, with or without a dot
    EXPECT_TRUE(matchesMask(".profile", "*.*"));
    EXPECT_TRUE(matchesMask("report", "report.*"));
    EXPECT_TRUE(matchesMask("report.txt", "report.*"));
    EXPECT_FALSE(matchesMask("reports", "report.*"));
    EXPECT_TRUE(matchesMask("README", "*."));
    EXPECT_FALSE(matchesMask("a.txt", "*."));
    EXPECT_TRUE(matchesEverything("*.*"));
    EXPECT_FALSE(matchesEverything("*.doc"));
}

TEST(Wildcard, QuestionMarkTakesOneCharacterNotOneByte) {
    EXPECT_TRUE(matchesMask("é.txt", "?.txt"));
    EXPECT_FALSE(matchesMask("é.txt", "??.txt"));
    EXPECT_TRUE(matchesMask("日本.doc", "*.doc"));
    // Bytes that are not UTF-8 still match themselves and '?' without crashing.
    EXPECT_TRUE(matchesMask(std::string("a\xff"
                                        "b"),
                            "a?b"));
    EXPECT_FALSE(matchesMask(std::string("a\xc3"), "a?b"));
}

}  // namespace
}  // namespace quillet
