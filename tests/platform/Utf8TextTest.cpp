#include <gtest/gtest.h>

#include "platform/Utf8Text.h"

namespace quillet {
namespace {

TEST(Utf8Text, WellFormednessAndLength) {
    EXPECT_TRUE(isValidUtf8("plain ÄÖÜ € 𝄞"));
    EXPECT_FALSE(isValidUtf8("\xC3"));              // cut short
    EXPECT_FALSE(isValidUtf8("\x80"));              // stray continuation
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_EQ(utf8Length("aé€𝄞"), 4u);
}

TEST(Utf8Text, CutsNeverSplitACharacter) {
    const std::string text = "ab€d";  // € is 3 bytes: positions 2..4
    EXPECT_EQ(utf8CutBytes(text, 2), "ab");
    EXPECT_EQ(utf8CutBytes(text, 3), "ab");
    EXPECT_EQ(utf8CutBytes(text, 4), "ab");
    EXPECT_EQ(utf8CutBytes(text, 5), "ab€");
    EXPECT_EQ(utf8CutBytes(text, 99), text);
    EXPECT_EQ(utf8CutChars(text, 3), "ab€");
    EXPECT_EQ(utf8CutChars(text, 0), "");
}

TEST(Utf8Text, Latin1AndTrimming) {
    EXPECT_EQ(latin1ToUtf8("caf\xE9"), "café");
    EXPECT_EQ(trimRight("a b  "), "a b");
    EXPECT_EQ(trimRight("   "), "");
}

}  // namespace
}  // namespace quillet
