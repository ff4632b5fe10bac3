// The real program run unattended in console mode: what it prints and returns, and what
// it leaves behind when it is killed or its disk fills up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "BackupBench.h"
#include "backup/RotateArchives.h"
#include "catalog/ArchiveCommentRecord.h"
#include "catalog/Catalog.h"
#include "platform/CrashPoint.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::randomBytes;
using test::readFile;
using test::TempDir;
using Names = std::vector<std::string>;

struct Child {
    pid_t pid = -1;
};

// Starts build/quillet with args; stdout and stderr go to files. With fileSizeLimit the
// child may write no file larger than that (a full disk, as far as the program can tell);
// env holds "NAME=value" settings for the child alone.
Child start(const std::vector<std::string>& args, const std::string& out, const std::string& err,
            rlim_t fileSizeLimit = RLIM_INFINITY, bool withoutDisplay = false,
            const std::vector<std::string>& env = {}) {
    Child c;
    c.pid = ::fork();
    if (c.pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        if (fileSizeLimit != RLIM_INFINITY) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (const auto& setting : env) ::putenv(const_cast<char*>(setting.c_str()));
        if (withoutDisplay) {
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            ::unsetenv("QT_QPA_PLATFORM");
        }
        std::vector<char*> argv{const_cast<char*>(QUILLET_EXECUTABLE)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(QUILLET_EXECUTABLE, argv.data());
        ::_exit(127);
    }
    return c;
}

// The exit code, or -signal when it was killed.
int wait(const Child& c) {
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
}

// A project in this process's QUILLET_HOME over src, archives in dest.
struct ConsoleBench {
    TempDir dir;
    Paths paths = Paths::fromEnvironment();
    std::string src = dir.mkdir("src");
    std::string dest = dir.mkdir("dest") + "/";
    FileSystem fs;

    explicit ConsoleBench(int maxBackups, const std::string& notes = "Nightly sources") {
        Catalog catalog(paths.dataFolder);
        EXPECT_TRUE(catalog.open().ok());
        Project p;
        p.NAME = "Sources";
        p.PREFIX = "PREF";
        p.DESTINATIONPATH = dest;
        p.MAXBACKUPS = static_cast<std::uint8_t>(maxBackups);
        p.NOTES = notes;
        auto stored = catalog.projects().insert(p);
        EXPECT_TRUE(stored.ok()) << stored.error();
        Component c;
        c.PROSYSID = stored->SYSID;
        c.PATH = src;
        c.MASK = "*.*";
        c.RECURSE = 1;
        EXPECT_TRUE(catalog.components().insert(c).ok());
        catalog.close();
    }

    int run(std::string* out = nullptr, std::string* err = nullptr, rlim_t limit = RLIM_INFINITY,
            std::vector<std::string> args = {"-P=sources", "--console"}, bool withoutDisplay = false,
            const std::vector<std::string>& env = {}) {
        const int code = wait(start(args, dir.file("out.txt"), dir.file("err.txt"), limit, withoutDisplay, env));
        if (out) *out = readFile(dir.file("out.txt"));
        if (err) *err = readFile(dir.file("err.txt"));
        return code;
    }
    Names archives() const {
        Names out;
        auto listed = fs.list(dest, "*", 0);
        for (const auto& e : *listed) out.push_back(e.name);
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST(ConsoleMode, BacksUpPrintsItsProgressAndReturnsZero) {
    ConsoleBench b(3, "Notes for the archive");
    std::map<std::string, std::string> files;
    files["a.txt"] = "alpha";
    files["deep/er/b.bin"] = randomBytes(300000, 5);
    files["deep/c.txt"] = std::string(100000, 'c');
    for (const auto& [name, content] : files) b.dir.write("src/" + name, content);

    std::string out, err;
    ASSERT_EQ(b.run(&out, &err), 0) << out << err;
    EXPECT_EQ(err, "");
    for (const char* line :
         {"Scanning Directories:\n", "Compressing Files...\n", "Total Files: 3  Total Bytes: 400,005\n",
          "Back up Sources  (Normal)\n", "100%  3/3 files  400,005/400,005 bytes\n", "Renaming Files....\n",
          "Completed - No Errors\n", "Seconds: "})
        EXPECT_NE(out.find(line), std::string::npos) << line << " not in:\n" << out;

    const std::string archive = b.dest + "PREF0001.LSP";
    ASSERT_EQ(b.archives(), Names{"PREF0001.LSP"});
    EXPECT_TRUE(test::unzipTestPasses(archive));
    TempDir x;
    ASSERT_EQ(test::runCommand("unzip -q '" + archive + "' -d '" + x.path() + "'"), 0);
    for (const auto& [name, content] : files) EXPECT_EQ(readFile(x.path() + b.src + "/" + name), content) << name;
    const std::string comment = readFile(x.file("LSPComments.inb"));
    ASSERT_EQ(comment.size(), 1016u);
    EXPECT_EQ(decodeArchiveComment(comment)->NOTES, "Notes for the archive");
    // The unattended run records its project in [LastBacked].
    EXPECT_NE(readFile(b.paths.configFolder + "quillet.ini").find("[LastBacked]\n1=1\n"), std::string::npos);
}

TEST(ConsoleMode, ExitCodesForAnUnknownProjectAndForNothingToBackUp) {
    ConsoleBench b(3);
    std::string out, err;
    EXPECT_EQ(b.run(&out, &err, RLIM_INFINITY, {"-P=nosuch", "--console"}), 2);
    EXPECT_EQ(err, "Quillet Message: Improper Project Name Passed:\n\nNOSUCH\n");

    // An empty source folder: nothing matches.
    EXPECT_EQ(b.run(&out, &err), 1);
    EXPECT_EQ(err, "No Files Match Backup Criteria\n");
    EXPECT_TRUE(b.archives().empty());

    // Without a display the same run needs no --console.
    b.dir.write("src/a.txt", "a");
    EXPECT_EQ(b.run(&out, &err, RLIM_INFINITY, {"-P=Sources"}, true), 0) << err;
    EXPECT_NE(out.find("Completed - No Errors"), std::string::npos);
}

// The markers of every archive in dest (one marker file per run), checking each with unzip.
std::multiset<std::string> markersOf(ConsoleBench& b, const std::string& markerItem) {
    std::multiset<std::string> markers;
    for (const auto& name : b.archives()) {
        if (name.find(".LSP") == std::string::npos) continue;
        EXPECT_TRUE(test::unzipTestPasses(b.dest + name)) << name;
        markers.insert(test::unzipItem(b.dest + name, markerItem));
    }
    return markers;
}

TEST(ConsoleMode, KilledRunsNeverDamageOlderArchivesAndTheNextRunCleansUp) {
    ConsoleBench b(0);  // keep every archive, so none may go
    for (int i = 0; i < 120; ++i)
        b.dir.write("src/d" + std::to_string(i % 6) + "/f" + std::to_string(i) + ".dat",
                    i % 3 ? std::string(20000 + i, char('a' + i % 26)) : randomBytes(30000, i + 1));
    const std::string markerItem = b.src.substr(1) + "/marker.txt";
    std::multiset<std::string> expected;
    auto successfulRun = [&](int n) {
        b.dir.write("src/marker.txt", "run " + std::to_string(n));
        std::string out, err;
        ASSERT_EQ(b.run(&out, &err), 0) << out << err;
        expected.insert("run " + std::to_string(n));
    };
    // The kill moments spread over the shorter of two whole runs: one slowed down by other
    // work on the machine would put most kills after the run's end.
    auto timedRun = [&](int n) {
        const auto t0 = std::chrono::steady_clock::now();
        successfulRun(n);
        return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    };
    const auto first = timedRun(0);
    const auto runTime = std::min(first, timedRun(1));

    std::mt19937 random(20240607);
    std::uniform_int_distribution<long> moment(0, runTime.count() * 12 / 10);
    // A smoke test: the kills land wherever the machine's speed puts them, so it asserts
    // only that nothing was ever lost, never how many runs the kills caught.
    for (int round = 0; round < 20; ++round) {
        const std::string marker = "killed " + std::to_string(round);
        b.dir.write("src/marker.txt", marker);
        const Child c = start({"-P=Sources", "--console"}, b.dir.file("out.txt"), b.dir.file("err.txt"));
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ::kill(c.pid, SIGKILL);
        const int code = wait(c);
        std::multiset<std::string> found = markersOf(b, markerItem);
        // A run killed after its renames finished has added its own archive; one killed once
        // its archive was complete has that archive numbered by the next run into the folder.
        if (code == 0) expected.insert(marker);
        for (const auto& m : found)
            if (m.rfind("killed ", 0) == 0 && !expected.count(m)) expected.insert(m);
        EXPECT_EQ(found, expected) << "round " << round;
    }

    successfulRun(99);
    EXPECT_EQ(markersOf(b, markerItem), expected);
    for (const auto& name : b.archives()) EXPECT_EQ(name.find("QLTTemp"), std::string::npos) << name << " left behind";
    EXPECT_EQ(test::unzipItem(b.dest + "PREF0001.LSP", markerItem), "run 99");
}

TEST(ConsoleMode, AFullDiskFailsTheRunAndLeavesTheOlderArchivesAlone) {
    ConsoleBench b(2);
    for (int i = 0; i < 40; ++i) b.dir.write("src/f" + std::to_string(i) + ".bin", randomBytes(50000, i + 1));
    ASSERT_EQ(b.run(), 0);
    b.dir.write("src/g.bin", randomBytes(10000, 99));
    ASSERT_EQ(b.run(), 0);
    const std::string newest = readFile(b.dest + "PREF0001.LSP"), oldest = readFile(b.dest + "PREF0002.LSP");

    // The archive needs two megabytes; no file may grow past one.
    std::string out, err;
    EXPECT_EQ(b.run(&out, &err, 1'000'000), 1) << out << err;
    EXPECT_EQ(b.archives(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
    EXPECT_EQ(readFile(b.dest + "PREF0001.LSP"), newest);
    EXPECT_EQ(readFile(b.dest + "PREF0002.LSP"), oldest);
    EXPECT_NE(err.find("Backup Failed: The new backup"), std::string::npos) << err;
}

TEST(ConsoleMode, UnreadableFilesAndFoldersAreNamedLeftOutAndKeepTheOlderArchive) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file; run the suite as an ordinary user";
    ConsoleBench b(1);
    b.dir.write("src/a.txt", "alpha");
    b.dir.write("src/deep/b.txt", "beta");
    b.dir.write("src/shut/inner/c.txt", "gamma");
    b.dir.write("src/secret.txt", "delta");
    ASSERT_EQ(b.run(), 0);
    const std::string older = readFile(b.dest + "PREF0001.LSP");

    // A folder of mode 000 and a file nobody may read: the rest is backed up, both are
    // named with their reason, and the only archive that holds them is kept.
    const std::string shut = b.src + "/shut", secret = b.src + "/secret.txt";
    ASSERT_EQ(::chmod(shut.c_str(), 0), 0);
    ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
    std::string out, err;
    const int code = b.run(&out, &err);
    ::chmod(shut.c_str(), 0755);
    ::chmod(secret.c_str(), 0644);
    EXPECT_EQ(code, 1) << out << err;
    EXPECT_NE(err.find("failed\t" + shut + "/\tPermission denied\n"), std::string::npos) << err;
    EXPECT_NE(err.find("failed\t" + secret + "\tPermission denied\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("Path not found"), std::string::npos) << err;
    EXPECT_NE(out.find("Completed - 2 Errors\n"), std::string::npos) << out;

    ASSERT_EQ(b.archives(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
    EXPECT_EQ(readFile(b.dest + "PREF0002.LSP"), older);
    EXPECT_TRUE(test::unzipTestPasses(b.dest + "PREF0001.LSP"));
    std::vector<std::string> listed = test::unzipNames(b.dest + "PREF0001.LSP");
    std::sort(listed.begin(), listed.end());
    const std::string root = b.src.substr(1);
    Names expected{"LSPComments.inb", root + "/a.txt", root + "/deep/b.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);

    // A component folder that is not there still stops the run before anything is packed.
    std::filesystem::remove_all(b.src);
    EXPECT_EQ(b.run(&out, &err), 1);
    EXPECT_NE(err.find("not found!"), std::string::npos) << err;
    EXPECT_EQ(b.archives(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
}

// A run stopped at a crash point (QUILLET_PAUSE_AT): it has told the test that it got
// there and waits for resume().
struct PausedRun {
    Child child;
    int socket = -1;
};

PausedRun startPaused(ConsoleBench& b, const std::vector<std::string>& args, const std::string& point,
                      const std::string& name) {
    int ends[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    PausedRun p;
    p.socket = ends[0];
    p.child = start(args, b.dir.file(name + ".out"), b.dir.file(name + ".err"), RLIM_INFINITY, false,
                    {"QUILLET_PAUSE_AT=" + point, "QUILLET_PAUSE_FD=" + std::to_string(ends[1])});
    ::close(ends[1]);
    std::string said;
    char c;
    while (::read(p.socket, &c, 1) == 1 && c != '\n') said += c;
    EXPECT_EQ(said + ":1", point) << "the run ended before it got there: " << readFile(b.dir.file(name + ".err"));
    return p;
}

void resume(PausedRun& p) {
    EXPECT_EQ(::send(p.socket, "g", 1, MSG_NOSIGNAL), 1);
    ::close(p.socket);
}

// The markers of the project's archives, 0001 first, each archive checked with unzip -t.
Names markersInOrder(ConsoleBench& b, const std::string& markerItem, const std::string& prefix = "PREF") {
    Names markers;
    for (const auto& name : b.archives()) {
        if (name.rfind(prefix, 0) != 0 || name.size() != 12) continue;
        EXPECT_TRUE(test::unzipTestPasses(b.dest + name)) << name;
        markers.push_back(test::unzipItem(b.dest + name, markerItem));
    }
    return markers;
}

// Nothing a run works with is left once a run has ended normally.
void expectNoLeftovers(ConsoleBench& b) {
    for (const auto& name : b.archives())
        EXPECT_TRUE(name.rfind("QLT", 0) != 0 && name.find(".lsptmp-") == std::string::npos &&
                    name.find(".tmp-") == std::string::npos)
            << name << " left behind";
}

TEST(ConsoleMode, AKillAtEveryCrashPointLosesNoBackupAndTheNextRunFinishesTheRotation) {
    // Five archives and a maximum of five: every run deletes one and renames nine times.
    ConsoleBench b(5);
    for (int i = 0; i < 3; ++i) b.dir.write("src/f" + std::to_string(i) + ".dat", randomBytes(20000, i + 1));
    const std::string markerItem = b.src.substr(1) + "/marker.txt";
    const std::string ini = b.paths.configFolder + "quillet.ini";
    auto prepare = [&](const std::string& marker) {
        b.dir.write("src/marker.txt", marker);
        // Another project as the most recent one, so that every run writes its settings.
        std::string settings = readFile(ini);
        if (auto at = settings.find("[LastBacked]\n1=1\n"); at != std::string::npos)
            settings.replace(at, 17, "[LastBacked]\n1=9\n");
        std::ofstream(ini, std::ios::binary | std::ios::trunc) << settings;
    };
    auto backup = [&](const std::string& marker, const std::vector<std::string>& env = {},
                      std::vector<std::string> args = {"-P=Sources", "--console"}) {
        prepare(marker);
        return b.run(nullptr, nullptr, RLIM_INFINITY, std::move(args), false, env);
    };
    Names newestFirst;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(backup("setup " + std::to_string(i)), 0);
        newestFirst.insert(newestFirst.begin(), "setup " + std::to_string(i));
    }
    ASSERT_EQ(markersInOrder(b, markerItem), newestFirst);

    // After a run that ended normally: five sound archives, newest first; the run killed
    // before it (killed, or "") either made it to 0002 or left no trace.
    auto expectAfterNormalRun = [&](const std::string& newest, const std::string& killed, bool mustKeep = false) {
        expectNoLeftovers(b);
        const Names found = markersInOrder(b, markerItem);
        Names without = newestFirst, with = newestFirst;
        without.insert(without.begin(), newest);
        with.insert(with.begin(), killed);
        with.insert(with.begin(), newest);
        without.resize(5);
        with.resize(5);
        EXPECT_TRUE((found == without && !mustKeep) || (!killed.empty() && found == with))
            << "found: " << ::testing::PrintToString(found) << "\nbefore: " << ::testing::PrintToString(newestFirst);
        newestFirst = found;
    };

    int kills = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < CrashPointNames.size(); ++i) {
        const auto point = static_cast<CrashPoint>(i);
        const std::string name(CrashPointNames[i]);
        const bool recordScenario = point == CrashPoint::RecordCommitting || point == CrashPoint::RecordCommitted;
        int killsHere = 0;
        // Every time the scenario reaches the point, until a run gets through it.
        for (int n = 1;; ++n) {
            const std::string at = name + ":" + std::to_string(n);
            SCOPED_TRACE(at);
            const std::vector<std::string> crash{"QUILLET_CRASH_AT=" + at};
            std::optional<PausedRun> holder;
            int code;
            if (point == CrashPoint::LockWaiting) {
                // Killed while it waits for a run that holds the destination.
                if (n > 1) break;
                prepare(at);
                holder = startPaused(b, {"-P=Sources", "--console"}, "FilePacked:1", "holder");
                code = b.run(nullptr, nullptr, RLIM_INFINITY, {"-P=Sources", "--console"}, false, crash);
            } else if (recordScenario) {
                // A backup run commits no record: a project being removed does.
                const std::string extra = "Extra " + std::to_string(i) + "-" + std::to_string(n);
                ASSERT_EQ(b.run(nullptr, nullptr, RLIM_INFINITY,
                                {"project", "add", extra, "--dest", b.dir.path() + "/extra"}),
                          0);
                code = b.run(nullptr, nullptr, RLIM_INFINITY, {"project", "remove", extra}, false, crash);
            } else {
                code = backup(at, crash);
            }
            if (code == 0) {
                ASSERT_GT(killsHere, 0) << name << " is never reached";
                if (!recordScenario) expectAfterNormalRun(at, "");
                break;
            }
            ASSERT_EQ(code, -SIGKILL) << readFile(b.dir.file("err.txt"));
            ++killsHere;
            ++kills;

            // What the kill left: every archive there still sound, the record and the
            // settings files readable.
            for (const auto& file : b.archives()) {
                if (file.size() > 4 && file.substr(file.size() - 4) == ".LSP") {
                    EXPECT_TRUE(test::unzipTestPasses(b.dest + file)) << file;
                }
            }
            {
                Catalog catalog(b.paths.dataFolder);
                const Status opened = catalog.open();
                EXPECT_TRUE(opened.ok()) << opened.error();
                catalog.close();
            }
            EXPECT_NE(readFile(ini).find("[LastBacked]"), std::string::npos);
            // Once a rotation's plan is on disk, and always once the new archive has been
            // read back, the killed run's archive is kept.
            const bool planned = b.fs.fileExists(b.dest + RotationPlanName) || point == CrashPoint::ReadBackChecked;

            // The next run finishes what was cut short and makes its own backup.
            if (holder) {
                resume(*holder);
                ASSERT_EQ(wait(holder->child), 0) << readFile(b.dir.file("holder.err"));
                expectAfterNormalRun(at, "");
            } else {
                ASSERT_EQ(backup(at + " next"), 0) << readFile(b.dir.file("err.txt"));
                expectAfterNormalRun(at + " next", recordScenario ? "" : at, planned);
            }
            if (HasFatalFailure()) return;
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%zu crash points, %d kills, %.1f s\n", CrashPointNames.size(), kills, seconds);
}

// A second project "Others" (prefix OTHR) over other/ with the same destination.
std::string addOtherProject(ConsoleBench& b) {
    const std::string otherSrc = b.dir.mkdir("other");
    Catalog catalog(b.paths.dataFolder);
    EXPECT_TRUE(catalog.open().ok());
    Project p;
    p.NAME = "Others";
    p.PREFIX = "OTHR";
    p.DESTINATIONPATH = b.dest;
    auto stored = catalog.projects().insert(p);
    EXPECT_TRUE(stored.ok()) << stored.error();
    Component c;
    c.PROSYSID = stored->SYSID;
    c.PATH = otherSrc;
    c.MASK = "*.*";
    EXPECT_TRUE(catalog.components().insert(c).ok());
    return otherSrc;
}

// Two runs started at one moment into one destination, the same project twice and two
// projects, QUILLET_SIMULTANEOUS_TRIALS times each (3 unless set; scripts/simultaneous-runs
// sets 30). However the machine interleaves them, every run that succeeds has numbered an
// archive of its own project's files, a run that fails says the folder was in use, and no
// archive is lost or left under a working name.
TEST(ConsoleMode, RunsStartedTogetherIntoOneDestinationEachNumberAnArchiveOfTheirOwnFiles) {
    ConsoleBench b(0);
    const std::string otherSrc = addOtherProject(b);
    for (int i = 0; i < 8; ++i) b.dir.write("src/f" + std::to_string(i) + ".bin", randomBytes(40000, i + 1));
    b.dir.write("other/c.txt", "gamma");
    Names ours{"LSPComments.inb", b.src.substr(1) + "/marker.txt"},
        theirs{"LSPComments.inb", otherSrc.substr(1) + "/c.txt", otherSrc.substr(1) + "/marker.txt"};
    for (int i = 0; i < 8; ++i) ours.push_back(b.src.substr(1) + "/f" + std::to_string(i) + ".bin");
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    auto namesOf = [](const std::string& archive) {
        Names n = test::unzipNames(archive);
        std::sort(n.begin(), n.end());
        return n;
    };

    const char* setting = std::getenv("QUILLET_SIMULTANEOUS_TRIALS");
    const int trials = setting ? std::atoi(setting) : 3;
    // Every archive's marker, newest first, per prefix.
    std::map<std::string, Names> expected{{"PREF", {}}, {"OTHR", {}}};
    int succeeded = 0, inUse = 0;
    for (int trial = 0; trial < trials; ++trial) {
        for (const bool sameProject : {true, false}) {
            const std::string marker = "trial " + std::to_string(trial) + (sameProject ? " same" : " two");
            SCOPED_TRACE(marker);
            b.dir.write("src/marker.txt", marker);
            b.dir.write("other/marker.txt", marker);
            const std::vector<std::string> projects{"Sources", sameProject ? "Sources" : "Others"};
            std::vector<Child> children;
            for (std::size_t k = 0; k < 2; ++k)
                children.push_back(start({"-P=" + projects[k], "--console"}, b.dir.file("run" + std::to_string(k)),
                                         b.dir.file("err" + std::to_string(k))));
            for (std::size_t k = 0; k < 2; ++k) {
                const int code = wait(children[k]);
                const std::string err = readFile(b.dir.file("err" + std::to_string(k)));
                if (code == 0) {
                    ++succeeded;
                    Names& markers = expected[projects[k] == "Sources" ? "PREF" : "OTHR"];
                    markers.insert(markers.begin(), marker);
                } else {
                    EXPECT_EQ(code, 1) << err;
                    EXPECT_NE(err.find(std::string(FolderInUseTitle) + ": The destination folder " + b.dest),
                              std::string::npos)
                        << err;
                    ++inUse;
                }
            }
            expectNoLeftovers(b);
            // The newest archives of each project are this trial's, with its own files.
            for (const auto& [prefix, markers] : expected) {
                for (std::size_t n = 1; n <= markers.size() && markers[n - 1] == marker; ++n) {
                    const std::string archive = b.dest + archiveFileName(prefix, static_cast<int>(n));
                    EXPECT_TRUE(test::unzipTestPasses(archive)) << archive;
                    EXPECT_EQ(namesOf(archive), prefix == "PREF" ? ours : theirs) << archive;
                    EXPECT_EQ(test::unzipItem(archive, (prefix == "PREF" ? b.src : otherSrc).substr(1) + "/marker.txt"),
                              marker)
                        << archive;
                }
            }
            if (HasFailure()) return;
        }
    }
    // Nothing lost: every archive there is sound, its own project's, and in date order.
    EXPECT_EQ(markersInOrder(b, b.src.substr(1) + "/marker.txt", "PREF"), expected["PREF"]);
    EXPECT_EQ(markersInOrder(b, otherSrc.substr(1) + "/marker.txt", "OTHR"), expected["OTHR"]);
    for (const auto& name : b.archives())
        EXPECT_EQ(namesOf(b.dest + name), name.rfind("PREF", 0) == 0 ? ours : theirs) << name;
    std::printf("%d pairs of runs started together: %d runs numbered an archive, %d found the folder in use\n",
                2 * trials, succeeded, inUse);
}

TEST(ConsoleMode, AReadOnlyDestinationFailsTheRunNamingTheFolderBeforeAnythingIsPacked) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into every folder; run the suite as an ordinary user";
    ConsoleBench b(2);
    b.dir.write("src/a.txt", "alpha");
    ASSERT_EQ(b.run(), 0);
    const std::string before = readFile(b.dest + "PREF0001.LSP");

    ASSERT_EQ(::chmod(b.dest.c_str(), 0555), 0);
    std::string out, err;
    const int code = b.run(&out, &err);
    ::chmod(b.dest.c_str(), 0755);
    EXPECT_EQ(code, 1) << out << err;
    EXPECT_EQ(err, "Backup Failed: No backup can be made in the destination folder " + b.dest +
                       ":\nPermission denied\n\nNothing has been changed there.\n");
    EXPECT_EQ(out.find("Compressing Files"), std::string::npos) << out;
    EXPECT_EQ(b.archives(), Names{"PREF0001.LSP"});
    EXPECT_EQ(readFile(b.dest + "PREF0001.LSP"), before);
}

TEST(ConsoleMode, ListingTheArchivesFinishesARenumberingThatAKillCutShort) {
    ConsoleBench b(3);
    b.dir.write("src/a.txt", "alpha");
    const std::string markerItem = b.src.substr(1) + "/marker.txt";
    for (int i = 0; i < 3; ++i) {
        b.dir.write("src/marker.txt", "run " + std::to_string(i));
        ASSERT_EQ(b.run(), 0);
    }
    // Killed in the middle of its renames: the listing meets 1002-style names and the plan.
    b.dir.write("src/marker.txt", "killed");
    ASSERT_EQ(b.run(nullptr, nullptr, RLIM_INFINITY, {"-P=Sources", "--console"}, false,
                    {"QUILLET_CRASH_AT=RotationRenamed:2"}),
              -SIGKILL);
    ASSERT_TRUE(b.fs.fileExists(b.dest + RotationPlanName));

    std::string out, err;
    ASSERT_EQ(b.run(&out, &err, RLIM_INFINITY, {"archives", "Sources"}), 0) << err;
    Names listed;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        listed.push_back(out.substr(at, out.find('\t', at) - at));
    EXPECT_EQ(listed, (Names{"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP"})) << out;
    expectNoLeftovers(b);
    EXPECT_EQ(markersInOrder(b, markerItem), (Names{"killed", "run 2", "run 1"}));
}

TEST(ConsoleMode, SettingsCopiesThatAKilledWriteLeftAreClearedByTheNextWrite) {
    ConsoleBench b(0);
    b.dir.write("src/a.txt", "alpha");
    ASSERT_EQ(b.run(), 0);
    const std::string ini = b.paths.configFolder + "quillet.ini";
    auto leftovers = [&] {
        Names found;
        const auto listed = b.fs.list(b.paths.configFolder, "quillet.ini.tmp-*", 0);
        for (const auto& e : *listed) found.push_back(e.name);
        return found;
    };
    // Another project as the most recent one, so that the run writes its settings.
    auto otherProjectLast = [&] {
        std::string settings = readFile(ini);
        if (const auto at = settings.find("[LastBacked]\n1=1\n"); at != std::string::npos)
            std::ofstream(ini, std::ios::binary | std::ios::trunc) << settings.replace(at, 17, "[LastBacked]\n1=9\n");
    };
    // Killed after each synced copy in turn until one of them is the settings file's. The
    // crash point counts the run's own durable writes, so the n that hits is the same on
    // any machine; the bound only stops the loop if the run never writes its settings.
    for (int n = 1; n <= 10 && leftovers().empty(); ++n) {
        otherProjectLast();
        ASSERT_EQ(b.run(nullptr, nullptr, RLIM_INFINITY, {"-P=Sources", "--console"}, false,
                        {"QUILLET_CRASH_AT=FileWriteSynced:" + std::to_string(n)}),
                  -SIGKILL);
    }
    ASSERT_FALSE(leftovers().empty()) << "no run was killed while it wrote quillet.ini";
    // A copy that a living writer is still working on is not touched.
    const std::string living = "quillet.ini.tmp-" + std::to_string(::getpid()) + "-7";
    std::ofstream(b.paths.configFolder + living, std::ios::binary) << "in the making";

    otherProjectLast();
    ASSERT_EQ(b.run(), 0);
    EXPECT_EQ(leftovers(), Names{living});
    EXPECT_NE(readFile(ini).find("[LastBacked]\n1=1\n"), std::string::npos);
}

TEST(ConsoleMode, RunsIntoOneDestinationTakeTurnsAndEachArchiveHoldsItsOwnFiles) {
    ConsoleBench b(0);
    b.dir.write("src/a.txt", "alpha");
    b.dir.write("src/b.bin", randomBytes(50000, 2));
    const std::string otherSrc = b.dir.mkdir("other");
    b.dir.write("other/c.txt", "gamma");
    {
        Catalog catalog(b.paths.dataFolder);
        ASSERT_TRUE(catalog.open().ok());
        Project p;
        p.NAME = "Others";
        p.PREFIX = "OTHR";
        p.DESTINATIONPATH = b.dest;
        auto stored = catalog.projects().insert(p);
        ASSERT_TRUE(stored.ok()) << stored.error();
        Component c;
        c.PROSYSID = stored->SYSID;
        c.PATH = otherSrc;
        c.MASK = "*.*";
        ASSERT_TRUE(catalog.components().insert(c).ok());
    }
    const std::string marker = b.src.substr(1) + "/a.txt";
    const Names ours{"LSPComments.inb", b.src.substr(1) + "/a.txt", b.src.substr(1) + "/b.bin"};
    const Names theirs{"LSPComments.inb", otherSrc.substr(1) + "/c.txt"};
    for (const bool sameProject : {true, false}) {
        SCOPED_TRACE(sameProject ? "same project" : "two projects");
        b.dir.write("src/a.txt", "alpha");
        PausedRun first = startPaused(b, {"-P=Sources", "--console"}, "FilePacked:1", "first");
        // The second run finds the destination in use and waits.
        PausedRun second =
            startPaused(b, {sameProject ? "-P=Sources" : "-P=Others", "--console"}, "LockWaiting:1", "second");
        b.dir.write("src/a.txt", "alpha, later");  // the second run has not scanned yet
        resume(first);
        EXPECT_EQ(wait(first.child), 0) << readFile(b.dir.file("first.err"));
        resume(second);
        EXPECT_EQ(wait(second.child), 0) << readFile(b.dir.file("second.err"));
        expectNoLeftovers(b);
        for (const auto& archive : b.archives()) {
            EXPECT_TRUE(test::unzipTestPasses(b.dest + archive)) << archive;
            EXPECT_EQ(test::unzipNames(b.dest + archive), archive.rfind("PREF", 0) == 0 ? ours : theirs) << archive;
        }
        if (sameProject) {
            EXPECT_EQ(b.archives(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
            EXPECT_EQ(test::unzipItem(b.dest + "PREF0002.LSP", marker), "alpha");
            EXPECT_EQ(test::unzipItem(b.dest + "PREF0001.LSP", marker), "alpha, later");
        } else {
            EXPECT_EQ(b.archives(), (Names{"OTHR0001.LSP", "PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP"}));
            EXPECT_EQ(test::unzipItem(b.dest + "PREF0001.LSP", marker), "alpha");
        }
    }
}

TEST(ConsoleMode, ADestinationInUseMakesASecondRunFailNamingTheFolderAndTheProject) {
    ConsoleBench b(2);
    b.dir.write("src/a.txt", "alpha");
    b.dir.write("src/b.txt", "beta");
    ASSERT_EQ(b.run(), 0);
    const std::string before = readFile(b.dest + "PREF0001.LSP");

    PausedRun holder = startPaused(b, {"-P=Sources", "--console"}, "FilePacked:1", "holder");
    std::string out, err;
    EXPECT_EQ(b.run(&out, &err), 1);
    EXPECT_NE(err.find(std::string(FolderInUseTitle) + ": The destination folder " + b.dest +
                       " is in use by Quillet for the project \"Sources\"."),
              std::string::npos)
        << err;
    // It changed nothing: the holder's temporary archive and lock are still its own.
    EXPECT_EQ(readFile(b.dest + "PREF0001.LSP"), before);
    resume(holder);
    EXPECT_EQ(wait(holder.child), 0) << readFile(b.dir.file("holder.err"));
    EXPECT_EQ(b.archives(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
    EXPECT_EQ(readFile(b.dest + "PREF0002.LSP"), before);
    EXPECT_TRUE(test::unzipTestPasses(b.dest + "PREF0001.LSP"));
}

TEST(ConsoleMode, TermIntAndHupCancelARunCleanlyAndItReturnsOne) {
    ConsoleBench b(3);
    for (int i = 0; i < 4; ++i) b.dir.write("src/f" + std::to_string(i) + ".dat", randomBytes(30000, i + 1));
    ASSERT_EQ(b.run(), 0);
    ASSERT_EQ(b.run(), 0);
    const Names archives = b.archives();
    ASSERT_EQ(archives, (Names{"PREF0001.LSP", "PREF0002.LSP"}));
    std::map<std::string, std::string> bytes;
    for (const auto& name : archives) bytes[name] = readFile(b.dest + name);

    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        for (const std::string at : {"ScanFolderListed:1", "FilePacked:1"}) {
            SCOPED_TRACE(std::to_string(signal) + " at " + at);
            PausedRun run = startPaused(b, {"-P=Sources", "--console"}, at, "signalled");
            ASSERT_EQ(::kill(run.child.pid, signal), 0);
            resume(run);
            EXPECT_EQ(wait(run.child), 1) << readFile(b.dir.file("signalled.err"));
            const std::string out = readFile(b.dir.file("signalled.out"));
            EXPECT_EQ(out.find("Completed"), std::string::npos);
            // During the scan it stops there: nothing is packed.
            if (at == "ScanFolderListed:1") {
                EXPECT_EQ(out.find("Compressing Files"), std::string::npos) << out;
            }
            // Temporary archive, library copy and lock are gone; the archives are as they were.
            EXPECT_EQ(b.archives(), archives);
            for (const auto& [name, content] : bytes) EXPECT_EQ(readFile(b.dest + name), content) << name;
        }
    EXPECT_EQ(b.run(), 0);
    EXPECT_EQ(b.archives(), (Names{"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP"}));
}

}  // namespace
}  // namespace quillet
