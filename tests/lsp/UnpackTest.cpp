// Unpacking and listing: overwrite choices, folders, testing, the item record and the
// kept directory.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "LspTestSupport.h"

namespace quillet::test {
namespace {

class UnpackTest : public LspTest {
protected:
    void SetUp() override {
        LspTest::SetUp();
        source = dir.write("src/sub/item.txt", "archived content");
        ASSERT_EQ(LSP_PACK(source.c_str(), archive().c_str(), "", 2, LSP_PF_STORE_PATHS), LSP_OK);
        path = dir.file("src/sub") + "/";
        dest = dir.mkdir("dest");
    }
    std::int16_t unpack(std::uint32_t flags, const std::string& to) {
        return LSP_UNPACK("item.txt", path.c_str(), archive().c_str(), to.c_str(), flags);
    }

    std::string source, path, dest;
};

TEST_F(UnpackTest, OverwriteChoicesNeverAlwaysOrAskTheHost) {
    const std::string target = dest + "/item.txt";
    dir.write("dest/item.txt", "local edit");

    EXPECT_EQ(unpack(LSP_UF_NEVER_OVERWRITE, dest), LSP_ANSWERED_NO);
    EXPECT_EQ(unpack(0, dest), LSP_ANSWERED_NO);  // no host to ask: keep the file
    RecordingHost host;
    const LSP_HOST h = host.host();
    LSP_UINIT_MP(&h);
    EXPECT_EQ(unpack(LSP_UF_QUIET, dest), LSP_ANSWERED_NO);
    EXPECT_TRUE(host.questions.empty());
    host.answers = {LSP_ANSWER_NO, LSP_ANSWER_CANCEL};
    EXPECT_EQ(unpack(0, dest), LSP_ANSWERED_NO);
    EXPECT_EQ(unpack(0, dest), LSP_CANCELLED);
    EXPECT_EQ(host.questions.size(), 2u);
    EXPECT_EQ(readFile(target), "local edit");

    host.answers = {LSP_ANSWER_YES};
    EXPECT_EQ(unpack(0, dest), LSP_OK);
    EXPECT_EQ(readFile(target), "archived content");
    dir.write("dest/item.txt", "again");
    EXPECT_EQ(unpack(LSP_UF_ALWAYS_OVERWRITE, dest), LSP_OK);
    EXPECT_EQ(readFile(target), "archived content");
    EXPECT_EQ(host.questions.size(), 3u);  // always overwrite asks nothing
    // Never wins over always when both are given.
    dir.write("dest/item.txt", "kept");
    EXPECT_EQ(unpack(LSP_UF_NEVER_OVERWRITE | LSP_UF_ALWAYS_OVERWRITE, dest), LSP_ANSWERED_NO);
    EXPECT_EQ(readFile(target), "kept");
    // A folder of that name is never replaced.
    std::filesystem::remove(target);
    std::filesystem::create_directory(target);
    EXPECT_EQ(unpack(LSP_UF_ALWAYS_OVERWRITE, dest), LSP_E_CREATE_OUTPUT);
}

TEST_F(UnpackTest, StoredPathsAndFolderCreation) {
    EXPECT_EQ(unpack(LSP_UF_USE_PATHS, dest), LSP_E_CREATE_OUTPUT);  // folders missing, not to be created
    EXPECT_TRUE(std::filesystem::is_empty(dest));
    EXPECT_EQ(unpack(LSP_UF_USE_PATHS | LSP_UF_CREATE_FOLDERS, dest), LSP_OK);
    EXPECT_EQ(readFile(dest + path + "item.txt"), "archived content");
    EXPECT_EQ(unpack(0, dest), LSP_OK);  // without paths: straight into the destination
    EXPECT_EQ(readFile(dest + "/item.txt"), "archived content");

    // A folder that cannot be made: its parent is a link into a folder that is missing.
    ASSERT_EQ(::symlink("missing/deeper", dir.file("dangling").c_str()), 0);
    EXPECT_EQ(unpack(LSP_UF_CREATE_FOLDERS, dir.file("dangling/sub")), LSP_E_CREATE_FOLDER);
    EXPECT_EQ(unpack(LSP_UF_CREATE_FOLDERS, source + "/sub"), LSP_E_CREATE_OUTPUT);  // a file in the way
    const std::string fresh = dir.file("new/deeper");
    EXPECT_EQ(unpack(0, fresh), LSP_E_CREATE_OUTPUT);
    EXPECT_EQ(unpack(LSP_UF_CREATE_FOLDERS, fresh), LSP_OK);
    EXPECT_EQ(readFile(fresh + "/item.txt"), "archived content");

    // A relative destination is created below the working folder, never below the root.
    const std::string previous = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.path());
    const std::int16_t relative = unpack(LSP_UF_CREATE_FOLDERS, "rel/deeper");
    std::filesystem::current_path(previous);
    EXPECT_EQ(relative, LSP_OK);
    EXPECT_EQ(readFile(dir.file("rel/deeper/item.txt")), "archived content");

    EXPECT_EQ(LSP_UNPACK("item.txt", "/elsewhere/", archive().c_str(), dest.c_str(), 0), LSP_E_NOT_FOUND);
    EXPECT_EQ(LSP_UNPACK("nothing", path.c_str(), archive().c_str(), dest.c_str(), 0), LSP_E_NOT_FOUND);
    EXPECT_EQ(LSP_UNPACK("item.txt", path.c_str(), dir.file("none.zip").c_str(), dest.c_str(), 0), LSP_E_OPEN_ARCHIVE);
}

TEST_F(UnpackTest, TestOnlyWritesNothingAndFindsCrcDamage) {
    EXPECT_EQ(unpack(LSP_UF_TEST, dest), LSP_OK);
    EXPECT_TRUE(std::filesystem::is_empty(dest));

    // One changed byte in the stored data: the CRC-32 no longer matches.
    const std::string stored = dir.file("stored.zip");
    const std::string payload = randomBytes(5000, 4);
    std::ofstream(dir.file("blob"), std::ios::binary) << payload;
    ASSERT_EQ(LSP_PACK(dir.file("blob").c_str(), stored.c_str(), "", LSP_METHOD_STORED, 0), LSP_OK);
    std::string bytes = readFile(stored);
    const std::size_t at = bytes.find(payload.substr(0, 64));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 2500] ^= 0x40;
    std::ofstream(stored, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(LSP_UNPACK("blob", "", stored.c_str(), dest.c_str(), LSP_UF_TEST), LSP_E_CRC);
    EXPECT_FALSE(unzipTestPasses(stored));

    // A damaged item never replaces a good file, and leaves no part file behind.
    dir.write("dest/blob", "good copy");
    EXPECT_EQ(LSP_UNPACK("blob", "", stored.c_str(), dest.c_str(), LSP_UF_ALWAYS_OVERWRITE), LSP_E_CRC);
    EXPECT_EQ(readFile(dest + "/blob"), "good copy");
    std::filesystem::remove(dest + "/blob");
    EXPECT_EQ(LSP_UNPACK("blob", "", stored.c_str(), dest.c_str(), 0), LSP_E_CRC);
    EXPECT_TRUE(std::filesystem::is_empty(dest));
}

TEST_F(UnpackTest, ItemRecordLayoutAndListingCycle) {
    const std::string second = dir.write("src/second.dat", std::string(70000, 'z'));
    ASSERT_EQ(LSP_PACK(second.c_str(), archive().c_str(), "", 2, LSP_PF_STORE_PATHS | LSP_PF_MAXIMUM), LSP_OK);
    static_assert(sizeof(LSP_ITEM) == 548);

    char b1[256] = "", b2[256] = "";
    unsigned char raw[548];
    auto* item = reinterpret_cast<LSP_ITEM*>(raw);
    ASSERT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), item), LSP_OK);
    EXPECT_STREQ(b1, "");  // both buffers stay empty for an item
    EXPECT_STREQ(b2, "");
    EXPECT_STREQ(reinterpret_cast<char*>(raw + 36), "item.txt");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw + 292)), path);
    ASSERT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), item), LSP_OK);
    std::uint32_t unpacked = 0, crc = 0;
    std::memcpy(&unpacked, raw + 18, 4);
    std::memcpy(&crc, raw + 10, 4);
    EXPECT_EQ(unpacked, 70000u);
    EXPECT_EQ(crc, crcOf(std::string(70000, 'z')));
    EXPECT_EQ(raw[2] | (raw[3] << 8), LSP_ATTR_ARCHIVE | LSP_ATTR_MAXIMUM);
    for (int i = 22; i < 36; ++i) EXPECT_EQ(raw[i], 0) << i;  // high size words are 0 below 4 GiB
    // DOS date and time of the file's modification, local time.
    struct stat st {};
    ASSERT_EQ(::stat(second.c_str(), &st), 0);
    std::tm tm{};
    localtime_r(&st.st_mtime, &tm);
    const int dosDate = raw[8] | (raw[9] << 8), dosTime = raw[6] | (raw[7] << 8);
    EXPECT_EQ(dosDate, ((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    EXPECT_EQ(dosTime, (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));

    EXPECT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), item), LSP_END_OF_LIST);
    ASSERT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), item), LSP_OK);  // starts again
    EXPECT_STREQ(item->name, "item.txt");
    LSP_RESETDLL();
    ASSERT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), item), LSP_OK);
    EXPECT_STREQ(item->name, "item.txt");
    LSP_RESETDLL();

    // An error fills the first buffer with what went wrong.
    std::ofstream(dir.file("junk.zip")) << "this is not an archive at all, just some text";
    EXPECT_EQ(LSP_GETNEXTITEM(b1, b2, dir.file("junk.zip").c_str(), item), LSP_E_STRUCTURE);
    EXPECT_GT(std::strlen(b1), 0u);
    EXPECT_EQ(LSP_GETNEXTITEM(b1, b2, dir.file("none.zip").c_str(), item), LSP_E_OPEN_ARCHIVE);
}

TEST_F(UnpackTest, KeptDirectoryFollowsAChangedArchive) {
    EXPECT_EQ(unpack(LSP_UF_TEST, dest), LSP_OK);
    // Another archive takes the same name (new file, same path): its own items count.
    const std::string other = dir.write("other/item.txt", "replacement archive");
    const std::string staged = dir.file("staged.zip");
    ASSERT_EQ(LSP_PACK(other.c_str(), staged.c_str(), "", 2, 0), LSP_OK);
    ASSERT_EQ(::rename(staged.c_str(), archive().c_str()), 0);
    EXPECT_EQ(unpack(LSP_UF_TEST, dest), LSP_E_NOT_FOUND);
    EXPECT_EQ(LSP_UNPACK("item.txt", "", archive().c_str(), dest.c_str(), 0), LSP_OK);
    EXPECT_EQ(readFile(dest + "/item.txt"), "replacement archive");

    // Rewritten in place, same size: the modification time tells.
    std::string bytes = readFile(archive());
    const std::size_t at = bytes.find("item.txt");
    ASSERT_NE(at, std::string::npos);
    std::string renamed = bytes;
    for (std::size_t p = renamed.find("item.txt"); p != std::string::npos; p = renamed.find("item.txt", p + 1))
        renamed.replace(p, 8, "ITEM.TXT");
    ::usleep(20000);
    std::ofstream(archive(), std::ios::binary | std::ios::trunc) << renamed;
    EXPECT_EQ(LSP_UNPACK("ITEM.TXT", "", archive().c_str(), dest.c_str(), LSP_UF_TEST), LSP_OK);
}

TEST_F(UnpackTest, ProgressAndStopDuringALargeItem) {
    const std::string big = dir.write("big.bin", randomBytes(3 << 20, 11));
    ASSERT_EQ(LSP_PACK(big.c_str(), archive().c_str(), "", 2, 0), LSP_OK);
    RecordingHost host;
    const LSP_HOST h = host.host();
    LSP_UINIT_MP(&h);
    EXPECT_EQ(LSP_UNPACK("big.bin", "", archive().c_str(), dest.c_str(), LSP_UF_TEST), LSP_OK);
    EXPECT_TRUE(host.percents.empty());  // only with the pump flag
    EXPECT_EQ(LSP_UNPACK("big.bin", "", archive().c_str(), dest.c_str(), LSP_UF_TEST | LSP_UF_PUMP), LSP_OK);
    ASSERT_GE(host.percents.size(), 48u);  // 3 MiB in steps of at most 64 KiB
    for (std::size_t i = 1; i < host.percents.size(); ++i) EXPECT_LE(host.percents[i] - host.percents[i - 1], 3);
    EXPECT_EQ(host.percents.back(), 100);
    EXPECT_GT(host.pumps, 40);

    host.percents.clear();
    host.stopAtProgressCall = 5;
    EXPECT_EQ(LSP_UNPACK("big.bin", "", archive().c_str(), dest.c_str(), LSP_UF_PUMP), LSP_CANCELLED);
    EXPECT_TRUE(std::filesystem::is_empty(dest));  // the part written is removed
}

// Sizes and offsets through zip64 fields and end records, as written for large archives.
std::string zip64Archive(const std::string& name, const std::string& data) {
    std::string out;
    auto a16 = [&](std::string& s, std::uint64_t v) { s.append({char(v & 0xff), char((v >> 8) & 0xff)}); };
    auto a32 = [&](std::string& s, std::uint64_t v) { a16(s, v & 0xffff), a16(s, (v >> 16) & 0xffff); };
    auto a64 = [&](std::string& s, std::uint64_t v) { a32(s, v & 0xffffffff), a32(s, v >> 32); };
    const std::uint32_t crc = crcOf(data);
    a32(out, 0x04034b50), a16(out, 45), a16(out, 0), a16(out, 0), a16(out, 0), a16(out, 33);
    a32(out, crc), a32(out, 0xffffffff), a32(out, 0xffffffff), a16(out, name.size()), a16(out, 20);
    out += name;
    a16(out, 1), a16(out, 16), a64(out, data.size()), a64(out, data.size());
    out += data;
    const std::uint64_t cdStart = out.size();
    std::string cd;
    a32(cd, 0x02014b50), a16(cd, 0x031e), a16(cd, 45), a16(cd, 0), a16(cd, 0), a16(cd, 0), a16(cd, 33);
    a32(cd, crc), a32(cd, 0xffffffff), a32(cd, 0xffffffff), a16(cd, name.size()), a16(cd, 28);
    a16(cd, 0), a16(cd, 0), a16(cd, 0), a32(cd, 0100644u << 16), a32(cd, 0xffffffff);
    cd += name;
    a16(cd, 1), a16(cd, 24), a64(cd, data.size()), a64(cd, data.size()), a64(cd, 0);
    out += cd;
    const std::uint64_t z64 = out.size();
    a32(out, 0x06064b50), a64(out, 44), a16(out, 45), a16(out, 45), a32(out, 0), a32(out, 0);
    a64(out, 1), a64(out, 1), a64(out, cd.size()), a64(out, cdStart);
    a32(out, 0x07064b50), a32(out, 0), a64(out, z64), a32(out, 1);
    a32(out, 0x06054b50), a16(out, 0), a16(out, 0), a16(out, 0xffff), a16(out, 0xffff);
    a32(out, 0xffffffff), a32(out, 0xffffffff), a16(out, 0);
    return out;
}

TEST_F(UnpackTest, Zip64FieldsAreRead) {
    const std::string z = dir.file("z64.zip");
    std::ofstream(z, std::ios::binary) << zip64Archive("big/z64.txt", "zip64 data");
    ASSERT_TRUE(unzipTestPasses(z));  // the hand-made archive is sound
    std::int16_t status = 0;
    const auto items = listArchive(z, &status);
    EXPECT_EQ(status, LSP_END_OF_LIST);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].path, "big/");
    EXPECT_EQ(items[0].unpacked, 10u);
    EXPECT_EQ(LSP_UNPACK("z64.txt", "big/", z.c_str(), dest.c_str(), LSP_UF_USE_PATHS | LSP_UF_CREATE_FOLDERS), LSP_OK);
    EXPECT_EQ(readFile(dest + "/big/z64.txt"), "zip64 data");
    // Copied on a change, it keeps its data.
    EXPECT_EQ(LSP_PACK(source.c_str(), z.c_str(), "", 2, 0), LSP_OK);
    EXPECT_TRUE(unzipTestPasses(z));
    EXPECT_EQ(LSP_UNPACK("z64.txt", "big/", z.c_str(), "", LSP_UF_TEST), LSP_OK);
}

// Whether two files of that size read back the same. Only where one of them holds data
// are bytes compared: elsewhere both are holes, which read as zeros.
bool sameContent(const std::string& a, const std::string& b, std::uint64_t size) {
    const int fa = ::open(a.c_str(), O_RDONLY), fb = ::open(b.c_str(), O_RDONLY);
    auto seek = [size](int fd, std::uint64_t from, int whence) {
        const off_t at = ::lseek(fd, static_cast<off_t>(from), whence);
        return at < 0 ? size : static_cast<std::uint64_t>(at);  // ENXIO: no data after from
    };
    std::vector<char> p(1 << 20), q(1 << 20);
    bool same = fa >= 0 && fb >= 0;
    for (std::uint64_t at = 0; same && at < size;) {
        const std::uint64_t start = std::min(seek(fa, at, SEEK_DATA), seek(fb, at, SEEK_DATA));
        if (start >= size) break;
        const std::uint64_t stop = std::max(seek(fa, start, SEEK_HOLE), seek(fb, start, SEEK_HOLE));
        for (at = start; same && at < stop;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(p.size(), stop - at));
            same = ::pread(fa, p.data(), n, static_cast<off_t>(at)) == static_cast<ssize_t>(n) &&
                   ::pread(fb, q.data(), n, static_cast<off_t>(at)) == static_cast<ssize_t>(n) &&
                   std::memcmp(p.data(), q.data(), n) == 0;
            at += n;
        }
    }
    if (fa >= 0) ::close(fa);
    if (fb >= 0) ::close(fb);
    return same;
}

// Over 4 GiB: sizes need zip64 fields and the item record's high words. A sparse file of
// 4 GiB + 1 byte (its first and last bytes written) is packed, listed, tested, restored
// byte-identical and copied on a change; unzip lists its true size. (unzip -t and python
// also decode it in scripts/big-files, which takes longer.)
TEST_F(UnpackTest, ItemBeyond4GiB) {
    constexpr std::uint64_t size = (4ull << 30) + 1;
    const std::string big = dir.write("big/sparse.bin", "head");
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(size - 1)), 0);
    { std::ofstream(big, std::ios::binary | std::ios::app) << 'Z'; }
    ASSERT_EQ(std::filesystem::file_size(big), size);
    ASSERT_EQ(LSP_PACK(big.c_str(), archive().c_str(), "", 2, LSP_PF_FAST | LSP_PF_UPDATE), LSP_OK);
    const auto items = listArchive(archive());
    const ListedItem* item = findItem(items, "sparse.bin");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->unpacked, size);
    EXPECT_GT(item->packed, 0u);
    EXPECT_LT(item->packed, size / 100);  // zeros deflate
    EXPECT_EQ(LSP_UNPACK("sparse.bin", "", archive().c_str(), "", LSP_UF_TEST), LSP_OK);
    ASSERT_EQ(LSP_UNPACK("sparse.bin", "", archive().c_str(), dest.c_str(), LSP_UF_ALWAYS_OVERWRITE), LSP_OK);
    EXPECT_EQ(std::filesystem::file_size(dest + "/sparse.bin"), size);
    EXPECT_TRUE(sameContent(big, dest + "/sparse.bin", size));
    std::filesystem::remove(dest + "/sparse.bin");
    // Deleting the other item copies the big one into a new archive as it is.
    EXPECT_EQ(LSP_DELETEITEM("item.txt", path.c_str(), archive().c_str(), "", 0), LSP_OK);
    EXPECT_EQ(
        runCommand("unzip -l " + quoted(archive()) + " | grep -Eq '^ *" + std::to_string(size) + " .*sparse.bin'"), 0);
    EXPECT_EQ(LSP_UNPACK("sparse.bin", "", archive().c_str(), "", LSP_UF_TEST), LSP_OK);
}

}  // namespace
}  // namespace quillet::test
