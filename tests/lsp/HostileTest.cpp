// Damaged, truncated and hostile archives: an error status, never a crash, a hang, a huge
// allocation or a file outside the destination.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "LspTestSupport.h"

namespace quillet::test {
namespace {

const std::set<int> kDamageStatuses = {LSP_E_STRUCTURE,      LSP_E_UNEXPECTED_EOF, LSP_E_NOT_FOUND,     LSP_E_HEADER,
                                       LSP_E_UNKNOWN_METHOD, LSP_E_MULTI_DISK,     LSP_E_CRC,           LSP_E_RESERVED,
                                       LSP_E_BAD_DATA,       LSP_E_SIZE_MISMATCH,  LSP_E_CREATE_OUTPUT, LSP_E_MEMORY};

class HostileTest : public LspTest {
protected:
    void SetUp() override {
        LspTest::SetUp();
        // The destination sits inside "jail"; "outside" is its neighbour and must stay empty.
        dest = dir.mkdir("jail/dest");
        outside = dir.mkdir("jail/outside");
    }
    void put(const std::string& bytes) { std::ofstream(archive(), std::ios::binary | std::ios::trunc) << bytes; }
    std::int16_t extract(const std::string& name, const std::string& path, std::uint32_t flags = 0) {
        return LSP_UNPACK(name.c_str(), path.c_str(), archive().c_str(), dest.c_str(),
                          flags | LSP_UF_CREATE_FOLDERS | LSP_UF_ALWAYS_OVERWRITE);
    }
    // Nothing was written next to the destination or above it.
    void expectJailIntact() {
        EXPECT_TRUE(std::filesystem::is_empty(outside));
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.file("jail"))) names.insert(e.path().filename());
        EXPECT_EQ(names, (std::set<std::string>{"dest", "outside"}));
        EXPECT_FALSE(std::filesystem::exists(dir.file("escape.txt")));
    }
    std::string dest, outside;
};

TEST_F(HostileTest, EveryTruncationGivesAnErrorStatus) {
    const std::string a = dir.write("a.txt", std::string(3000, 'a') + "tail");
    const std::string b = dir.write("b.bin", randomBytes(300, 2));
    ASSERT_EQ(LSP_PACK(a.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    ASSERT_EQ(LSP_PACK(b.c_str(), archive().c_str(), "", 2, 0), LSP_OK);
    const std::string whole = readFile(archive());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        put(whole.substr(0, length));
        std::int16_t status = 0;
        const auto items = listArchive(archive(), &status);
        EXPECT_TRUE(items.empty()) << length;
        EXPECT_TRUE(status == LSP_E_STRUCTURE || status == LSP_E_UNEXPECTED_EOF) << length << " gave " << status;
        for (const char* name : {"a.txt", "b.bin"}) {
            EXPECT_GT(LSP_UNPACK(name, "", archive().c_str(), dest.c_str(), LSP_UF_TEST), 1) << length;
            EXPECT_GT(extract(name, ""), 1) << length;
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(dest));
    put(whole);
    EXPECT_EQ(listArchive(archive()).size(), 2u);
}

TEST_F(HostileTest, ItemPathsNeverLeaveTheDestination) {
    put(buildZip({{"../escape.txt", "x"},
                  {"a/../../../escape.txt", "x"},
                  {"/abs/rooted.txt", "rooted"},
                  {"dir/..", "x"},
                  {"plain/ok.txt", "fine"}}));
    const auto items = listArchive(archive());
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(extract("escape.txt", "../", LSP_UF_USE_PATHS), LSP_E_STRUCTURE);
    EXPECT_EQ(extract("escape.txt", "a/../../../", LSP_UF_USE_PATHS), LSP_E_STRUCTURE);
    EXPECT_EQ(extract("..", "dir/", LSP_UF_USE_PATHS), LSP_E_STRUCTURE);
    EXPECT_EQ(extract("..", "dir/"), LSP_E_STRUCTURE);
    // An absolute path counts from the destination.
    EXPECT_EQ(extract("rooted.txt", "/abs/", LSP_UF_USE_PATHS), LSP_OK);
    EXPECT_EQ(readFile(dest + "/abs/rooted.txt"), "rooted");
    EXPECT_EQ(extract("ok.txt", "plain/", LSP_UF_USE_PATHS), LSP_OK);
    // Without stored paths only the name is used: inside the destination.
    EXPECT_EQ(extract("escape.txt", "../"), LSP_OK);
    EXPECT_TRUE(std::filesystem::exists(dest + "/escape.txt"));
    expectJailIntact();
}

TEST_F(HostileTest, LinksNeverLeadWritingOutside) {
    put(buildZip({{"abs", "/etc", 0120777},
                  {"up", "../../outside", 0120777},
                  {"deep/up", "../../..", 0120777},
                  {"inner", "plain/ok.txt", 0120777},
                  {"sneaky/evil.txt", "evil"},
                  {"real/deeper/sneaky/evil.txt", "evil"},
                  {"real/deeper/fine.txt", "fine"},
                  {"alias/deeper/fine.txt", "fine"}}));
    EXPECT_EQ(extract("abs", "", LSP_UF_USE_PATHS), LSP_E_CREATE_OUTPUT);
    EXPECT_EQ(extract("up", "", LSP_UF_USE_PATHS), LSP_E_CREATE_OUTPUT);
    EXPECT_EQ(extract("up", "deep/", LSP_UF_USE_PATHS), LSP_E_CREATE_OUTPUT);
    EXPECT_EQ(extract("inner", "", LSP_UF_USE_PATHS), LSP_OK);  // stays inside: made
    struct stat st {};
    ASSERT_EQ(::lstat((dest + "/inner").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A link already in the destination is never followed: not as a folder ...
    ASSERT_EQ(::symlink(outside.c_str(), (dest + "/sneaky").c_str()), 0);
    EXPECT_EQ(extract("evil.txt", "sneaky/", LSP_UF_USE_PATHS), LSP_E_CREATE_OUTPUT);
    // ... nor deeper down, below folders that are there (entered in one call) ...
    std::filesystem::create_directories(dest + "/real/deeper");
    EXPECT_EQ(extract("fine.txt", "real/deeper/", LSP_UF_USE_PATHS), LSP_OK);
    EXPECT_EQ(readFile(dest + "/real/deeper/fine.txt"), "fine");
    ASSERT_EQ(::symlink(outside.c_str(), (dest + "/real/deeper/sneaky").c_str()), 0);
    EXPECT_EQ(extract("evil.txt", "real/deeper/sneaky/", LSP_UF_USE_PATHS), LSP_E_CREATE_OUTPUT);
    // ... nor a link to a folder inside the destination.
    ASSERT_EQ(::symlink("real", (dest + "/alias").c_str()), 0);
    EXPECT_EQ(extract("fine.txt", "alias/deeper/", LSP_UF_USE_PATHS), LSP_E_CREATE_OUTPUT);
    // ... nor as the file: it is replaced.
    const std::string victim = dir.write("jail/outside/victim.txt", "precious");
    ASSERT_EQ(::symlink(victim.c_str(), (dest + "/evil.txt").c_str()), 0);
    EXPECT_EQ(extract("evil.txt", "sneaky/"), LSP_OK);
    EXPECT_EQ(readFile(victim), "precious");
    ASSERT_EQ(::lstat((dest + "/evil.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    std::filesystem::remove(victim);
    expectJailIntact();
}

TEST_F(HostileTest, DamagedFieldsGiveTheirStatus) {
    const std::string text(5000, 't');
    const std::string packed = deflateRaw(text);
    RawEntry good{"good.txt", packed, 0100644, 0, 8, crcOf(text), 5000};
    auto status = [&](const std::vector<RawEntry>& entries, const std::string& name) {
        put(buildZip(entries));
        return LSP_UNPACK(name.c_str(), "", archive().c_str(), dest.c_str(), LSP_UF_TEST);
    };
    EXPECT_EQ(status({good}, "good.txt"), LSP_OK);

    RawEntry e = good;
    e.flags = 1;  // encrypted
    EXPECT_EQ(status({e}, "good.txt"), LSP_E_RESERVED);
    e = good;
    e.method = 14;  // LZMA: not read here, said so
    EXPECT_EQ(status({e}, "good.txt"), LSP_E_UNKNOWN_METHOD);
    e = good;
    e.method = 12;  // bzip2 is read, but this is no bzip2 data
    EXPECT_EQ(status({e}, "good.txt"), LSP_E_BAD_DATA);
    e = good;
    e.crcOverride = 0x12345678;
    EXPECT_EQ(status({e}, "good.txt"), LSP_E_CRC);
    e = good;
    e.unpackedOverride = 4999;  // more comes out than recorded: stopped there
    EXPECT_EQ(status({e}, "good.txt"), LSP_E_SIZE_MISMATCH);
    e = good;
    e.unpackedOverride = 0x7fffffff;  // claims 2 GiB: decoded to its real end, then refused
    EXPECT_EQ(status({e}, "good.txt"), LSP_E_SIZE_MISMATCH);
    e = good;
    e.data = packed.substr(0, packed.size() / 2);  // stream ends early
    EXPECT_EQ(status({e}, "good.txt"), LSP_E_BAD_DATA);
    e = good;
    e.data = std::string(packed.size(), '\xff');  // not deflate data
    EXPECT_EQ(status({e}, "good.txt"), LSP_E_BAD_DATA);

    // A decompression bomb is cut off at its recorded size, quickly.
    const std::string zeros(50 << 20, '\0');
    RawEntry bomb{"bomb", deflateRaw(zeros), 0100644, 0, 8, crcOf(zeros.substr(0, 100)), 100};
    EXPECT_EQ(status({bomb}, "bomb"), LSP_E_SIZE_MISMATCH);

    // Damage to the local header or the layout.
    std::string bytes = buildZip({good});
    bytes[0] = 'X';
    put(bytes);
    EXPECT_EQ(LSP_UNPACK("good.txt", "", archive().c_str(), dest.c_str(), LSP_UF_TEST), LSP_E_HEADER);
    bytes = buildZip({good});
    const std::size_t end = bytes.size() - 22;
    auto patch32 = [](std::string& s, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
    };
    auto listStatus = [&](const std::string& b) {
        put(b);
        std::int16_t st = 0;
        listArchive(archive(), &st);
        return st;
    };
    std::string damaged = bytes;
    damaged[end + 10] = 9;  // more entries than the directory holds
    EXPECT_EQ(listStatus(damaged), LSP_E_STRUCTURE);
    damaged = bytes;
    patch32(damaged, end + 16, 0x7ffffff0);  // directory offset beyond the file
    EXPECT_EQ(listStatus(damaged), LSP_E_STRUCTURE);
    damaged = bytes;
    patch32(damaged, end + 12, 0xfffffff0);  // directory larger than the file
    EXPECT_EQ(listStatus(damaged), LSP_E_STRUCTURE);
    damaged = bytes;
    damaged[end + 4] = 1;  // disk 1 of a set
    EXPECT_EQ(listStatus(damaged), LSP_E_MULTI_DISK);
    damaged = bytes;
    patch32(damaged, end - 54 + 42, 0xffffffff);  // local offset needs a zip64 field that is missing
    EXPECT_EQ(listStatus(damaged), LSP_E_STRUCTURE);
    EXPECT_EQ(listStatus(""), LSP_E_UNEXPECTED_EOF);
    EXPECT_EQ(listStatus(randomBytes(5000, 3)), LSP_E_STRUCTURE);
    EXPECT_EQ(listStatus(std::string("\0\0", 2) + "with a NUL"), LSP_E_STRUCTURE);

    RawEntry nul{std::string("bad\0name", 8), "x"};
    EXPECT_EQ(listStatus(buildZip({nul})), LSP_E_STRUCTURE);
    RawEntry longName{std::string(300, 'n'), "x"};
    put(buildZip({good, longName}));
    char b1[256] = "", b2[256] = "";
    LSP_ITEM item{};
    EXPECT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), &item), LSP_OK);
    EXPECT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), &item), LSP_E_STRUCTURE);  // does not fit the record
    EXPECT_EQ(std::string(b2), std::string(254, 'n'));
    LSP_RESETDLL();
}

TEST_F(HostileTest, RandomDamageNeverCrashesOrWritesOutside) {
    const std::string a = dir.write("a.txt", std::string(2000, 'a') + "b");
    const std::string b = dir.write("sub/b.bin", randomBytes(200, 2));
    ASSERT_EQ(LSP_PACK(a.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH | LSP_PF_STORE_PATHS), LSP_OK);
    ASSERT_EQ(LSP_PACK(b.c_str(), archive().c_str(), "", 9, LSP_PF_STORE_PATHS), LSP_OK);
    const std::string whole = readFile(archive());
    std::uint32_t x = 12345;
    auto next = [&] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = whole;
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int i = 0; i < flips; ++i) bytes[next() % bytes.size()] = static_cast<char>(next());
        put(bytes);
        std::int16_t status = 0;
        const auto items = listArchive(archive(), &status);
        EXPECT_TRUE(status == LSP_END_OF_LIST || kDamageStatuses.count(status)) << round << ": " << status;
        for (const auto& item : items) {
            const std::int16_t t = LSP_UNPACK(item.name.c_str(), item.path.c_str(), archive().c_str(), "", LSP_UF_TEST);
            EXPECT_TRUE(t == LSP_OK || kDamageStatuses.count(t)) << round << ": " << t;
            const std::int16_t u = extract(item.name, item.path, LSP_UF_USE_PATHS);
            EXPECT_TRUE(u == LSP_OK || kDamageStatuses.count(u) || u == LSP_E_CREATE_FOLDER) << round << ": " << u;
        }
    }
    expectJailIntact();
}

}  // namespace
}  // namespace quillet::test
