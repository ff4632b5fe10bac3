// What reaches the disk, and in which order, when an archive is written: the finished
// temporary file (its permissions included) is synced before it is renamed over the
// archive, and the archive's folder after, so a power loss right after a success leaves
// the archive in place. The calls are recorded by stand-ins for the system calls that
// pass every call on.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "LspTestSupport.h"
#include "backup/RotateArchives.h"
#include "framework/ScriptedDialogs.h"
#include "platform/FileSystem.h"

namespace quillet::test {
namespace {

struct Call {
    std::string what;  // "sync" (fsync), "datasync", "chmod", "rename"
    std::string path;  // the file or folder, canonical; for a rename its source
    std::string to;    // rename target
    mode_t mode = 0;
};

bool g_recording = false;
std::vector<Call>& calls() {
    static std::vector<Call> c;
    return c;
}

std::string canonical(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

std::string pathOf(int fd) {
    std::error_code ec;
    const auto p = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    return ec ? std::string() : p.string();
}

void record(Call c) {
    if (!g_recording) return;
    g_recording = false;  // the recording itself may call what is recorded
    calls().push_back(std::move(c));
    g_recording = true;
}

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace
}  // namespace quillet::test

// The stand-ins: this program's own definitions come before the C library's.
extern "C" {

int fsync(int fd) {
    static const auto real = quillet::test::next<int (*)(int)>("fsync");
    quillet::test::record({"sync", quillet::test::pathOf(fd), {}, 0});
    return real(fd);
}

int fdatasync(int fd) {
    static const auto real = quillet::test::next<int (*)(int)>("fdatasync");
    quillet::test::record({"datasync", quillet::test::pathOf(fd), {}, 0});
    return real(fd);
}

int fchmod(int fd, mode_t mode) noexcept {
    static const auto real = quillet::test::next<int (*)(int, mode_t)>("fchmod");
    quillet::test::record({"chmod", quillet::test::pathOf(fd), {}, mode});
    return real(fd, mode);
}

int rename(const char* from, const char* to) noexcept {
    static const auto real = quillet::test::next<int (*)(const char*, const char*)>("rename");
    const int r = real(from, to);
    if (r == 0) quillet::test::record({"rename", quillet::test::canonical(from), quillet::test::canonical(to), 0});
    return r;
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) noexcept {
    static const auto real = quillet::test::next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    const int r = real(fromDir, from, toDir, to, flags);
    if (r == 0 && fromDir == AT_FDCWD && toDir == AT_FDCWD)
        quillet::test::record({"rename", quillet::test::canonical(from), quillet::test::canonical(to), 0});
    return r;
}

}  // extern "C"

namespace quillet::test {
namespace {

class DurabilityTest : public LspTest {
protected:
    void SetUp() override {
        LspTest::SetUp();
        calls().clear();
        g_recording = true;
    }
    void TearDown() override {
        g_recording = false;
        LspTest::TearDown();
    }

    // Position of the first call after `from` matching what and path, or -1.
    static long find(const std::string& what, const std::string& path, long from = 0) {
        const auto& c = calls();
        for (long i = from; i < static_cast<long>(c.size()); ++i)
            if (c[i].what == what && c[i].path == path) return i;
        return -1;
    }

    // The archive was put in place by a rename from a temporary file that had been synced
    // (after its last change of permissions), and its folder was synced after the rename.
    void expectDurable(const std::string& archivePath, mode_t mode, const std::string& step) {
        SCOPED_TRACE(step);
        const std::string target = canonical(archivePath);
        const auto& c = calls();
        long renamed = -1;
        for (long i = 0; i < static_cast<long>(c.size()); ++i)
            if (c[i].what == "rename" && c[i].to == target) renamed = i;
        ASSERT_GE(renamed, 0) << "no rename onto the archive";
        const std::string temp = c[renamed].path;
        long synced = -1, chmodded = -1;
        for (long i = 0; i < renamed; ++i) {
            if (c[i].path != temp) continue;
            if (c[i].what == "sync") synced = i;
            if (c[i].what == "chmod") chmodded = i;
        }
        EXPECT_GE(synced, 0) << "temporary file not fsynced (permissions included) before the rename";
        EXPECT_LT(chmodded, synced) << "permissions changed after the sync";
        EXPECT_GE(find("sync", canonical(std::filesystem::path(target).parent_path()), renamed), 0)
            << "folder not synced after the rename";
        struct stat st {};
        ASSERT_EQ(::stat(archivePath.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_TRUE(unzipTestPasses(archivePath));
        calls().clear();
    }
};

TEST_F(DurabilityTest, EveryArchiveWriteIsSyncedBeforeAndAfterItsRename) {
    const std::string a = dir.write("src/a.txt", "first item");
    const std::string b = dir.write("src/b.txt", "second item");
    // A new archive is its owner's alone, even under a umask that lets everyone read.
    struct OpenUmask {
        mode_t previous = ::umask(0);
        ~OpenUmask() { ::umask(previous); }
    } openUmask;
    const mode_t fresh = 0600;

    // A new archive in folders that do not exist yet: each new folder is synced into its
    // parent, or the archive could vanish with it.
    const std::string deep = dir.file("new/deeper/one.zip");
    ASSERT_EQ(LSP_PACK(a.c_str(), deep.c_str(), "", 2, 0), LSP_OK);
    EXPECT_GE(find("sync", canonical(dir.path())), 0) << "the new folder's parent was not synced";
    EXPECT_GE(find("sync", canonical(dir.file("new"))), 0) << "the new folder's parent was not synced";
    expectDurable(deep, fresh, "new archive");

    // A backup's batch, completed by the reset.
    const std::string temp = dir.file("QLTTemp.___");
    ASSERT_EQ(LSP_PACK(a.c_str(), temp.c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    ASSERT_EQ(LSP_PACK(b.c_str(), temp.c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    for (const auto& call : calls()) EXPECT_NE(call.what, "rename") << "the batch was put in place before its end";
    LSP_RESETDLL();
    expectDurable(temp, fresh, "batch");

    // Adding to, replacing in and deleting from a finished archive keeps its permissions.
    ASSERT_EQ(::chmod(temp.c_str(), 0600), 0);
    const std::string c = dir.write("src/c.txt", "third item");
    ASSERT_EQ(LSP_PACK(c.c_str(), temp.c_str(), "", 2, 0), LSP_OK);
    expectDurable(temp, 0600, "add");
    dir.write("src/a.txt", "first item, changed");
    ASSERT_EQ(LSP_PACK(a.c_str(), temp.c_str(), "", 2, LSP_PF_UPDATE), LSP_OK);
    expectDurable(temp, 0600, "update");
    ASSERT_EQ(LSP_DELETEITEM("b.txt", "", temp.c_str(), "", 0), LSP_OK);
    expectDurable(temp, 0600, "delete");

    // Through the temporary folder.
    const std::string elsewhere = dir.mkdir("temp");
    ASSERT_EQ(LSP_DELETEITEM("c.txt", "", temp.c_str(), elsewhere.c_str(), LSP_PF_TEMP_FOLDER), LSP_OK);
    expectDurable(temp, 0600, "delete through the temporary folder");
    ASSERT_EQ(LSP_PACK(b.c_str(), temp.c_str(), elsewhere.c_str(), 2, LSP_PF_TEMP_FOLDER | LSP_PF_BATCH), LSP_OK);
    LSP_RESETDLL();
    expectDurable(temp, 0600, "batch through the temporary folder");

    const auto items = listArchive(temp);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(findItem(items, "a.txt") && findItem(items, "b.txt"));

    // A temporary folder on another file system: the copy made beside the archive.
    struct stat here {};
    struct stat shm {};
    if (::stat("/dev/shm", &shm) == 0 && ::stat(dir.path().c_str(), &here) == 0 && shm.st_dev != here.st_dev &&
        ::access("/dev/shm", W_OK) == 0) {
        std::string other = "/dev/shm/lsp-durability-XXXXXX";
        ASSERT_TRUE(::mkdtemp(other.data()));
        const std::int16_t deleted = LSP_DELETEITEM("a.txt", "", temp.c_str(), other.c_str(), LSP_PF_TEMP_FOLDER);
        const bool empty = std::filesystem::is_empty(other);
        std::filesystem::remove_all(other);
        ASSERT_EQ(deleted, LSP_OK);
        expectDurable(temp, 0600, "delete through a folder on another file system");
        EXPECT_TRUE(empty);
    }
}

TEST_F(DurabilityTest, RotationSyncsTheDestinationFolder) {
    const std::string dest = dir.mkdir("dest");
    dir.write("dest/PREF0001.LSP", "one");
    dir.write("dest/PREF0002.LSP", "two");
    dir.write("dest/QLTTemp.___", "new");
    FileSystem fs{dest};
    ScriptedDialogs dialogs;
    BackupList list;
    for (const char* n : {"PREF0001.LSP", "PREF0002.LSP"}) {
        DirEntry e;
        e.name = e.shortName = n;
        list.push_back(e);
    }
    const RotationRequest request{dest + "/", "PREF", 2};
    const RotationOutcome outcome = RotateArchives(fs, dialogs, request, list);
    ASSERT_TRUE(outcome.completed);
    EXPECT_EQ(readFile(dest + "/PREF0001.LSP"), "new");
    EXPECT_EQ(readFile(dest + "/PREF0002.LSP"), "one");
    long lastRename = -1;
    for (long i = 0; i < static_cast<long>(calls().size()); ++i)
        if (calls()[i].what == "rename") lastRename = i;
    ASSERT_GE(lastRename, 0);
    EXPECT_EQ(calls()[lastRename].to, canonical(dest + "/PREF0001.LSP"));
    EXPECT_GE(find("sync", canonical(dest), lastRename), 0) << "the renames were not synced";
}

}  // namespace
}  // namespace quillet::test
