#include <gtest/gtest.h>

#include <cstring>

#include "ArchiveTestSupport.h"
#include "lsp/lsp.h"
#include "platform/DateCodes.h"
#include "platform/FileSystem.h"

namespace quillet::test {
namespace {

LSP_ITEM record(const char* name, std::uint16_t method = LSP_METHOD_SUPERIOR, std::uint16_t attributes = 0) {
    LSP_ITEM item{};
    std::strncpy(item.name, name, sizeof item.name - 1);
    item.method = method;
    item.attributes = attributes;
    return item;
}

TEST(ItemDerivation, ExtensionIsTheUpperCasedTailCutToThree) {
    const std::pair<const char*, const char*> cases[] = {
        {"README", ""},        {"backup.tar.gz", "GZ"}, {"notes.text", "TEX"}, {"archive.", ""},
        {"Photo.Jpeg", "JPE"}, {".profile", "PRO"},     {"a.b", "B"},
    };
    for (auto [name, extension] : cases) {
        const LSP_ITEM item = record(name);
        EXPECT_EQ(lspclass::EntryFromItem(&item).EXTENSION, extension) << name;
    }
}

TEST(ItemDerivation, DosDateAndTimeBecomeDayNumberAndHundredths) {
    LSP_ITEM item = record("f");
    item.dosTime = static_cast<std::uint16_t>((10 << 11) | (15 << 5) | (30 / 2));
    item.dosDate = static_cast<std::uint16_t>((20 << 9) | (2 << 5) | 29);
    const LSPQEntry e = lspclass::EntryFromItem(&item);
    EXPECT_EQ(e.LAST_MOD_FILE_TIME, 3693001);
    const CivilDate d = civilDate(e.LAST_MOD_FILE_DATE);
    EXPECT_EQ(d.year, 2000);
    EXPECT_EQ(d.month, 2);
    EXPECT_EQ(d.day, 29);

    item.dosTime = 0;
    item.dosDate = static_cast<std::uint16_t>((0 << 9) | (1 << 5) | 1);
    const LSPQEntry first = lspclass::EntryFromItem(&item);
    EXPECT_EQ(first.LAST_MOD_FILE_TIME, 1) << "midnight is 1, not 0";
    EXPECT_EQ(first.LAST_MOD_FILE_DATE, dateNumber(1980, 1, 1));
}

TEST(ItemDerivation, CrcIsEightLowerCaseHexDigits) {
    LSP_ITEM item = record("f");
    item.crc32 = 0xA1B2C3D;
    EXPECT_EQ(lspclass::EntryFromItem(&item).CRC32, "0a1b2c3d");
    item.crc32 = 0xFFFFFFFF;
    EXPECT_EQ(lspclass::EntryFromItem(&item).CRC32, "ffffffff");
    item.crc32 = 0;
    EXPECT_EQ(lspclass::EntryFromItem(&item).CRC32, "00000000");
}

TEST(ItemDerivation, MethodNamesAndAttributeLetters) {
    struct Case {
        std::uint16_t method, attributes;
        const char* name;
    };
    const Case cases[] = {
        {1, 0, "normal"},
        {2, LSP_ATTR_FAST, "superiorF"},
        {2, LSP_ATTR_MAXIMUM, "superiorM"},
        {2, LSP_ATTR_FAST | LSP_ATTR_MAXIMUM, "superiorF"},
        {2, 0, "superiorS"},
        {9, 0, "stored"},
        {0x100 + 12, 0, "unknown"},
        {0, 0, "unknown"},
    };
    for (const Case& c : cases) {
        const LSP_ITEM item = record("f", c.method, c.attributes);
        EXPECT_EQ(lspclass::EntryFromItem(&item).COMPRESSION_METHOD, c.name) << c.method << "/" << c.attributes;
    }
    LSP_ITEM item = record("f", 1, LSP_ATTR_READ_ONLY | LSP_ATTR_ARCHIVE);
    EXPECT_EQ(lspclass::EntryFromItem(&item).GENERAL_PURPOSE_BIT_FLAG, "r  a");
    item.attributes = LSP_ATTR_HIDDEN | LSP_ATTR_SYSTEM;
    EXPECT_EQ(lspclass::EntryFromItem(&item).GENERAL_PURPOSE_BIT_FLAG, " hs ");
    item.attributes = 0x10 | LSP_ATTR_FAST;  // bits without a letter
    EXPECT_EQ(lspclass::EntryFromItem(&item).GENERAL_PURPOSE_BIT_FLAG, "    ");
}

TEST(ItemDerivation, SizesUseTheHighWords) {
    LSP_ITEM item = record("big.img", 9);
    item.unpackedSize = 0x00000010;
    item.unpackedSizeHigh = 0x2;
    item.packedSize = 0x00000020;
    item.packedSizeHigh = 0x2;
    const LSPQEntry e = lspclass::EntryFromItem(&item);
    EXPECT_EQ(e.UNCOMPRESSED_SIZE, 0x200000010LL);
    EXPECT_EQ(e.COMPRESSED_SIZE, 0x200000020LL);
    EXPECT_DOUBLE_EQ(e.RATIO, 0.0) << "16 bytes more of 8 GiB rounds to 0.00";
}

TEST(Ratio, ShrinkIsAPercentageGrowthIsNot) {
    EXPECT_DOUBLE_EQ(lspclass::Ratio(30, 100), -70.00);
    EXPECT_DOUBLE_EQ(lspclass::Ratio(110, 100), 0.10);
    EXPECT_DOUBLE_EQ(lspclass::Ratio(100, 100), 0.00);
    EXPECT_DOUBLE_EQ(lspclass::Ratio(1, 3), -66.67);  // rounded, not cut
    EXPECT_DOUBLE_EQ(lspclass::Ratio(0, 100), -100.00);
    EXPECT_DOUBLE_EQ(lspclass::Ratio(300, 100), 2.00);
    EXPECT_DOUBLE_EQ(lspclass::Ratio(0, 0), 0.00);
    EXPECT_DOUBLE_EQ(lspclass::Ratio(22, 0), 0.00) << "nothing to compare with";
}

TEST(ErrorTexts, KnownUnknownAndSilent) {
    EXPECT_EQ(lspclass::ErrorText(0), "");
    EXPECT_EQ(lspclass::ErrorText(1), "");
    EXPECT_EQ(lspclass::ErrorText(18), "Unknown error - #18");
    EXPECT_EQ(lspclass::ErrorText(-7), "Unknown error - #-7");
    EXPECT_EQ(lspclass::ErrorText(-2), "Low Level interupt");
    EXPECT_EQ(lspclass::ErrorText(-30), "CANCEL button pressed");
    EXPECT_EQ(lspclass::ErrorText(17), "Output file write failure (was replacing the original LSP file)");
    EXPECT_EQ(lspclass::ErrorText(42), "Load library error");
    EXPECT_EQ(lspclass::ErrorText(41), "changed while being read");  // a file that would not hold still
    EXPECT_EQ(lspclass::ErrorText(43), "Unknown error - #43");
}

// The item's modification time travels from the file through the library's DOS words
// into the list.
using ItemFromArchive = ArchiveFixture;

TEST_F(ItemFromArchive, ModificationTimeOfARealFile) {
    const std::string file = dir.write("leap.txt", "29 February");
    const std::time_t when = toTimeT(dateNumber(2000, 2, 29), timeNumber(10, 15, 31));
    ASSERT_TRUE(FileSystem().setModificationTime(file, when));
    archive->ARCHIVE_NAME = dir.file("dates.lsp");
    addFiles({file});
    ASSERT_EQ(archive->LSPQ.size(), 1u);
    EXPECT_EQ(archive->LSPQ[0].LAST_MOD_FILE_DATE, dateNumber(2000, 2, 29));
    EXPECT_EQ(archive->LSPQ[0].LAST_MOD_FILE_TIME, 3693001) << "two-second steps: 10:15:31 lists as 10:15:30";
}

}  // namespace
}  // namespace quillet::test
