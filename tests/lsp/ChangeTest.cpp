// Changing finished archives: delete, update and add through a temporary file, and what
// survives stops, full disks, failed replacements and killed processes.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "LspTestSupport.h"

namespace quillet::test {
namespace {

class ChangeTest : public LspTest {
protected:
    // An archive with a small item, a large incompressible one and another small one.
    void SetUp() override {
        LspTest::SetUp();
        small = dir.write("src/small.txt", "small item");
        large = dir.write("src/large.bin", randomBytes(6 << 20, 5));
        last = dir.write("src/last.txt", "last item");
        for (const auto& f : {small, large, last})
            ASSERT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
        LSP_RESETDLL();
        original = readFile(archive());
    }

    // Temporary archives left beside the archive.
    std::vector<std::string> strays() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            if (e.path().filename().string().find(".lsptmp") != std::string::npos) out.push_back(e.path());
        return out;
    }

    // Runs f in a child process; returns its exit status, or -signal when it was killed.
    static int inChild(const std::function<int()>& f) {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(f() & 0xff);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

    std::string small, large, last, original;
};

TEST_F(ChangeTest, DeleteRemovesOneItemAndKeepsTheRest) {
    ::chmod(archive().c_str(), 0640);
    EXPECT_EQ(LSP_DELETEITEM("large.bin", "", archive().c_str(), "", 0), LSP_OK);
    const auto items = listArchive(archive());
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(findItem(items, "small.txt") && findItem(items, "last.txt"));
    EXPECT_TRUE(unzipTestPasses(archive()));
    EXPECT_LT(std::filesystem::file_size(archive()), 1000u);
    struct stat st {};
    ASSERT_EQ(::stat(archive().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the archive keeps its permissions
    const std::string dest = dir.mkdir("out");
    ASSERT_EQ(LSP_UNPACK("last.txt", "", archive().c_str(), dest.c_str(), 0), LSP_OK);
    EXPECT_EQ(readFile(dest + "/last.txt"), "last item");

    EXPECT_EQ(LSP_DELETEITEM("large.bin", "", archive().c_str(), "", 0), LSP_E_NOT_FOUND);
    EXPECT_EQ(LSP_DELETEITEM("small.txt", "", dir.file("none.zip").c_str(), "", 0), LSP_E_OPEN_ARCHIVE);
    // Through the temporary folder, which then holds nothing afterwards.
    const std::string temp = dir.mkdir("temp");
    EXPECT_EQ(LSP_DELETEITEM("small.txt", "", archive().c_str(), temp.c_str(), LSP_PF_TEMP_FOLDER), LSP_OK);
    EXPECT_EQ(listArchive(archive()).size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(temp));
    // The last item: an empty archive, still an archive.
    EXPECT_EQ(LSP_DELETEITEM("last.txt", "", archive().c_str(), "", 0), LSP_OK);
    std::int16_t status = 0;
    EXPECT_TRUE(listArchive(archive(), &status).empty());
    EXPECT_EQ(status, LSP_END_OF_LIST);
    EXPECT_TRUE(strays().empty());
}

TEST_F(ChangeTest, StopAbandonsTheItemAndLeavesTheArchiveAsItWas) {
    RecordingHost host;
    const LSP_HOST h = host.host();
    LSP_PINIT_MP(&h);
    host.stopAtProgressCall = 10;
    EXPECT_EQ(LSP_DELETEITEM("small.txt", "", archive().c_str(), "", LSP_PF_PUMP), LSP_CANCELLED);
    EXPECT_EQ(readFile(archive()), original);

    // Packing: the stopped item is not in the archive; the batch goes on without it.
    const std::string big = dir.write("src/big.bin", randomBytes(4 << 20, 8));
    host.percents.clear();
    EXPECT_EQ(LSP_PACK(big.c_str(), archive().c_str(), "", 2, LSP_PF_PUMP), LSP_CANCELLED);
    EXPECT_EQ(readFile(archive()), original);
    const std::string fresh = dir.file("fresh.zip");
    host.percents.clear();
    ASSERT_EQ(LSP_PACK(small.c_str(), fresh.c_str(), "", 2, LSP_PF_BATCH | LSP_PF_PUMP), LSP_OK);
    host.percents.clear();
    EXPECT_EQ(LSP_PACK(big.c_str(), fresh.c_str(), "", 2, LSP_PF_BATCH | LSP_PF_PUMP), LSP_CANCELLED);
    ASSERT_GE(host.percents.size(), 10u);
    EXPECT_LT(host.percents.back(), 100);
    host.stopAtProgressCall = -1;
    host.percents.clear();
    ASSERT_EQ(LSP_PACK(last.c_str(), fresh.c_str(), "", 2, LSP_PF_BATCH | LSP_PF_PUMP), LSP_OK);
    LSP_RESETDLL();
    const auto items = listArchive(fresh);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_FALSE(findItem(items, "big.bin"));
    EXPECT_LT(std::filesystem::file_size(fresh), 1000u);
    EXPECT_TRUE(unzipTestPasses(fresh));
    EXPECT_TRUE(strays().empty());
}

TEST_F(ChangeTest, ProgressOfALargeItemComesEvery64KiB) {
    RecordingHost host;
    const LSP_HOST h = host.host();
    LSP_PINIT_MP(&h);
    const std::string big = dir.write("src/text.txt", std::string(5 << 20, 'q'));
    ASSERT_EQ(LSP_PACK(big.c_str(), dir.file("p.zip").c_str(), "", 2, 0), LSP_OK);
    EXPECT_TRUE(host.percents.empty());
    ASSERT_EQ(LSP_PACK(big.c_str(), dir.file("q.zip").c_str(), "", 2, LSP_PF_PUMP), LSP_OK);
    ASSERT_GE(host.percents.size(), 80u);  // 5 MiB in 64 KiB steps
    for (std::size_t i = 1; i < host.percents.size(); ++i) EXPECT_GE(host.percents[i], host.percents[i - 1]);
    EXPECT_EQ(host.percents.back(), 100);
}

TEST_F(ChangeTest, FullDiskLeavesTheArchiveUnchangedAndSaysSo) {
    // The file-size limit stops the temporary copy half way, like a full disk.
    const rlim_t limit = original.size() + (1 << 20);
    const auto limited = [&](const std::function<int()>& f) {
        return inChild([&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit r{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &r);
            return f();
        });
    };
    const std::string huge = dir.write("src/huge.bin", randomBytes(8 << 20, 6));
    // Adding an item.
    EXPECT_EQ(limited([&] { return LSP_PACK(huge.c_str(), archive().c_str(), "", 2, 0); }), LSP_E_WRITE);
    EXPECT_EQ(readFile(archive()), original);
    // Replacing one: the original is kept.
    dir.write("src/large.bin", randomBytes(9 << 20, 12));
    EXPECT_EQ(limited([&] { return LSP_PACK(large.c_str(), archive().c_str(), "", 2, LSP_PF_UPDATE); }),
              LSP_E_UPDATE_RESTORED);
    EXPECT_EQ(readFile(archive()), original);
    // Deleting: the copy without the item does not fit either.
    const auto tight = [&](const std::function<int()>& f) {
        return inChild([&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit r{1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_FSIZE, &r);
            return f();
        });
    };
    EXPECT_EQ(tight([&] { return LSP_DELETEITEM("small.txt", "", archive().c_str(), "", 0); }), LSP_E_DELETE_RESTORED);
    EXPECT_EQ(readFile(archive()), original);
    EXPECT_TRUE(strays().empty());
    EXPECT_TRUE(unzipTestPasses(archive()));

    // No temporary file at all: a temporary folder that does not exist.
    const std::string noFolder = dir.file("no/such/folder");
    EXPECT_EQ(LSP_PACK(huge.c_str(), archive().c_str(), noFolder.c_str(), 2, LSP_PF_TEMP_FOLDER), LSP_E_CREATE_TEMP);
    EXPECT_EQ(LSP_PACK(large.c_str(), archive().c_str(), noFolder.c_str(), 2, LSP_PF_TEMP_FOLDER | LSP_PF_UPDATE),
              LSP_E_UPDATE_RESTORED);
    EXPECT_EQ(readFile(archive()), original);

    // In a batch the item that does not fit is abandoned and the next ones still go in.
    const std::string fresh = dir.file("sub/fresh.zip");
    EXPECT_EQ(limited([&] {
                  const int a = LSP_PACK(small.c_str(), fresh.c_str(), "", 2, LSP_PF_BATCH);
                  const int b = LSP_PACK(huge.c_str(), fresh.c_str(), "", 2, LSP_PF_BATCH);
                  const int c = LSP_PACK(last.c_str(), fresh.c_str(), "", 2, LSP_PF_BATCH);
                  LSP_RESETDLL();
                  return a == LSP_OK && c == LSP_OK ? b : 99;
              }),
              LSP_E_WRITE);
    const auto items = listArchive(fresh);
    EXPECT_EQ(items.size(), 2u);
    EXPECT_FALSE(findItem(items, "huge.bin"));
    EXPECT_TRUE(unzipTestPasses(fresh));
}

TEST_F(ChangeTest, FailedReplacementGives17AndTheArchiveSurvives) {
    // The temporary copy is made elsewhere; the archive's folder refuses the rename.
    const std::string folder = dir.mkdir("locked");
    const std::string locked = folder + "/a.zip";
    std::filesystem::copy_file(archive(), locked);
    const std::string temp = dir.mkdir("temp");
    const bool root = ::geteuid() == 0;
    const std::string lock = root ? "chattr +i " + quoted(folder) : "chmod 555 " + quoted(folder);
    if (runCommand(lock + " 2>/dev/null") != 0) GTEST_SKIP() << "cannot lock a folder here";
    const std::int16_t deleted = LSP_DELETEITEM("small.txt", "", locked.c_str(), temp.c_str(), LSP_PF_TEMP_FOLDER);
    const std::int16_t packed =
        LSP_PACK(last.c_str(), locked.c_str(), temp.c_str(), 2, LSP_PF_TEMP_FOLDER | LSP_PF_UPDATE);
    runCommand((root ? "chattr -i " : "chmod 755 ") + quoted(folder));
    EXPECT_EQ(deleted, LSP_E_REPLACE_FAILED);
    EXPECT_EQ(packed, LSP_E_REPLACE_FAILED);
    EXPECT_EQ(readFile(locked), original);
    EXPECT_TRUE(std::filesystem::is_empty(temp));
}

TEST_F(ChangeTest, KilledDuringDeleteOrUpdateLeavesAReadableArchive) {
    // The child kills itself in the middle of copying, at several points.
    for (int at : {0, 3, 20, 60}) {
        const int r = inChild([&] {
            RecordingHost host;
            host.killAtProgressCall = at;
            const LSP_HOST h = host.host();
            LSP_PINIT_MP(&h);
            return at % 2 ? LSP_DELETEITEM("small.txt", "", archive().c_str(), "", LSP_PF_PUMP)
                          : LSP_PACK(last.c_str(), archive().c_str(), "", 2, LSP_PF_UPDATE | LSP_PF_PUMP);
        });
        EXPECT_EQ(r, -SIGKILL) << at;
        EXPECT_TRUE(unzipTestPasses(archive())) << at;
        EXPECT_EQ(readFile(archive()), original) << at;
    }
    // And at moments chosen by the clock, the end of the work included.
    for (int delay = 0; delay < 40; delay += 4) {
        const pid_t child = ::fork();
        if (child == 0) {
            const int s = LSP_DELETEITEM("small.txt", "", archive().c_str(), "", 0);
            ::_exit(s == LSP_OK ? 0 : 1);
        }
        ::usleep(static_cast<useconds_t>(delay * 1000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(unzipTestPasses(archive())) << delay;
        const auto items = listArchive(archive());
        ASSERT_TRUE(items.size() == 3 || items.size() == 2) << delay;
        if (items.size() == 2) {  // the new archive: put the old one back for the next round
            EXPECT_FALSE(findItem(items, "small.txt"));
            dir.write("test.zip", original);
        }
    }
}

}  // namespace
}  // namespace quillet::test
