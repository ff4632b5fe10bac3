// Packing with the compressors of each level, whole or streamed, and with the files
// announced ahead (compressed on the second thread): the archives are standard, restore
// byte for byte, and come out the same with and without the look-ahead, whatever files
// do meanwhile, whether the host stops or the disk fills.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "LspTestSupport.h"

namespace quillet::test {
namespace {

constexpr std::uint32_t kUnpackAll = LSP_UF_USE_PATHS | LSP_UF_CREATE_FOLDERS | LSP_UF_ALWAYS_OVERWRITE;

// Text of words from a small vocabulary: it compresses, and better at higher levels.
std::string words(std::size_t size, std::uint32_t seed) {
    static const char* const vocabulary[] = {"backup ",  "archive ", "folder ",  "project ", "file ", "mask ",
                                             "restore ", "level ",   "deflate ", "stream ",  "\n",    "quick ",
                                             "record ",  "item ",    "zip ",     "name "};
    std::string s;
    std::uint32_t x = seed * 2654435761u + 1;
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        s += vocabulary[(x >> 16) % 16];
        if ((x >> 8) % 7 == 0) s += std::to_string(x % 1000);
    }
    s.resize(size);
    return s;
}

class ParallelPackTest : public LspTest {
protected:
    void TearDown() override {
        LSP_LOOKAHEAD(nullptr, 0, 0, 0);
        LspTest::TearDown();
    }

    // Files across every path of the packer: empty, small, just under and over the size
    // compressed whole, many read chunks streamed, and data that does not shrink.
    std::vector<std::string> makeFiles() {
        std::vector<std::string> files = {
            dir.write("src/empty", ""),
            dir.write("src/small.txt", words(5000, 1)),
            dir.write("src/whole.txt", words((2 << 20) - 1, 2)),
            dir.write("src/over.txt", words((2 << 20) + 1, 3)),
            dir.write("src/large.txt", words(5 << 20, 4) + randomBytes(300000, 5) + words(400000, 6)),
            dir.write("src/noise.bin", randomBytes(700000, 7)),
            dir.write("src/tail.txt", words(70000, 8)),
        };
        for (int i = 0; i < 40; ++i)
            files.push_back(dir.write("src/many/" + std::to_string(i), words(3000 + 997 * i, i)));
        return files;
    }

    static void announce(const std::vector<std::string>& files, std::uint16_t method, std::uint32_t flags) {
        std::vector<const char*> names;
        for (const auto& f : files) names.push_back(f.c_str());
        LSP_LOOKAHEAD(names.data(), static_cast<std::uint32_t>(names.size()), method, flags);
    }

    // Packs files into a fresh archive in one batch; the statuses of the calls.
    std::vector<int> pack(const std::vector<std::string>& files, const std::string& zip, std::uint16_t method,
                          std::uint32_t flags, bool ahead, const std::function<void(std::size_t)>& before = {}) {
        if (ahead) announce(files, method, flags);
        std::vector<int> statuses;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (before) before(i);
            statuses.push_back(LSP_PACK(files[i].c_str(), zip.c_str(), "", method, flags | LSP_PF_BATCH));
        }
        LSP_RESETDLL();
        return statuses;
    }

    // Every item of zip restored below a new folder equals the file it came from.
    void expectRestoresExactly(const std::string& zip, const std::vector<std::string>& files) {
        const std::string dest = dir.mkdir("out-" + std::to_string(++restores_));
        for (const auto& item : listArchive(zip))
            ASSERT_EQ(LSP_UNPACK(item.name.c_str(), item.path.c_str(), zip.c_str(), dest.c_str(), kUnpackAll), LSP_OK)
                << item.name;
        for (const auto& f : files) EXPECT_EQ(readFile(dest + f), readFile(f)) << f;
    }

    int restores_ = 0;
};

TEST_F(ParallelPackTest, EveryLevelRestoresExactlyAndTheLookAheadChangesNoByte) {
    const auto files = makeFiles();
    struct Case {
        const char* name;
        std::uint16_t method;
        std::uint32_t flags;
    } const cases[] = {
        {"standard", LSP_METHOD_SUPERIOR, 0},
        {"fast", LSP_METHOD_SUPERIOR, LSP_PF_FAST},
        {"maximum", LSP_METHOD_SUPERIOR, LSP_PF_MAXIMUM},
        {"normal", LSP_METHOD_NORMAL, 0},
        {"stored", LSP_METHOD_STORED, 0},
    };
    std::vector<std::uint64_t> sizes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint32_t flags = LSP_PF_STORE_PATHS | c.flags;
        const std::string plain = dir.file(std::string(c.name) + ".zip");
        const std::string ahead = dir.file(std::string(c.name) + "-ahead.zip");
        for (int s : pack(files, plain, c.method, flags, false)) EXPECT_EQ(s, LSP_OK);
        for (int s : pack(files, ahead, c.method, flags, true)) EXPECT_EQ(s, LSP_OK);
        EXPECT_TRUE(unzipTestPasses(ahead));
        EXPECT_EQ(readFile(ahead), readFile(plain));
        expectRestoresExactly(ahead, files);
        const auto items = listArchive(ahead);
        ASSERT_EQ(items.size(), files.size());
        EXPECT_EQ(findItem(items, "noise.bin")->method, LSP_METHOD_STORED);
        EXPECT_EQ(findItem(items, "large.txt")->method, c.method);
        sizes.push_back(readFile(ahead).size());
    }
    // Fast is larger than standard, maximum smaller; all far below stored.
    EXPECT_GT(sizes[1], sizes[0]);
    EXPECT_LT(sizes[2], sizes[0]);
    EXPECT_LT(sizes[1], sizes[4] / 2);
}

TEST_F(ParallelPackTest, FilesChangedAfterTheyWereAnnouncedArePackedAsTheyAreNow) {
    auto files = makeFiles();
    const std::string zip = dir.file("changed.zip");
    // Each change happens just before the file's own pack call, after the background
    // thread may already have compressed the old content (or not: both must give this).
    const auto change = [&](std::size_t i) {
        const std::string& f = files[i];
        if (i == 1) {
            // Same size, time put back: only the change time tells.
            struct stat st {};
            ::stat(f.c_str(), &st);
            dir.write("src/small.txt", words(5000, 99));
            const timespec times[2] = {st.st_atim, st.st_mtim};
            ::utimensat(AT_FDCWD, f.c_str(), times, 0);
        } else if (i == 2) {
            dir.write("src/whole.txt", words(1000, 98));  // shorter
        } else if (i == 6) {
            // Replaced by another file under the same name.
            const std::string other = dir.write("src/other", words(70000, 97));
            ::rename(other.c_str(), f.c_str());
        } else if (i == 9) {
            ::unlink(f.c_str());
        }
    };
    const auto statuses = pack(files, zip, LSP_METHOD_SUPERIOR, LSP_PF_STORE_PATHS, true, change);
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(statuses[i], i == 9 ? LSP_E_OPEN_SOURCE : LSP_OK) << i;
    files.erase(files.begin() + 9);
    EXPECT_TRUE(unzipTestPasses(zip));
    expectRestoresExactly(zip, files);
    EXPECT_EQ(listArchive(zip).size(), files.size());
}

TEST_F(ParallelPackTest, AStopInsideAFileAbandonsItAndKeepsTheOthers) {
    const auto files = makeFiles();
    // A streamed file and one compressed whole (ahead, then written in slices).
    for (const std::size_t stopped : {std::size_t{4}, std::size_t{2}}) {
        SCOPED_TRACE(files[stopped]);
        RecordingHost host;
        const LSP_HOST h = host.host();
        const std::string zip = dir.file("stopped" + std::to_string(stopped) + ".zip");
        const auto statuses =
            pack(files, zip, LSP_METHOD_SUPERIOR, LSP_PF_STORE_PATHS | LSP_PF_PUMP, true, [&](std::size_t i) {
                host.percents.clear();
                host.stopAtProgressCall = i == stopped ? 5 : -1;
                LSP_PINIT_MP(&h);
            });
        LSP_PINIT_MP(nullptr);
        for (std::size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(statuses[i], i == stopped ? LSP_CANCELLED : LSP_OK) << i;
        EXPECT_TRUE(unzipTestPasses(zip));
        const auto items = listArchive(zip);
        EXPECT_EQ(items.size(), files.size() - 1);
        EXPECT_FALSE(findItem(items, files[stopped].substr(files[stopped].rfind('/') + 1)));
        auto kept = files;
        kept.erase(kept.begin() + static_cast<long>(stopped));
        expectRestoresExactly(zip, kept);
    }
}

TEST_F(ParallelPackTest, AFullDiskFailsTheFileThatDoesNotFitAndTheNextOnesGoIn) {
    // In a child process whose file-size limit stops the archive part way, like a full
    // disk; the look-ahead starts there, after the fork.
    auto files = makeFiles();
    const std::string huge = dir.write("src/huge.bin", randomBytes(8 << 20, 9));
    files.insert(files.begin() + 3, huge);
    const std::string zip = dir.file("full.zip");
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{6 << 20, 6 << 20};
        ::setrlimit(RLIMIT_FSIZE, &r);
        // The huge file (stored, it does not shrink) overruns the limit; what comes after
        // it fits in the room its rollback gives back.
        const auto statuses = pack(files, zip, LSP_METHOD_SUPERIOR, LSP_PF_STORE_PATHS, true);
        int failed = 0;
        for (int s : statuses) failed += s == LSP_E_WRITE || s == LSP_E_DISK_FULL;
        ::_exit(failed == 1 && statuses.back() == LSP_OK ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(unzipTestPasses(zip));
    EXPECT_EQ(listArchive(zip).size(), files.size() - 1);
}

}  // namespace
}  // namespace quillet::test
