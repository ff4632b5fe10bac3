// Opening and creating record files, and the faults around them: wrong password, damage,
// files that are not databases, and a second process holding the files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "framework/records/RecordFileKey.h"
#include "records/RawSqlite.h"
#include "records/TestLayouts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::readFile;
using test::TempDir;

std::string sqliteHeader() {
    return std::string("SQLite format 3\0", 16);
}

// A pair of files with a few records in them, closed again.
void populate(const std::string& folder) {
    RecordDatabase db(folder, test::testFiles());
    ASSERT_TRUE(db.open()) << "fresh files";
    for (int i = 1; i <= 40; ++i)
        ASSERT_TRUE(db.insert(
            "Items", test::item(i, "C" + std::to_string(i), "name " + std::to_string(i), 0, std::string(25, 'x'))));
    ASSERT_TRUE(db.insert("Tags", test::tag("red")));
}

TEST(RecordFile, CreatesMissingFilesEncryptedOrPlainAndKeepsDataBetweenOpens) {
    TempDir dir;
    populate(dir.path());

    const std::string items = readFile(dir.file("Items.tps"));
    const std::string tags = readFile(dir.file("Tags.tps"));
    ASSERT_GE(items.size(), 16u);
    EXPECT_NE(items.substr(0, 16), sqliteHeader()) << "a file with a password must not carry the plain header";
    EXPECT_EQ(tags.substr(0, 16), sqliteHeader());
    EXPECT_EQ(items.find("name 1"), std::string::npos) << "record text readable in the encrypted file";

    {
        test::RawSqlite plain(dir.file("Items.tps"));
        EXPECT_NE(plain.scalar("SELECT count(*) FROM sqlite_master").rfind("ERROR", 0), std::string::npos);
        test::RawSqlite plainTags(dir.file("Tags.tps"));
        EXPECT_EQ(plainTags.scalar("SELECT TAG FROM Tags"), "red");
    }

    RecordDatabase again(dir.path(), test::testFiles());
    ASSERT_TRUE(again.open());
    EXPECT_EQ(*again.count("Items"), 40);
    EXPECT_EQ(*again.count("Tags"), 1);
    again.close();
    EXPECT_EQ(readFile(dir.file("Items.tps")), items) << "opening and reading must not write";
    EXPECT_EQ(readFile(dir.file("Tags.tps")), tags);
}

// The engine opens keyed files with the key it derives itself (and falls back on the
// passphrase unnoticed), so only a client of its own shows that the key is SQLCipher's.
TEST(RecordFile, TheKeyDerivedForAFileIsTheOneSQLCipherDerivesFromItsPassphrase) {
    TempDir dir;
    populate(dir.path());
    const std::string password = test::testFiles().front().password;
    ASSERT_FALSE(password.empty());
    struct Case {
        const char* what;
        std::string passphrase;
        bool opens;
    };
    const Case cases[] = {{"its own passphrase", password, true}, {"another passphrase", password + "x", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string key = recordFileRawKey(dir.file("Items.tps"), c.passphrase);
        ASSERT_EQ(key.size(), 67u);
        test::RawSqlite raw(dir.file("Items.tps"));
        ASSERT_EQ(raw.exec("PRAGMA key = \"" + key + "\""), SQLITE_OK);
        const std::string count = raw.scalar("SELECT count(*) FROM Items");
        if (c.opens)
            EXPECT_EQ(count, "40");
        else
            EXPECT_EQ(count.rfind("ERROR", 0), 0u) << count;
    }
    EXPECT_EQ(recordFileRawKey(dir.file("Missing.tps"), password), "");
}

// The file is reported, named, and not one byte of it changes.
void expectRefusedAndUntouched(const std::string& folder, const std::string& file, std::vector<RecordFileSpec> specs,
                               const std::string& reasonPart) {
    const std::string before = readFile(folder + "/" + file);
    RecordDatabase db(folder, std::move(specs));
    Status s = db.open();
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find(folder + "/" + file), std::string::npos) << s.error();
    EXPECT_NE(s.error().find(reasonPart), std::string::npos) << s.error();
    EXPECT_FALSE(db.isOpen());
    EXPECT_EQ(readFile(folder + "/" + file), before);
}

TEST(RecordFile, UnopenableFilesAreReportedAndNeverRewritten) {
    {
        SCOPED_TRACE("wrong password");
        TempDir dir;
        populate(dir.path());
        expectRefusedAndUntouched(dir.path(), "Items.tps", test::testFiles("another password"), "password");
    }
    {
        SCOPED_TRACE("damaged in the middle");
        TempDir dir;
        populate(dir.path());
        std::string bytes = readFile(dir.file("Items.tps"));
        ASSERT_GT(bytes.size(), 4096u);
        for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] = static_cast<char>(i * 7);
        dir.write("Items.tps", bytes);
        expectRefusedAndUntouched(dir.path(), "Items.tps", test::testFiles(), "damaged");
    }
    {
        SCOPED_TRACE("plain file damaged in its first page");
        TempDir dir;
        populate(dir.path());
        std::string bytes = readFile(dir.file("Tags.tps"));
        for (std::size_t i = 100; i < 400; ++i) bytes[i] = '\x5a';
        dir.write("Tags.tps", bytes);
        expectRefusedAndUntouched(dir.path(), "Tags.tps", test::testFiles(), "cannot be opened");
    }
    {
        SCOPED_TRACE("not a database at all");
        TempDir dir;
        dir.write("Tags.tps", "this is a text file\nnot a record file\n");
        expectRefusedAndUntouched(dir.path(), "Tags.tps", test::testFiles(), "not a Quillet record file");
    }
    {
        SCOPED_TRACE("an unrelated SQLite database");
        TempDir dir;
        {
            RecordDatabase other(dir.path(), {RecordFileSpec{"Tags.tps", "", {test::itemLayout()}}});
            ASSERT_TRUE(other.open());
        }
        expectRefusedAndUntouched(dir.path(), "Tags.tps", test::testFiles(), "holds no Tags table");
    }
}

TEST(RecordFile, AFailedOpenCreatesNoOtherFile) {
    TempDir dir;
    populate(dir.path());
    ::unlink(dir.file("Tags.tps").c_str());
    RecordDatabase db(dir.path(), test::testFiles("wrong"));
    ASSERT_FALSE(db.open());
    struct stat st {};
    EXPECT_NE(::stat(dir.file("Tags.tps").c_str(), &st), 0) << "a missing file was created by an open that failed";
}

TEST(RecordFile, SomethingOtherThanAFileIsRefused) {
    TempDir dir;
    dir.mkdir("Tags.tps");
    RecordDatabase db(dir.path(), test::testFiles());
    Status s = db.open();
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("Tags.tps cannot be opened: it is not a regular file"), std::string::npos) << s.error();
}

TEST(RecordFile, AFileWithoutPermissionIsRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir locked;
    populate(locked.path());
    ::chmod(locked.file("Items.tps").c_str(), 0400);
    RecordDatabase ro(locked.path(), test::testFiles());
    Status s = ro.open();
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("Items.tps cannot be opened: Permission denied"), std::string::npos) << s.error();
}

// Waits for one byte from the pipe (the child's signal that it holds the lock).
void awaitSignal(int fd) {
    char c = 0;
    ASSERT_EQ(::read(fd, &c, 1), 1);
}

// A second process opens the files, takes the write lock, signals, holds it for holdMs
// (or, with a releaseFd, until a byte arrives there) and then commits one record of its own.
pid_t lockingChild(const std::string& folder, int holdMs, int signalFd, std::int64_t num, int releaseFd = -1) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    RecordDatabase db(folder, test::testFiles());
    int rc = 1;
    if (db.open() && db.beginBatch() && db.insert("Items", test::item(num, "C" + std::to_string(num), "child"))) {
        (void)!::write(signalFd, "x", 1);
        if (releaseFd >= 0) {
            char c = 0;
            (void)!::read(releaseFd, &c, 1);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        }
        rc = db.endBatch() ? 0 : 2;
    }
    ::_exit(rc);
}

TEST(RecordFile, TwoProcessesWaitForEachOtherAndLoseNothing) {
    TempDir dir;
    populate(dir.path());
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);

    {
        SCOPED_TRACE("a short hold is waited for");
        RecordDatabase db(dir.path(), test::testFiles(), 5000);
        ASSERT_TRUE(db.open());
        const pid_t child = lockingChild(dir.path(), 400, fds[1], 500);
        awaitSignal(fds[0]);
        auto id = db.insert("Items", test::item(600, "PRNT", "parent"));
        EXPECT_TRUE(id) << id.error();
        // The insert could only go through after the child's commit, so its record is there.
        EXPECT_EQ(*db.count("Items"), 42);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    {
        SCOPED_TRACE("a hold longer than the busy timeout fails cleanly");
        RecordDatabase db(dir.path(), test::testFiles(), 200);
        ASSERT_TRUE(db.open());
        // The child holds the lock until the parent has given up, however slow the machine.
        int release[2];
        ASSERT_EQ(::pipe(release), 0);
        const pid_t child = lockingChild(dir.path(), 0, fds[1], 501, release[0]);
        awaitSignal(fds[0]);
        auto id = db.insert("Items", test::item(700, "LATE", "late"));
        (void)!::write(release[1], "x", 1);
        ::close(release[0]);
        ::close(release[1]);
        ASSERT_FALSE(id);
        EXPECT_NE(id.error().find("in use by another Quillet process"), std::string::npos) << id.error();
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        // Once the other process is done, the same write goes through.
        EXPECT_TRUE(db.insert("Items", test::item(700, "LATE", "late")));
    }
    ::close(fds[0]);
    ::close(fds[1]);

    RecordDatabase check(dir.path(), test::testFiles());
    ASSERT_TRUE(check.open());
    EXPECT_EQ(*check.count("Items"), 44);
    test::RawSqlite raw(dir.file("Items.tps"), test::TestPassword);
    EXPECT_EQ(raw.scalar("PRAGMA integrity_check"), "ok");
}

}  // namespace
}  // namespace quillet
