// Taking a component's mask text apart into single masks.
#include <gtest/gtest.h>

#include "backup/SplitMaskList.h"

namespace quillet {
namespace {

MaskList split(std::string_view text) {
    MaskList masks{"left over"};
    SplitMaskList(text, masks);
    return masks;
}

TEST(SplitMaskList, BlankAfterACommaGoesAndTwoCommasGiveOneBlankMask) {
    EXPECT_EQ(split("*.doc, *.txt,,*.dat"), (MaskList{"*.doc", "*.txt", "", "*.dat"}));
    EXPECT_EQ(split("   *.doc  ,  *.txt  "), (MaskList{"*.doc", "*.txt"}));
}

TEST(SplitMaskList, OneMaskPerLineEqualsCommasOnOneLine) {
    const MaskList expected{"*.doc", "*.txt", "*.dat"};
    EXPECT_EQ(split("*.doc,*.txt,*.dat"), expected);
    EXPECT_EQ(split("*.doc\r\n*.txt\r\n*.dat"), expected);
    EXPECT_EQ(split("*.doc\n\n   \n*.txt\r*.dat\n"), expected);  // blank lines dropped, any line break
    EXPECT_EQ(split("*.doc,\r\n*.txt,   \r\n*.dat"), expected);  // a line's own comma is not doubled
    EXPECT_EQ(split("*.doc, *.txt\n*.dat"), expected);
}

TEST(SplitMaskList, LongMasksAreCutToTwentyCharacters) {
    EXPECT_EQ(split("abcdefghijklmnopqrstuvwxyz.txt,*.c"), (MaskList{"abcdefghijklmnopqrst", "*.c"}));
    // Characters, not bytes: a two-byte letter is never split in half.
    std::string accented;
    for (int i = 0; i < 25; ++i) accented += "\xC3\xA9";
    const MaskList masks = split(accented);
    ASSERT_EQ(masks.size(), 1u);
    EXPECT_EQ(masks[0], accented.substr(0, 40));
    // Leading blanks go before the cut, so they do not eat into the twenty.
    EXPECT_EQ(split("     12345678901234567890XYZ"), (MaskList{"12345678901234567890"}));
}

TEST(SplitMaskList, TabStartsAPieceAndEmptyTextGivesNoMasks) {
    EXPECT_EQ(split("junk\t*.doc, *.txt"), (MaskList{"*.doc", "*.txt"}));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split(" \r\n  \n").empty());
    EXPECT_EQ(split(","), (MaskList{""}));
}

}  // namespace
}  // namespace quillet
