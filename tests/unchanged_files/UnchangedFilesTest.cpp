// A backup copies the files that did not change since the newest archive from it, packed,
// and packs everything else anew; the new archive stands on its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>

#include "BackupBench.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::readFile;
using test::RecordingView;

// Runs the backup command to its end and keeps how many files the run copied.
class CountingDriver : public BackupRunDriver {
public:
    explicit CountingDriver(BackupRunView& view) : loop_(view) {}
    BackupRunView& view() override { return loop_.view(); }
    void drive(BackupRun& run) override {
        loop_.drive(run);
        copied = run.copiedFiles();
    }
    std::int64_t copied = -1;

private:
    LoopBackupDriver loop_;
};

struct UnchangedBench : BackupBench {
    BackupCommandState state;
    std::map<std::string, std::string> files;  // name below src/ -> content

    UnchangedBench() {
        add("small.txt", "a short text file\n");
        add("empty.txt", "");
        add("sub/repeated.txt", std::string(300000, 'x') + "tail");
        add("sub/deeper/random.bin", test::randomBytes(1500000, 7));  // does not shrink: stored
        add("sub/deeper/mixed.dat", test::randomBytes(5000, 3) + std::string(70000, 'q'));
        component(src, "*.*");
    }
    void add(const std::string& name, const std::string& content) {
        files[name] = content;
        dir.write("src/" + name, content);
    }
    // The library records a file for copying only once the clock has left the tick in
    // which it last changed (a write within that tick could leave its times as they were),
    // so a backup made right after writing waits for that: for the clock, not for a run.
    void waitForTheNextClockTick() {
        timespec newest{};
        for (const auto& entry : files) {
            struct stat st {};
            ASSERT_EQ(::stat((src + "/" + entry.first).c_str(), &st), 0);
            if (st.st_ctim.tv_sec > newest.tv_sec ||
                (st.st_ctim.tv_sec == newest.tv_sec && st.st_ctim.tv_nsec > newest.tv_nsec))
                newest = st.st_ctim;
        }
        for (;;) {
            timespec now{};
            ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
            if (now.tv_sec > newest.tv_sec || (now.tv_sec == newest.tv_sec && now.tv_nsec > newest.tv_nsec)) return;
            const timespec pause{0, 1000000};
            ::nanosleep(&pause, nullptr);
        }
    }
    // One backup through the backup command; the files it copied.
    std::int64_t backup() {
        waitForTheNextClockTick();
        RecordingView view;
        CountingDriver driver(view);
        const Services s = commandServices();
        EXPECT_EQ(ExecuteBackup(s, state, project, driver), ExecuteOutcome::Succeeded) << dialogs.report();
        return driver.copied;
    }
    // The newest archive holds every file as it is now, and passes unzip's test.
    void expectNewestHoldsTheFiles() {
        const std::string archive = dest + "PREF0001.LSP";
        EXPECT_TRUE(test::unzipTestPasses(archive));
        const std::string prefix = src.substr(1) + "/";  // stored with absolute paths
        for (const auto& [name, content] : files) EXPECT_EQ(test::unzipItem(archive, prefix + name), content) << name;
    }
};

TEST(UnchangedFiles, ASecondAndThirdBackupOfUnchangedFilesCopyEveryFile) {
    UnchangedBench b;
    EXPECT_EQ(b.backup(), 0);
    EXPECT_EQ(b.backup(), static_cast<std::int64_t>(b.files.size()));
    b.expectNewestHoldsTheFiles();
    // A copied archive is as good a source as a packed one.
    EXPECT_EQ(b.backup(), static_cast<std::int64_t>(b.files.size()));
    b.expectNewestHoldsTheFiles();
}

TEST(UnchangedFiles, AFileThatMayHaveChangedIsPackedAnew) {
    struct Case {
        const char* what;
        std::function<void(UnchangedBench&, const std::string& path)> change;
    };
    const auto keepTimes = [](const std::string& path, const std::function<void()>& write) {
        struct stat before {};
        ASSERT_EQ(::stat(path.c_str(), &before), 0);
        write();
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    const Case cases[] = {
        {"rewritten with the same size and touched back to its old time (only the change time moved)",
         [&](UnchangedBench& b, const std::string& path) {
             keepTimes(path, [&] { b.add("sub/repeated.txt", std::string(300000, 'y') + "tail"); });
         }},
        {"replaced by mv: a new inode with the same content and times",
         [&](UnchangedBench& b, const std::string& path) {
             const std::string other = b.dir.write("src/sub/repeated.new", b.files["sub/repeated.txt"]);
             struct stat old {};
             ASSERT_EQ(::stat(path.c_str(), &old), 0);
             const timespec times[2] = {old.st_atim, old.st_mtim};
             ASSERT_EQ(::utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
             ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
         }},
        {"given other permissions", [](UnchangedBench&, const std::string& path) { ::chmod(path.c_str(), 0600); }},
        {"grown", [](UnchangedBench& b, const std::string&) { b.add("sub/repeated.txt", "longer now"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UnchangedBench b;
        EXPECT_EQ(b.backup(), 0);
        c.change(b, b.src + "/sub/repeated.txt");

        EXPECT_EQ(b.backup(), static_cast<std::int64_t>(b.files.size()) - 1);
        b.expectNewestHoldsTheFiles();
    }
}

// Where the central directory of an archive's bytes begins.
std::size_t directoryStart(const std::string& a) {
    const auto end = reinterpret_cast<const unsigned char*>(a.data()) + a.rfind("PK\x05\x06");
    return end[16] | (end[17] << 8) | (end[18] << 16) | (static_cast<std::size_t>(end[19]) << 24);
}

TEST(UnchangedFiles, ADamagedNewestArchiveIsNotCopiedFrom) {
    struct Case {
        const char* what;
        std::function<void(std::string& archive, const std::string& content)> damage;
    };
    const std::string random = test::randomBytes(1500000, 7);
    const Case cases[] = {
        {"a byte of stored data",
         [](std::string& a, const std::string& content) { a[a.find(content) + 1000] ^= 0x01; }},
        {"its local header names another item",
         [](std::string& a, const std::string&) {
             const auto at = a.rfind("random.bin", directoryStart(a));
             a[at] = 'R';
         }},
        {"the directory records another CRC",
         [](std::string& a, const std::string&) {
             // The central entry's CRC-32 lies 16 bytes into it; the name 46 bytes in.
             const auto name = a.find("random.bin", directoryStart(a));
             const auto entry = a.rfind("PK\x01\x02", name);
             a[entry + 16] ^= 0x01;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UnchangedBench b;
        EXPECT_EQ(b.backup(), 0);
        const std::string archive = b.dest + "PREF0001.LSP";
        std::string bytes = readFile(archive);
        c.damage(bytes, random);
        std::ofstream(archive, std::ios::binary | std::ios::trunc) << bytes;
        // The listed size is still right: the archive is used, and found damaged.
        const std::int64_t copied = b.backup();
        EXPECT_LT(copied, static_cast<std::int64_t>(b.files.size()));
        b.expectNewestHoldsTheFiles();
    }
}

}  // namespace
}  // namespace quillet
