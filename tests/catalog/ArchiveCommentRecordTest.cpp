// The 1016-byte comment record that travels inside every archive.
#include <gtest/gtest.h>

#include "catalog/ArchiveCommentRecord.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

TEST(ArchiveCommentRecord, ExactBytes) {
    ArchiveCommentRecord r;
    r.DATECREATED = 72687;    // 1 January 2000
    r.TIMECREATED = 8640000;  // 23:59:59.99
    r.NOTES = "Line one\r\nLine two   ";
    const std::string bytes = encodeArchiveComment(r);
    ASSERT_EQ(bytes.size(), 1016u);

    const std::string head(
        "\xEF\x1B\x01\x00"
        "\x00\xD6\x83\x00"
        "\0\0\0\0\0\0\0\0",
        16);
    EXPECT_EQ(bytes.substr(0, 16), head);
    EXPECT_EQ(bytes.substr(16, 18), "Line one\r\nLine two");
    EXPECT_EQ(bytes.substr(34), std::string(1016 - 34, ' ')) << "notes are space-padded, trailing spaces dropped";

    ArchiveCommentRecord negative;
    negative.DATECREATED = -2;
    EXPECT_EQ(encodeArchiveComment(negative).substr(0, 4), std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_EQ(encodeArchiveComment(ArchiveCommentRecord{}).substr(16), std::string(1000, ' '));
}

TEST(ArchiveCommentRecord, LongNotesAreCutAtACharacterBoundary) {
    ArchiveCommentRecord r;
    r.NOTES = std::string(998, 'a') + "€z";  // € would need bytes 998..1000
    std::string bytes = encodeArchiveComment(r);
    ASSERT_EQ(bytes.size(), 1016u);
    EXPECT_EQ(bytes.substr(16, 998), std::string(998, 'a'));
    EXPECT_EQ(bytes.substr(16 + 998), "  ") << "no half character at the end";

    r.NOTES = std::string(997, 'a') + "€z";  // € fills bytes 997..999 exactly
    bytes = encodeArchiveComment(r);
    EXPECT_EQ(bytes.substr(16 + 997), "€");
    EXPECT_EQ(decodeArchiveComment(bytes)->NOTES, std::string(997, 'a') + "€");

    r.NOTES = std::string(1200, 'b') + "   ";
    EXPECT_EQ(encodeArchiveComment(r).substr(16), std::string(1000, 'b'));
}

TEST(ArchiveCommentRecord, ReadingBack) {
    ArchiveCommentRecord r;
    r.DATECREATED = 80000;
    r.TIMECREATED = 1;
    r.NOTES = "Grüße\r\nnach Hause";
    auto back = decodeArchiveComment(encodeArchiveComment(r));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->DATECREATED, 80000);
    EXPECT_EQ(back->TIMECREATED, 1);
    EXPECT_EQ(back->NOTES, r.NOTES);

    // Records written with a single-byte character set, or padded with zero bytes.
    std::string old = encodeArchiveComment(ArchiveCommentRecord{});
    old.replace(16, 5,
                "Gr\xFC\xDF"
                "e");
    old.replace(21, 10, std::string(10, '\0'));
    EXPECT_EQ(decodeArchiveComment(old)->NOTES, "Grüße");

    auto shortRecord = decodeArchiveComment(std::string(1015, ' '));
    ASSERT_FALSE(shortRecord);
    EXPECT_NE(shortRecord.error().find("1015 bytes"), std::string::npos);
}

TEST(ArchiveCommentRecord, TheCommentFileHoldsExactlyOneRecord) {
    test::TempDir dir;
    const std::string path = dir.file("LSPComments.inb");
    dir.write("LSPComments.inb", std::string(5000, 'x'));  // an earlier, larger file is replaced
    ArchiveCommentRecord r;
    r.DATECREATED = 81234;
    r.TIMECREATED = 4320001;
    r.NOTES = "weekly";
    ASSERT_TRUE(writeArchiveCommentFile(path, r));
    const std::string bytes = test::readFile(path);
    ASSERT_EQ(bytes.size(), 1016u);
    EXPECT_EQ(bytes.substr(8, 8), std::string(8, '\0'));
    auto back = readArchiveCommentFile(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->NOTES, "weekly");
    EXPECT_EQ(back->TIMECREATED, 4320001);

    EXPECT_FALSE(readArchiveCommentFile(dir.file("missing.inb")));
    dir.write("short.inb", "tiny");
    EXPECT_FALSE(readArchiveCommentFile(dir.file("short.inb")));
}

}  // namespace
}  // namespace quillet
