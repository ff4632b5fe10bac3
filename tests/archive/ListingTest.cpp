#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>

#include "ArchiveTestSupport.h"
#include "catalog/ArchiveComment.h"
#include "framework/Clock.h"
#include "lsp/lsp.h"

namespace quillet::test {
namespace {

std::string crcText(const std::string& data) {
    const uLong crc = ::crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    char text[9];
    std::snprintf(text, sizeof text, "%08lx", crc);
    return text;
}

std::string compressible(std::size_t size) {
    std::string s;
    while (s.size() < size) s += "The quick brown fox jumps over the lazy dog. ";
    s.resize(size);
    return s;
}

using Listing = ArchiveFixture;

TEST_F(Listing, ItemsInLibraryOrderWithPerItemAndTotalFigures) {
    const std::string text = compressible(20000);
    const std::string noise = randomBytes(5000, 7);
    const std::string a = dir.write("files/letter.txt", text);
    const std::string b = dir.write("files/noise.bin", noise);
    const std::string c = dir.write("files/README", "read me");
    archive->ARCHIVE_NAME = dir.file("three.lsp");
    addFiles({a, b, c});
    ASSERT_TRUE(unzipTestPasses(archive->ARCHIVE_NAME));

    ASSERT_EQ(archive->LSPQ.size(), 3u);
    EXPECT_EQ(archive->S_COUNT_FILES, 3);
    std::int64_t unpacked = 0, packed = 0;
    for (std::size_t i = 0; i < archive->LSPQ.size(); ++i) {
        const LSPQEntry& e = archive->LSPQ[i];
        EXPECT_EQ(e.SORT_ORIGINAL_ORDER, static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(e.MARK, 0);
        EXPECT_EQ(e.RATIO, lspclass::Ratio(e.COMPRESSED_SIZE, e.UNCOMPRESSED_SIZE));
        unpacked += e.UNCOMPRESSED_SIZE;
        packed += e.COMPRESSED_SIZE;
    }
    EXPECT_EQ(archive->S_UNCOMPRESSED_SIZE, unpacked);
    EXPECT_EQ(archive->S_COMPRESSED_SIZE, packed);
    EXPECT_EQ(archive->S_COMPRESSION_RATIO, lspclass::Ratio(packed, unpacked));
    EXPECT_EQ(unpacked, static_cast<std::int64_t>(text.size() + noise.size() + 7));

    const LSPQEntry* letter = entry("letter.txt");
    ASSERT_NE(letter, nullptr);
    EXPECT_EQ(letter->CRC32, crcText(text));
    EXPECT_EQ(letter->EXTENSION, "TXT");
    EXPECT_EQ(letter->COMPRESSION_METHOD, "superiorS");
    EXPECT_LT(letter->RATIO, -50.0);
    EXPECT_EQ(letter->ITEM_PATH_NAME, dir.path() + "/files/") << "full paths by default";
    const LSPQEntry* readme = entry("README");
    ASSERT_NE(readme, nullptr);
    EXPECT_EQ(readme->EXTENSION, "");
    EXPECT_EQ(readme->CRC32, crcText("read me"));
    EXPECT_EQ(entry("noise.bin")->COMPRESSION_METHOD, "stored") << "noise does not shrink";
}

TEST_F(Listing, MethodAndEngineNamesOfRealItems) {
    const std::string text = compressible(30000);
    archive->ARCHIVE_NAME = dir.file("methods.lsp");
    archive->PATH_INFORMATION = 1;
    struct Case {
        const char* name;
        int method, engine;
        const char* listed;
    };
    const Case cases[] = {
        {"normal.txt", 1, 2, "normal"}, {"fast.txt", 2, 1, "superiorF"}, {"standard.txt", 2, 2, "superiorS"},
        {"max.txt", 2, 3, "superiorM"}, {"store.txt", 3, 2, "stored"},   {"fallback.txt", 0, 0, "superiorM"},
    };
    for (const Case& c : cases) {
        archive->COMPRESSION_METHOD = static_cast<std::uint8_t>(c.method);
        archive->COMPRESSION_ENGINE = static_cast<std::uint8_t>(c.engine);
        addFiles({dir.write(std::string("m/") + c.name, text)});
    }
    ASSERT_TRUE(unzipTestPasses(archive->ARCHIVE_NAME));
    for (const Case& c : cases) {
        const LSPQEntry* e = entry(c.name);
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(e->COMPRESSION_METHOD, c.listed) << c.name;
        EXPECT_EQ(e->ITEM_PATH_NAME, "") << "no path information";
    }
    EXPECT_EQ(entry("store.txt")->RATIO, 0.0);
}

TEST_F(Listing, TheCommentItemIsNeitherListedNorCounted) {
    ManualClock clock;
    const std::string program = dir.mkdir("program");
    archive->ARCHIVE_NAME = dir.file("only-comment.lsp");
    WriteArchiveComment(*archive, program, "notes only", clock);
    ASSERT_TRUE(unzipTestPasses(archive->ARCHIVE_NAME));
    archive->ReadDirectory();
    EXPECT_TRUE(archive->LSPQ.empty());
    EXPECT_EQ(archive->S_COUNT_FILES, 0);
    EXPECT_EQ(archive->S_UNCOMPRESSED_SIZE, 0);
    EXPECT_EQ(archive->S_COMPRESSED_SIZE, 0);
    EXPECT_EQ(archive->S_COMPRESSION_RATIO, 0.0);

    // With files beside it, the order numbers and totals still leave it out.
    addFiles({dir.write("one.txt", compressible(1000)), dir.write("two.txt", compressible(3000))});
    ASSERT_EQ(archive->LSPQ.size(), 2u);
    EXPECT_EQ(archive->S_COUNT_FILES, 2);
    EXPECT_EQ(archive->S_UNCOMPRESSED_SIZE, 4000);
    EXPECT_EQ(archive->LSPQ[0].SORT_ORIGINAL_ORDER, 1);
    EXPECT_EQ(archive->LSPQ[1].SORT_ORIGINAL_ORDER, 2);
}

TEST_F(Listing, AFailedListingShowsArchiveErrorAndEmptiesTheList) {
    archive->ARCHIVE_NAME = dir.file("good.lsp");
    addFiles({dir.write("a.txt", "alpha")});
    ASSERT_EQ(archive->LSPQ.size(), 1u);

    const std::string bogus = dir.write("bogus.lsp", std::string(4096, 'x'));
    archive->ARCHIVE_NAME = bogus;
    dialogs.expect(bogus, 1);
    const int beepsBefore = dialogs.beeps();
    archive->ReadDirectory();
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    ASSERT_FALSE(dialogs.shown().empty());
    const MessageRequest shown = dialogs.last();
    EXPECT_EQ(shown.title, "Archive Error");
    EXPECT_EQ(shown.icon, Icon::Exclamation);
    EXPECT_EQ(dialogs.beeps(), beepsBefore + 1);
    // First line: the error text of a status above 1.
    const std::string firstLine = shown.text.substr(0, shown.text.find('|'));
    EXPECT_FALSE(firstLine.empty());
    EXPECT_NE(firstLine.find_first_not_of(' '), std::string::npos);
    EXPECT_TRUE(archive->LSPQ.empty());
    EXPECT_EQ(archive->S_COUNT_FILES, 0);

    // A missing archive is reported the same way and names the path.
    archive->ARCHIVE_NAME = dir.file("missing.lsp");
    dialogs.expect("missing.lsp", 1);
    archive->ReadDirectory();
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    EXPECT_EQ(dialogs.last().text.substr(0, dialogs.last().text.find('|')), lspclass::ErrorText(LSP_E_OPEN_ARCHIVE));
}

TEST_F(Listing, HostControlsFollowTheCountAndZeroMeansNone) {
    std::vector<std::pair<std::int32_t, bool>> calls;
    archive->enableControl = [&](std::int32_t control, bool on) { calls.emplace_back(control, on); };
    archive->LSPADDCONTROL = 7;
    archive->LSPEXTRACTCONTROL = 9;
    archive->ARCHIVE_NAME = dir.file("controls.lsp");
    addFiles({dir.write("a.txt", "alpha")});
    EXPECT_EQ(calls, (std::vector<std::pair<std::int32_t, bool>>{{7, true}, {9, true}}));

    calls.clear();
    archive->Delete(0, 1, 0);
    EXPECT_EQ(calls, (std::vector<std::pair<std::int32_t, bool>>{{7, false}, {9, false}}));
}

}  // namespace
}  // namespace quillet::test
