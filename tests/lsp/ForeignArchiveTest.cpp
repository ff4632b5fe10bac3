// Archives written by other ZIP tools, made at run time by foreign_archives.py (python's
// zipfile, Debian's zip, 7z when installed) together with damaged copies, and judged
// against what `unzip -t` and python's zipfile make of them.

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "LspTestSupport.h"

#ifndef QUILLET_TEST_SOURCE_DIR
#error "QUILLET_TEST_SOURCE_DIR names the folder of this test's sources"
#endif

namespace quillet::test {
namespace {

constexpr std::uint16_t kListedBzip2 = 0x100 + 12;  // other tools' methods list as 0x100 + ZIP method

struct Expected {
    std::string name;  // path and name
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
};

struct Sample {
    std::string file;
    bool pythonReads = false;
    bool sound = true;  // as the tool wrote it, not a damaged copy
    bool supportedOnly = true;
    std::vector<Expected> entries;  // python's entries that are not folders
};

std::string unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<Sample> readManifest(const std::string& path) {
    std::vector<Sample> samples;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        std::getline(fields, kind, '\t');
        std::vector<std::string> f;
        for (std::string v; std::getline(fields, v, '\t');) f.push_back(v);
        if (kind == "A" && f.size() == 3) {
            Sample sample;
            sample.file = f[0];
            sample.pythonReads = f[1] == "1";
            sample.sound = f[2] == "1";
            samples.push_back(sample);
        } else if (kind == "E" && f.size() == 5 && !samples.empty()) {
            const int method = std::stoi(f[3]);
            if (method != 0 && method != 8 && method != 12) samples.back().supportedOnly = false;
            if (f[4] == "0")
                samples.back().entries.push_back(
                    {unhex(f[0]), std::stoull(f[1]), static_cast<std::uint32_t>(std::stoul(f[2], nullptr, 16))});
        }
    }
    return samples;
}

class ForeignArchiveTest : public LspTest {};

TEST_F(ForeignArchiveTest, OtherToolsArchivesAreReadAndDamageIsNeverGood) {
    const std::string corpus = dir.file("corpus");
    ASSERT_EQ(runCommand("python3 " + quoted(std::string(QUILLET_TEST_SOURCE_DIR) + "/foreign_archives.py") + " " +
                         quoted(corpus)),
              0);
    const auto samples = readManifest(corpus + "/manifest.tsv");
    ASSERT_GE(samples.size(), 40u);
    const std::string dest = dir.mkdir("dest");

    int bothRead = 0, bothRefused = 0;
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.file);
        const std::string archive = corpus + "/" + s.file;
        const int unzipStatus = runCommand("unzip -tqq " + quoted(archive) + " >/dev/null 2>&1");
        const bool unzipReads = unzipStatus == 0 || unzipStatus == 1;  // 1: warnings only

        std::int16_t listStatus = 0;
        const auto items = listArchive(archive, &listStatus);
        std::map<std::string, std::int16_t> tested;
        bool good = listStatus == LSP_END_OF_LIST;
        for (const auto& item : items) {
            const std::int16_t t =
                LSP_UNPACK(item.name.c_str(), item.path.c_str(), archive.c_str(), dest.c_str(), LSP_UF_TEST);
            tested[item.path + item.name] = t;
            good = good && t == LSP_OK;
            // A method this library does not decode is said so, never passed as good.
            if (item.method > 0x100 && item.method != kListedBzip2) {
                EXPECT_EQ(t, LSP_E_UNKNOWN_METHOD) << item.name;
            }
        }

        if (!s.sound && !unzipReads && !s.pythonReads) {
            ++bothRefused;
            EXPECT_FALSE(good) << "a damaged archive that unzip and python refuse passed";
        }
        // What the tools wrote is read: every item tests good but those of methods not decoded here.
        if (s.sound) {
            EXPECT_EQ(listStatus, LSP_END_OF_LIST);
            for (const auto& item : items) {
                if (item.method <= 0x100 || item.method == kListedBzip2) {
                    EXPECT_EQ(tested[item.path + item.name], LSP_OK) << item.path << item.name;
                }
            }
        }
        // A damaged copy may still pass both tools (a size in the directory changed where
        // neither looks): it is judged by the rule above only.
        if (!(s.sound && unzipReads && s.pythonReads && s.supportedOnly)) continue;
        ++bothRead;
        // Both tools read it: the same items with the same sizes and CRCs, tested good, and
        // each restored at its path.
        EXPECT_TRUE(good);
        std::set<std::tuple<std::string, std::uint64_t, std::uint32_t>> ours, theirs;
        for (const auto& item : items) ours.insert({item.path + item.name, item.unpacked, item.crc});
        for (const auto& e : s.entries) theirs.insert({e.name, e.size, e.crc});
        EXPECT_EQ(ours, theirs);
        std::filesystem::remove_all(dest);
        for (const auto& item : items) {
            const std::int16_t x = LSP_UNPACK(item.name.c_str(), item.path.c_str(), archive.c_str(), dest.c_str(),
                                              LSP_UF_USE_PATHS | LSP_UF_CREATE_FOLDERS | LSP_UF_ALWAYS_OVERWRITE);
            if (item.name.empty()) {
                EXPECT_EQ(x, LSP_E_STRUCTURE);  // no file name to give it
                continue;
            }
            EXPECT_EQ(x, LSP_OK) << item.path << item.name;
            std::error_code ec;
            EXPECT_EQ(std::filesystem::file_size(dest + "/" + item.path + item.name, ec), item.unpacked)
                << item.path << item.name;
        }
    }
    // The corpus holds both kinds, or it proves nothing.
    EXPECT_GE(bothRead, 15);
    EXPECT_GE(bothRefused, 15);
}

}  // namespace
}  // namespace quillet::test
