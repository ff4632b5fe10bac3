#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "ArchiveTestSupport.h"
#include "lsp/lsp.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"

namespace quillet::test {
namespace {

// key=value lines of one section, in file order.
std::vector<std::pair<std::string, std::string>> sectionLines(const std::string& text, const std::string& section) {
    std::vector<std::pair<std::string, std::string>> lines;
    std::istringstream in(text);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        const auto eq = line.find('=');
        if (inside && eq != std::string::npos) lines.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return lines;
}

using Settings = ArchiveFixture;

TEST_F(Settings, MissingFileGivesTheDefaultsAndThePlatformTemporaryFolder) {
    EXPECT_EQ(archive->INIFILENAME, "LSPprefs.ini");
    EXPECT_EQ(archive->settingsPath(), dir.file("LSPprefs.ini"));
    EXPECT_EQ(archive->COMPRESSION_METHOD, 2);
    EXPECT_EQ(archive->COMPRESSION_ENGINE, 2);
    EXPECT_EQ(archive->PATH_INFORMATION, 2);
    EXPECT_EQ(archive->CREATE_DIRECTORY, 0);
    EXPECT_EQ(archive->UNPACK_OVERWRITE_OPTION, 2);
    EXPECT_EQ(archive->PACK_OVERWRITE_OPTION, 2);
    EXPECT_EQ(archive->USE_PATH_INFO, 1);
    EXPECT_EQ(archive->PACK_QUIET_MODE_FLAG, 0);
    EXPECT_EQ(archive->USE_TEMPORARY_PATH, 0);
    EXPECT_EQ(archive->TEMP_PATH, tempFolder());
    EXPECT_FALSE(FileSystem().fileExists(archive->settingsPath())) << "reading must not create the file";
    EXPECT_GE(archive->DLL_PACK_VERSION, 1700);
    EXPECT_GE(archive->DLL_UNPACK_VERSION, 1700);
}

TEST_F(Settings, SaveWritesTheSeventeenKeysInOrderAndTheFilledTemporaryFolder) {
    ASSERT_TRUE(archive->SavePreferences());
    const auto lines = sectionLines(readFile(archive->settingsPath()), "Compression_Method");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Preferences", "2"},           {"Compression_Engine", "2"},
        {"Path_information", "2"},      {"Create_Directory", "0"},
        {"Auto_Disk_Spanning", "0"},    {"UnPack_Overwrite_Option", "2"},
        {"Pack_Overwrite_Option", "2"}, {"Use_Path_Info", "1"},
        {"Quiet_Mode_Flag", "0"},       {"UnPack_Quiet_Mode_Flag", "0"},
        {"Use_Temporary_Path", "0"},    {"Temp_Path", tempFolder()},
        {"Retain_Attributes", "0"},     {"Read_Only_Attribute", "0"},
        {"Normal_Attribute", "0"},      {"Hidden_Attribute", "0"},
        {"System_Attribute", "0"},
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(Settings, StoredValuesComeBackAndOtherLinesAreKept) {
    IniFile ini(archive->settingsPath());
    ASSERT_TRUE(ini.write("Other", "Keep", "me"));
    archive->COMPRESSION_METHOD = 3;
    archive->COMPRESSION_ENGINE = 1;
    archive->PATH_INFORMATION = 3;
    archive->UNPACK_OVERWRITE_OPTION = 1;
    archive->USE_PATH_INFO = 0;
    archive->TEMP_PATH = dir.path() + "/scratch/";
    archive->HIDDEN_ATTRIBUTE = 1;
    archive->AUTO_DISK_SPANNING = 1;
    ASSERT_TRUE(archive->SavePreferences());

    lspclass again(dialogs, dir.path());
    again.Init("");
    EXPECT_EQ(again.COMPRESSION_METHOD, 3);
    EXPECT_EQ(again.COMPRESSION_ENGINE, 1);
    EXPECT_EQ(again.PATH_INFORMATION, 3);
    EXPECT_EQ(again.UNPACK_OVERWRITE_OPTION, 1);
    EXPECT_EQ(again.USE_PATH_INFO, 0);
    EXPECT_EQ(again.TEMP_PATH, dir.path() + "/scratch/");
    EXPECT_EQ(again.HIDDEN_ATTRIBUTE, 1);
    EXPECT_EQ(again.AUTO_DISK_SPANNING, 1);
    EXPECT_EQ(ini.read("Other", "Keep", ""), "me");
}

TEST_F(Settings, HandWrittenFileKeysIgnoreCaseAndBadNumbersTakeTheDefault) {
    dir.write("hand.ini",
              "[compression_method]\n"
              "preferences=1\n"
              "COMPRESSION_ENGINE= 3 \n"
              "Path_Information=abc\n"
              "Use_Path_Info=300\n"
              "Pack_Overwrite_Option=-1\n"
              "Temp_Path=\n");
    archive->Init("hand.ini");
    EXPECT_EQ(archive->settingsPath(), dir.file("hand.ini"));
    EXPECT_EQ(archive->COMPRESSION_METHOD, 1);
    EXPECT_EQ(archive->COMPRESSION_ENGINE, 3);
    EXPECT_EQ(archive->PATH_INFORMATION, 2);
    EXPECT_EQ(archive->USE_PATH_INFO, 1);
    EXPECT_EQ(archive->PACK_OVERWRITE_OPTION, 2);
    EXPECT_EQ(archive->TEMP_PATH, tempFolder()) << "an empty Temp_Path is the platform's folder";
}

// ---- flag words -------------------------------------------------------------------

using Flags = ArchiveFixture;

TEST_F(Flags, MethodWordWithFallBackToSuperior) {
    const std::pair<int, int> cases[] = {{1, 1}, {2, 2}, {3, 9}, {0, 2}, {4, 2}, {255, 2}};
    for (auto [method, word] : cases) {
        archive->COMPRESSION_METHOD = static_cast<std::uint8_t>(method);
        archive->SetPackFlags();
        EXPECT_EQ(archive->COMP_MODE, word) << "method " << method;
    }
}

TEST_F(Flags, EngineAndPackOverwriteFallBacks) {
    archive->PATH_INFORMATION = 1;
    archive->PACK_OVERWRITE_OPTION = 2;
    const std::pair<int, unsigned> engines[] = {{1, 0x1000}, {2, 0}, {3, 0x2000}, {0, 0x2000}, {4, 0x2000}};
    for (auto [engine, bits] : engines) {
        archive->COMPRESSION_ENGINE = static_cast<std::uint8_t>(engine);
        archive->SetPackFlags();
        EXPECT_EQ(archive->PACK_FLAG, bits) << "engine " << engine;
    }
    archive->COMPRESSION_ENGINE = 2;
    const std::pair<int, unsigned> overwrites[] = {{1, 0x0004}, {2, 0}, {3, 0x0010}, {0, 0x0010}, {4, 0x0010}};
    for (auto [option, bits] : overwrites) {
        archive->PACK_OVERWRITE_OPTION = static_cast<std::uint8_t>(option);
        archive->SetPackFlags();
        EXPECT_EQ(archive->PACK_FLAG, bits) << "pack overwrite " << option;
    }
}

TEST_F(Flags, PathsQuietTemporaryAttributesAndPump) {
    archive->PATH_INFORMATION = 2;
    archive->SetPackFlags();
    EXPECT_EQ(archive->PACK_FLAG, 0x0002u);

    archive->PATH_INFORMATION = 1;
    archive->PACK_QUIET_MODE_FLAG = 2;  // any value but 0
    archive->USE_TEMPORARY_PATH = 1;
    archive->READ_ONLY_ATTRIBUTE = 2;  // any value but 0
    archive->NORMAL_ATTRIBUTE = 1;     // adds nothing
    archive->SetPackFlags();
    EXPECT_EQ(archive->PACK_FLAG, 0x0001u + 0x0080u + 0x0100u);

    // Hidden, system, retain and the pump count only when exactly 1.
    archive->PACK_QUIET_MODE_FLAG = 0;
    archive->USE_TEMPORARY_PATH = 0;
    archive->READ_ONLY_ATTRIBUTE = 0;
    archive->HIDDEN_ATTRIBUTE = 2;
    archive->SYSTEM_ATTRIBUTE = 2;
    archive->RETAIN_ATTRIBUTES = 2;
    archive->USE_LSP_MESSAGE_PUMP = 2;
    archive->SetPackFlags();
    EXPECT_EQ(archive->PACK_FLAG, 0u);
    archive->HIDDEN_ATTRIBUTE = 1;
    archive->SYSTEM_ATTRIBUTE = 1;
    archive->RETAIN_ATTRIBUTES = 1;
    archive->USE_LSP_MESSAGE_PUMP = 1;
    archive->SetPackFlags();
    EXPECT_EQ(archive->PACK_FLAG, 0x0200u + 0x0400u + 0x0800u + 0x4000u);
}

TEST_F(Flags, UnpackWordWithOverwriteFallBackToNever) {
    archive->UNPACK_QUIET_MODE_FLAG = 0;
    archive->USE_PATH_INFO = 0;
    archive->CREATE_DIRECTORY = 0;
    const std::pair<int, unsigned> overwrites[] = {{1, 0x0020}, {2, 0}, {3, 0x0004}, {0, 0x0004}, {4, 0x0004}};
    for (auto [option, bits] : overwrites) {
        archive->UNPACK_OVERWRITE_OPTION = static_cast<std::uint8_t>(option);
        archive->SetUnpackFlags();
        EXPECT_EQ(archive->UNPACK_FLAG, bits) << "unpack overwrite " << option;
    }
    archive->UNPACK_OVERWRITE_OPTION = 2;
    archive->UNPACK_QUIET_MODE_FLAG = 1;
    archive->USE_PATH_INFO = 1;
    archive->CREATE_DIRECTORY = 1;
    archive->USE_LSP_MESSAGE_PUMP = 1;
    archive->SetUnpackFlags();
    EXPECT_EQ(archive->UNPACK_FLAG, 0x0001u + 0x0002u + 0x0008u + 0x4000u);
    // Only exactly 1 counts for these.
    archive->UNPACK_QUIET_MODE_FLAG = 2;
    archive->USE_PATH_INFO = 2;
    archive->CREATE_DIRECTORY = 2;
    archive->USE_LSP_MESSAGE_PUMP = 0;
    archive->SetUnpackFlags();
    EXPECT_EQ(archive->UNPACK_FLAG, 0u);
}

// Relative paths: the base folder comes from the Enter Path question and reaches the
// packing library; leaving relative mode turns it off again.
TEST_F(Flags, RelativePathBaseIsAskedForAndReachesTheArchive) {
    const std::string base = dir.mkdir("base");
    const std::string file = dir.write("base/sub/report.txt", "quarterly figures");
    std::vector<std::string> asked;
    lspclass relative(dialogs, dir.path(), [&](const std::string& current) {
        asked.push_back(current);
        return base;
    });
    relative.Init("");
    relative.PACK_RELATIVE_DIRECTORY = "/previous";
    relative.PATH_INFORMATION = 3;
    relative.ARCHIVE_NAME = dir.file("rel.lsp");
    ASSERT_EQ(relative.Add(file, "", "", 1), 0);
    ASSERT_EQ(asked, std::vector<std::string>{"/previous"});
    EXPECT_EQ(relative.PACK_RELATIVE_DIRECTORY, base);
    EXPECT_EQ(relative.PACK_FLAG & 0x0002u, 0x0002u);
    ASSERT_EQ(relative.LSPQ.size(), 1u);
    EXPECT_EQ(relative.LSPQ[0].ITEM_PATH_NAME, "sub/");

    // Back to full paths: the base folder must no longer apply.
    const std::string other = dir.write("base/sub/second.txt", "more figures");
    relative.PATH_INFORMATION = 2;
    ASSERT_EQ(relative.Add(other, "", "", 1), 0);
    EXPECT_EQ(asked.size(), 1u) << "only relative mode asks";
    const LSPQEntry* second = nullptr;
    for (const auto& e : relative.LSPQ)
        if (e.FILENAME == "second.txt") second = &e;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->ITEM_PATH_NAME, base + "/sub/");
}

TEST_F(Flags, WithoutAQuestionTheCurrentBaseStandsAsIfOkWerePressed) {
    archive->PATH_INFORMATION = 3;
    archive->PACK_RELATIVE_DIRECTORY = "";
    archive->SetPackFlags();
    EXPECT_EQ(archive->PACK_RELATIVE_DIRECTORY, "/");
    archive->PACK_RELATIVE_DIRECTORY = "/srv/data";
    archive->SetPackFlags();
    EXPECT_EQ(archive->PACK_RELATIVE_DIRECTORY, "/srv/data");
    archive->PATH_INFORMATION = 2;
    archive->SetPackFlags();
    LSP_RELATIVEPATH("", 0);
}

}  // namespace
}  // namespace quillet::test
