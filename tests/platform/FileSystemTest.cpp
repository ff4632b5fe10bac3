#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/DateCodes.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::readFile;
using test::TempDir;

std::map<std::string, DirEntry> byName(const std::vector<DirEntry>& entries) {
    std::map<std::string, DirEntry> m;
    for (const DirEntry& e : entries) m[e.name] = e;
    return m;
}

std::vector<std::string> names(const Result<std::vector<DirEntry>>& r) {
    std::vector<std::string> out;
    if (!r) return {"<" + r.error() + ">"};
    for (const DirEntry& e : *r) out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
}

// A folder holding one entry of every kind the attribute mapping tells apart.
class Listing : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.write("plain.txt", "12345");
        dir_.write(".hidden", "x");
        dir_.write("locked.doc", "abc");
        ::chmod(dir_.file("locked.doc").c_str(), 0444);
        dir_.mkdir("sub");
        dir_.mkdir(".git");
        ASSERT_EQ(::mkfifo(dir_.file("pipe").c_str(), 0644), 0);
        ASSERT_EQ(::symlink("plain.txt", dir_.file("link.txt").c_str()), 0);
        ASSERT_EQ(::symlink("sub", dir_.file("folderlink").c_str()), 0);
        ASSERT_EQ(::symlink("missing", dir_.file("broken").c_str()), 0);
        sock_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = dir_.file("sock");
        ASSERT_LT(path.size(), sizeof addr.sun_path);
        std::copy(path.begin(), path.end(), addr.sun_path);
        ASSERT_EQ(::bind(sock_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    void TearDown() override { ::close(sock_); }

    TempDir dir_;
    FileSystem fs_;
    int sock_ = -1;
};

TEST_F(Listing, AttributesOfEveryKindOfEntry) {
    const auto r = fs_.list(dir_.path(), "*.*", attrib::Hidden | attrib::System | attrib::Directory);
    ASSERT_TRUE(r) << r.error();
    auto all = byName(*r);
    EXPECT_EQ(all.size(), 10u);  // no "." or ".."
    EXPECT_EQ(all["plain.txt"].attrib, attrib::Archive);
    EXPECT_EQ(all["plain.txt"].size, 5);
    EXPECT_EQ(all["plain.txt"].shortName, "plain.txt");
    EXPECT_EQ(all[".hidden"].attrib, attrib::Archive);  // no hidden attribute on Linux
    EXPECT_EQ(all["locked.doc"].attrib, attrib::Archive | attrib::ReadOnly);
    EXPECT_EQ(all["sub"].attrib, attrib::Directory);
    EXPECT_EQ(all["sub"].size, 0);
    EXPECT_EQ(all[".git"].attrib, attrib::Directory);
    EXPECT_EQ(all["link.txt"].attrib, attrib::Archive);  // a link to a file is the file
    EXPECT_EQ(all["link.txt"].size, 5);
    // A walk must never follow a folder link: it is "system", not a directory.
    EXPECT_EQ(all["folderlink"].attrib, attrib::System);
    EXPECT_EQ(all["broken"].attrib, attrib::System);
    EXPECT_EQ(all["pipe"].attrib, attrib::System);
    EXPECT_EQ(all["sock"].attrib, attrib::System);
}

TEST_F(Listing, FilterListsSpecialEntriesOnlyWhenAsked) {
    // Ordinary files only: what a backup scan asks for. Dot-files are ordinary files.
    EXPECT_EQ(names(fs_.list(dir_.path(), "*.*", 0)),
              (std::vector<std::string>{".hidden", "link.txt", "locked.doc", "plain.txt"}));
    // Folders too: what a folder walk asks for; a dot-folder is a folder like any other.
    EXPECT_EQ(names(fs_.list(dir_.path(), "*", attrib::Directory)),
              (std::vector<std::string>{".git", ".hidden", "link.txt", "locked.doc", "plain.txt", "sub"}));
    EXPECT_EQ(names(fs_.list(dir_.path(), "*", attrib::Hidden)),
              (std::vector<std::string>{".hidden", "link.txt", "locked.doc", "plain.txt"}));
    EXPECT_EQ(names(fs_.list(dir_.path(), "*", attrib::System)),
              (std::vector<std::string>{".hidden", "broken", "folderlink", "link.txt", "locked.doc", "pipe",
                                        "plain.txt", "sock"}));
    EXPECT_EQ(names(fs_.list(dir_.path() + "/*.TXT", 0)), (std::vector<std::string>{"link.txt", "plain.txt"}));
    EXPECT_EQ(names(fs_.list(dir_.path(), "", 0)), std::vector<std::string>{});
}

TEST_F(Listing, DatesAndTimesAreLocalNumbers) {
    const std::time_t when = toTimeT(dateNumber(2019, 3, 4), timeNumber(5, 6, 7));
    ASSERT_TRUE(fs_.setModificationTime(dir_.file("plain.txt"), when, 250000000));
    const auto r = fs_.list(dir_.path(), "plain.txt", 0);
    ASSERT_TRUE(r && r->size() == 1u);
    EXPECT_EQ(r->front().date, dateNumber(2019, 3, 4));
    EXPECT_EQ(r->front().time, timeNumber(5, 6, 7, 25));
    const auto stamp = fs_.modificationTime(dir_.file("plain.txt"));
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->seconds, when);
    EXPECT_EQ(stamp->nanoseconds, 250000000);
    EXPECT_EQ(stamp->time, timeNumber(5, 6, 7, 25));
}

TEST_F(Listing, MissingFolderIsAnErrorNamingThePath) {
    const auto r = fs_.list(dir_.file("nowhere"), "*.*", 0);
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().find("No such file or directory"), std::string::npos) << r.error();
    EXPECT_NE(r.error().find(dir_.file("nowhere")), std::string::npos) << r.error();
}

TEST(CurrentFolder, IsVirtualAndResolvesRelativePaths) {
    TempDir dir;
    dir.write("a/b/file.txt", "hello");
    char before[4096];
    ASSERT_TRUE(::getcwd(before, sizeof before));

    FileSystem fs;
    EXPECT_EQ(fs.currentFolder(), before);
    ASSERT_TRUE(fs.setCurrentFolder(dir.file("a/")));
    EXPECT_EQ(fs.currentFolder(), dir.file("a"));
    ASSERT_TRUE(fs.setCurrentFolder("b"));
    EXPECT_EQ(fs.currentFolder(), dir.file("a/b"));
    EXPECT_TRUE(fs.fileExists("file.txt"));
    EXPECT_EQ(names(fs.list("*.txt", 0)), std::vector<std::string>{"file.txt"});
    ASSERT_TRUE(fs.setCurrentFolder(".."));
    EXPECT_EQ(fs.currentFolder(), dir.file("a"));
    EXPECT_EQ(fs.absolutePath("./b//file.txt"), dir.file("a/b/file.txt"));
    EXPECT_EQ(fs.absolutePath("/../x/./y/.."), "/x");
    ASSERT_TRUE(fs.setCurrentFolder("/"));
    EXPECT_EQ(fs.currentFolder(), "/");
    EXPECT_EQ(fs.absolutePath("tmp/x"), "/tmp/x");  // below the root: one "/", not two

    // Entering a file or a missing folder fails and leaves the current folder alone.
    ASSERT_TRUE(fs.setCurrentFolder(dir.path()));
    const Status notFolder = fs.setCurrentFolder("a/b/file.txt");
    EXPECT_FALSE(notFolder);
    EXPECT_NE(notFolder.error().find("Not a directory"), std::string::npos);
    EXPECT_FALSE(fs.setCurrentFolder("missing"));
    EXPECT_EQ(fs.currentFolder(), dir.path());

    char after[4096];
    ASSERT_TRUE(::getcwd(after, sizeof after));
    EXPECT_STREQ(before, after);  // the process never moved
}

TEST(FileOperations, MoveRefusesAnExistingTarget) {
    TempDir dir;
    FileSystem fs(dir.path());
    dir.write("QLTTemp.___", "new");
    dir.write("ABCD0001.LSP", "old");
    const Status s = fs.move("QLTTemp.___", "ABCD0001.LSP");
    EXPECT_FALSE(s);
    EXPECT_NE(s.error().find("already exists"), std::string::npos);
    EXPECT_EQ(readFile(dir.file("ABCD0001.LSP")), "old");
    EXPECT_EQ(readFile(dir.file("QLTTemp.___")), "new");

    ASSERT_TRUE(fs.move("ABCD0001.LSP", "ABCD0002.LSP"));
    ASSERT_TRUE(fs.move("QLTTemp.___", "ABCD0001.LSP"));
    EXPECT_EQ(readFile(dir.file("ABCD0001.LSP")), "new");
    EXPECT_EQ(readFile(dir.file("ABCD0002.LSP")), "old");
    EXPECT_FALSE(fs.move("nothing", "other"));

    // Folders move too.
    dir.mkdir("f1");
    ASSERT_TRUE(fs.move("f1", "f2"));
    EXPECT_TRUE(fs.folderExists("f2"));
}

TEST(FileOperations, CopyKeepsContentTimeAndMode) {
    TempDir dir;
    FileSystem fs(dir.path());
    const std::string data = test::randomBytes(3 * 1024 * 1024 + 17);
    dir.write("src.bin", data);
    ::chmod(dir.file("src.bin").c_str(), 0640);
    ASSERT_TRUE(fs.setModificationTime("src.bin", 1500000000, 123456789));

    ASSERT_TRUE(fs.copyFile("src.bin", "out/../copy.bin").ok());
    EXPECT_EQ(readFile(dir.file("copy.bin")), data);
    const auto stamp = fs.modificationTime("copy.bin");
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->seconds, 1500000000);
    EXPECT_EQ(stamp->nanoseconds, 123456789);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("copy.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    dir.write("small.txt", "small");
    ASSERT_TRUE(fs.copyFile("small.txt", "copy.bin"));  // replaces by default
    EXPECT_EQ(readFile(dir.file("copy.bin")), "small");
    EXPECT_FALSE(fs.copyFile("src.bin", "copy.bin", true));
    EXPECT_EQ(readFile(dir.file("copy.bin")), "small");

    const Status missing = fs.copyFile("none.txt", "x.txt");
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.error().find(dir.file("none.txt")), std::string::npos);
    EXPECT_FALSE(fs.copyFile("src.bin", "no/such/folder/x.bin"));
    // No temporary files left behind by any of this.
    EXPECT_EQ(names(fs.list("*.tmp-*", attrib::Hidden)), std::vector<std::string>{});
}

TEST(FileOperations, CreateDeleteAndQueries) {
    TempDir dir;
    FileSystem fs(dir.path());
    ASSERT_TRUE(fs.createFolder("one"));
    EXPECT_FALSE(fs.createFolder("one"));        // exists already
    EXPECT_FALSE(fs.createFolder("two/three"));  // parent missing
    ASSERT_TRUE(fs.createFolders("two/three/four"));
    ASSERT_TRUE(fs.createFolders("two/three/four"));
    EXPECT_TRUE(fs.folderExists("two/three/four"));
    EXPECT_FALSE(fs.fileExists("two/three/four"));

    dir.write("one/f.txt", "abcdef");
    EXPECT_TRUE(fs.fileExists("one/f.txt"));
    EXPECT_EQ(*fs.fileSize("one/f.txt"), 6);
    EXPECT_FALSE(fs.fileSize("one/none.txt"));
    EXPECT_FALSE(fs.removeFile("one"));  // a folder is not a file
    ASSERT_TRUE(fs.removeFile("one/f.txt"));
    EXPECT_FALSE(fs.fileExists("one/f.txt"));
    EXPECT_FALSE(fs.removeFile("one/f.txt"));
    ASSERT_TRUE(fs.removeFolder("one"));

    const auto e = fs.entry("two");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "two");
    EXPECT_EQ(e->attrib, attrib::Directory);

    const auto free = fs.freeSpace("two/not/yet/made");  // measured on the nearest existing parent
    ASSERT_TRUE(free) << free.error();
    EXPECT_GT(*free, 0);
}

TEST(Environment, TempFolderAndHome) {
    const char* saved = std::getenv("TMPDIR");
    const std::string old = saved ? saved : "";
    ::setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(tempFolder(), "/var/tmp/");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(tempFolder(), "/tmp/");
    if (saved) ::setenv("TMPDIR", old.c_str(), 1);

    const std::string home = expandHome("~");
    EXPECT_FALSE(home.empty());
    EXPECT_EQ(expandHome("~/backup"), home + "/backup");
    EXPECT_EQ(expandHome("~user/x"), "~user/x");
    EXPECT_EQ(expandHome("/abs/~"), "/abs/~");
}

}  // namespace
}  // namespace quillet
