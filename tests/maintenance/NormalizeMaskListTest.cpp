// A typed mask text becomes one canonical comma list, whatever separators and blanks
// the user used; the result splits back into the same masks.
#include <gtest/gtest.h>

#include "backup/SplitMaskList.h"
#include "maintenance/NormalizeMaskList.h"

namespace quillet {
namespace {

std::string normalized(std::string text, std::size_t width = MaskTextWidth) {
    NormalizeMaskList(text, width);
    return text;
}

TEST(NormalizeMaskListTest, CommasLinesAndStrayBlanksGiveOneCommaList) {
    EXPECT_EQ(normalized("*.doc,*.txt\r\n*.dat"), "*.doc, *.txt, *.dat");
    EXPECT_EQ(normalized("*.doc,  *.txt ,*.dat"), "*.doc, *.txt, *.dat");
    EXPECT_EQ(normalized("*.doc\n*.txt\n"), "*.doc, *.txt");
    EXPECT_EQ(normalized("  *.log  "), "*.log");
    EXPECT_EQ(normalized(""), "");
    EXPECT_EQ(normalized(" , "), "");
}

TEST(NormalizeMaskListTest, EachMaskIsCutToTwentyCharacters) {
    EXPECT_EQ(normalized("abcdefghijklmnopqrstuvwxy.txt, *.c"), "abcdefghijklmnopqrst, *.c");
    // Twenty characters, not twenty bytes: a name of accented letters keeps them whole.
    EXPECT_EQ(normalized("ééééééééééééééééééééé.txt"), "éééééééééééééééééééé");
}

TEST(NormalizeMaskListTest, TheWholeTextKeepsToItsWidthWithoutHalfCharacters) {
    std::string many;
    for (int i = 0; i < 100; ++i) many += "*.x" + std::to_string(i) + ",";
    const std::string out = normalized(many, 40);
    EXPECT_EQ(out, "*.x0, *.x1, *.x2, *.x3, *.x4, *.x5, *.x6");
    EXPECT_LE(out.size(), 40u);
    EXPECT_EQ(normalized("*.é, *.é", 5), "*.é,");
}

TEST(NormalizeMaskListTest, NormalizingTwiceChangesNothingAndKeepsTheMasks) {
    for (const char* text : {"*.doc,*.txt\n*.dat", "a , b,,c", "*.*", "x\r\n\r\ny, z "}) {
        const std::string once = normalized(text);
        EXPECT_EQ(normalized(once), once) << text;
        MaskList before, after;
        SplitMaskList(text, before);
        SplitMaskList(once, after);
        EXPECT_EQ(before, after) << text;
    }
}

}  // namespace
}  // namespace quillet
