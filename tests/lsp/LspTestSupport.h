#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lsp/lsp.h"
#include "support/TempDir.h"

namespace quillet::test {

// One listed item, as LSP_GETNEXTITEMEX reports it (name and path whole).
struct ListedItem {
    std::string name;
    std::string path;
    std::uint16_t method = 0;
    std::uint16_t attributes = 0;
    std::uint16_t dosDate = 0;
    std::uint16_t dosTime = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0;
    std::uint64_t unpacked = 0;
};

// Lists an archive to the end; status is the last status (1 when complete).
std::vector<ListedItem> listArchive(const std::string& archive, std::int16_t* status = nullptr);
const ListedItem* findItem(const std::vector<ListedItem>& items, const std::string& name);

std::string quoted(const std::string& s);
// `unzip -t` finds no error.
bool unzipTestPasses(const std::string& archive);
// The entry names as unzip lists them, one per line.
std::string unzipNames(const std::string& archive);
std::uint32_t crcOf(const std::string& data);

// A host that records what the library reports and answers from a queue.
struct RecordingHost {
    std::vector<int> answers;  // popped front; LSP_ANSWER_NO when empty
    std::vector<std::string> questions;
    std::vector<int> percents;
    int pumps = 0;
    int stopAtProgressCall = -1;  // stopRequested() returns 1 from this progress call on
    int killAtProgressCall = -1;  // the process kills itself at this progress call (child processes only)

    LSP_HOST host();
};

// A ZIP archive built byte by byte, for damaged and hostile cases.
struct RawEntry {
    std::string name;
    std::string data;  // stored as it is (method 0)
    std::uint32_t unixMode = 0100644;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::int64_t crcOverride = -1;       // a wrong CRC when set
    std::int64_t unpackedOverride = -1;  // recorded unpacked size, when not data.size()
};
// Raw deflate of data, for entries with method 8.
std::string deflateRaw(const std::string& data);
std::string buildZip(const std::vector<RawEntry>& entries);

// Base for the library tests: every test starts and ends with no batch, no hosts and
// no relative base.
class LspTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempDir dir;
    std::string archive() const { return dir.file("test.zip"); }
};

}  // namespace quillet::test
