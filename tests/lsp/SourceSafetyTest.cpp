// What packing and restoring do for the files themselves: a file that changes while it is
// read, the permissions and times a restore gives back, who may read a new archive.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>

#include "LspTestSupport.h"

namespace quillet::test {
namespace {

using SourceSafetyTest = LspTest;

// Calls act(percent) at every progress report of the item being packed.
struct ActingHost {
    std::function<void(int)> act;
    LSP_HOST host() {
        LSP_HOST h{};
        h.context = this;
        h.progress = [](void* c, int percent) { static_cast<ActingHost*>(c)->act(percent); };
        return h;
    }
};

struct Umask {
    mode_t previous;
    explicit Umask(mode_t mask) : previous(::umask(mask)) {}
    ~Umask() { ::umask(previous); }
};

TEST_F(SourceSafetyTest, AFileChangedWhileReadIsPackedAgainAndOnceMoreIsLeftOutWholly) {
    const std::string before = dir.write("src/before.txt", "packed before");
    const std::string after = dir.write("src/after.txt", "packed after");
    const std::string log = dir.write("src/log.bin", randomBytes(2'000'000, 3));
    const std::string live = dir.write("src/live.bin", randomBytes(2'000'000, 4));
    const std::string truncated = randomBytes(2'000'000, 3).substr(0, 700'000);

    // log.bin is cut short half way through its first reading (a log being rotated);
    // live.bin grows during every reading.
    ActingHost acting;
    std::map<std::string, int> readings;
    std::string reading;
    bool cut = false;
    acting.act = [&](int percent) {
        if (percent == 0) ++readings[reading];
        if (percent < 40 || percent > 90) return;
        if (reading == log && !cut) {
            ASSERT_EQ(::truncate(log.c_str(), 700'000), 0);
            cut = true;
        }
        if (reading == live) {
            const int fd = ::open(live.c_str(), O_WRONLY | O_APPEND);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::write(fd, "x", 1), 1);
            ::close(fd);
        }
    };
    const LSP_HOST host = acting.host();
    LSP_PINIT_MP(&host);
    const auto pack = [&](const std::string& file, std::uint16_t method) {
        reading = file;
        return LSP_PACK(file.c_str(), archive().c_str(), "", method, LSP_PF_BATCH | LSP_PF_PUMP);
    };
    ASSERT_EQ(pack(before, LSP_METHOD_SUPERIOR), LSP_OK);
    EXPECT_EQ(pack(log, LSP_METHOD_SUPERIOR), LSP_OK);
    EXPECT_EQ(pack(live, LSP_METHOD_STORED), LSP_E_CHANGED);
    ASSERT_EQ(pack(after, LSP_METHOD_SUPERIOR), LSP_OK);
    LSP_RESETDLL();
    LSP_PINIT_MP(nullptr);
    EXPECT_TRUE(cut);
    EXPECT_EQ(readings[log], 2);
    EXPECT_EQ(readings[live], 2);
    EXPECT_EQ(readings[before], 1);

    // The archive holds the cut file as it is now, and nothing of the file that kept
    // changing: no half item, no dead data that unzip would trip over.
    EXPECT_TRUE(unzipTestPasses(archive()));
    const auto items = listArchive(archive());
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(findItem(items, "before.txt") && findItem(items, "after.txt"));
    ASSERT_TRUE(findItem(items, "log.bin"));
    EXPECT_EQ(findItem(items, "log.bin")->unpacked, 700'000u);
    const std::string out = dir.mkdir("out");
    ASSERT_EQ(LSP_UNPACK("log.bin", "", archive().c_str(), out.c_str(), 0), LSP_OK);
    EXPECT_EQ(readFile(out + "/log.bin"), truncated);
    EXPECT_EQ(::access((out + "/live.bin").c_str(), F_OK), -1);
}

TEST_F(SourceSafetyTest, RestoreGivesBackModeAndTimeAndArchivesAreTheOwnersAlone) {
    const Umask everyoneReads(022);
    struct Case {
        const char* name;
        mode_t mode;      // of the original
        mode_t restored;  // what comes back
    };
    const Case cases[] = {
        {"secret.key", 0600, 0600},   {"run.sh", 0755, 0755},
        {"shared.txt", 0664, 0664},                             // more than the umask lets a new file have
        {"readonly.txt", 0444, 0444}, {"setuid", 04755, 0755},  // never the set-user-ID bit
    };
    const timespec times[2] = {{1500000000, 0}, {1500000123, 456789000}};
    for (const Case& c : cases) {
        const std::string f = dir.write(std::string("src/") + c.name, c.name);
        ASSERT_EQ(::chmod(f.c_str(), c.mode), 0) << c.name;
        ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), times, 0), 0);
        ASSERT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", LSP_METHOD_SUPERIOR, LSP_PF_BATCH), LSP_OK) << c.name;
    }
    LSP_RESETDLL();
    struct stat st {};
    ASSERT_EQ(::stat(archive().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a new archive may be read by others";

    // Restored into a new folder and over files that are there already.
    const std::string fresh = dir.mkdir("fresh"), over = dir.mkdir("over");
    for (const Case& c : cases) dir.write(std::string("over/") + c.name, "older");
    for (const std::string& folder : {fresh, over}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(folder + "/" + c.name);
            ASSERT_EQ(LSP_UNPACK(c.name, "", archive().c_str(), folder.c_str(), LSP_UF_ALWAYS_OVERWRITE), LSP_OK);
            ASSERT_EQ(::stat((folder + "/" + c.name).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, c.restored);
            EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
            EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec);
            EXPECT_EQ(readFile(folder + "/" + c.name), c.name);
        }
    }
}

}  // namespace
}  // namespace quillet::test
