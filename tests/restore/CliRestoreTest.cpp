// `quillet restore` and `quillet test` run the same engines as the windows. A restore
// killed at any moment (SIGKILL, a real process) never leaves a cut-off file under an
// item's name: each file there is the old one or the restored one, whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "cli/CliRunner.h"
#include "restore/RestoreBench.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

// Starts `quillet restore`, waits for `lines` result lines on its output (0: none), then
// kills it. Returns false when it ended by itself first.
bool restoreAndKill(const std::string& home, const std::vector<std::string>& arguments, int lines) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return false;
    std::vector<std::string> args{QUILLET_EXECUTABLE};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(pipeFds[1], 1);
        ::dup2(null, 2);
        ::close(pipeFds[0]);
        ::setenv("QUILLET_HOME", home.c_str(), 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int seen = 0;
    char c;
    while (seen < lines && ::read(pipeFds[0], &c, 1) == 1)
        if (c == '\n') ++seen;
    // Fill the pipe: the restore's next line (every item and the summary print one) then
    // waits, so the kill lands while it runs however fast the machine is.
    ::fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
    const std::string filler(4096, 'x');
    while (::write(pipeFds[1], filler.data(), filler.size()) > 0) {
    }
    const bool killed = seen == lines && ::kill(pid, SIGKILL) == 0;
    ::close(pipeFds[1]);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return killed && WIFSIGNALED(status);
}

bool isTemporary(const fs::path& p) {
    const std::string name = p.filename().string();
    return name.size() > 1 && name[0] == '.' && name.find(".lsp-") != std::string::npos;
}

TEST(RestoreCrash, KilledRestoreLeavesOnlyWholeFilesUnderFinalNames) {
    test::BackupBench b;
    std::map<std::string, std::string> fresh, old;
    for (int i = 0; i < 24; ++i) {
        const std::string rel = "src/f" + std::to_string(i) + ".bin";
        fresh[b.dir.write(rel, test::randomBytes(150000 + 977 * i, 10 + i))] = "";
    }
    for (auto& [path, content] : fresh) content = test::readFile(path);
    b.component(b.src, "*.*");
    test::RecordingView view;
    BackupCommandState state;
    ASSERT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    const std::string archive = b.dest + "PREF0001.LSP";
    const std::string out = b.dir.mkdir("out");
    const std::string home = b.dir.mkdir("clihome");
    // Half the files are there already, in an older version.
    int n = 0;
    for (const auto& [path, content] : fresh) {
        if (n++ % 2) continue;
        old[path] = "old version of " + path;
        b.dir.write("out" + path, old[path]);
    }

    const std::vector<std::string> args{"restore", archive, "--to", out, "--paths", "--create-dirs", "--overwrite"};
    int kills = 0;
    for (int lines : {0, 1, 3, 5, 8, 11, 13, 17, 20, 23}) {
        SCOPED_TRACE("killed after " + std::to_string(lines) + " items");
        if (restoreAndKill(home, args, lines)) ++kills;
        for (const auto& entry : fs::recursive_directory_iterator(out)) {
            if (!entry.is_regular_file() || isTemporary(entry.path())) continue;
            const std::string path = entry.path().string().substr(out.size());
            ASSERT_TRUE(fresh.count(path)) << "unexpected file " << path;
            const std::string got = test::readFile(entry.path().string());
            EXPECT_TRUE(got == fresh[path] || (old.count(path) && got == old[path]))
                << path << " holds " << got.size() << " bytes, neither version whole";
        }
    }
    EXPECT_GT(kills, 0) << "no restore was killed while it ran";

    // A restore to its end gives every file whole.
    const test::CliResult done = test::runQuillet(home, out, args);
    ASSERT_EQ(done.status, 0) << done.err;
    for (const auto& [path, content] : fresh) EXPECT_EQ(test::readFile(out + path), content) << path;
}

// A process that made the given temporaries in folder and was then killed (SIGKILL) and
// reaped: its PID names no live process any more. Returns that PID.
pid_t killedMaker(const std::string& folder, const std::vector<std::string>& patterns) {
    int ready[2];
    int hold[2];
    if (::pipe(ready) != 0 || ::pipe(hold) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string id = std::to_string(::getpid());
        for (const std::string& p : patterns) {
            std::string name = p;
            name.replace(name.find("PID"), 3, id);
            if (name.ends_with("/"))
                ::mkdir((folder + "/" + name).c_str(), 0700);
            else if (name.front() == '@')  // a link, as a link item's temporary is
                (void)!::symlink("nowhere", (folder + "/" + name.substr(1)).c_str());
            else
                ::close(::open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT, 0600));
        }
        char c = 1;
        (void)!::write(ready[1], &c, 1);
        (void)!::read(hold[0], &c, 1);  // held here until killed
        ::_exit(0);
    }
    char c;
    (void)!::read(ready[0], &c, 1);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    for (int fd : {ready[0], ready[1], hold[0], hold[1]}) ::close(fd);
    return pid;
}

// The hidden temporaries of a killed restore are removed by the next restore that writes
// to their folder; a live process's temporaries, other names, folders and the folders the
// restore does not write to are left alone.
TEST(RestoreCrash, LeftoversOfKilledRestoresGoLiveTemporariesStay) {
    test::BackupBench b;
    const std::string file = b.dir.write("src/a.txt", "alpha\n");
    b.component(b.src, "*.*");
    test::RecordingView view;
    BackupCommandState state;
    ASSERT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    const std::string out = b.dir.mkdir("out");
    const std::string written = out + fs::path(file).parent_path().string();
    fs::create_directories(written);
    const std::string untouched = b.dir.mkdir("out/elsewhere");

    const pid_t dead = killedMaker(written, {".a.txt.lsp-PID-1", "@.b.txt.lsp-PID-2", ".c.lsp-PID-3/"});
    ASSERT_GT(dead, 0);
    killedMaker(untouched, {".d.txt.lsp-PID-1"});
    const std::string live = ".e.txt.lsp-" + std::to_string(::getpid()) + "-1";  // this test is alive
    b.dir.write("out" + fs::path(file).parent_path().string() + "/" + live, "in use");
    b.dir.write("out" + fs::path(file).parent_path().string() + "/.notes.lsp-x1-1", "not a temporary");
    const std::string d = std::to_string(dead);

    const test::CliResult done =
        test::runQuillet(b.dir.mkdir("clihome"), out, {"restore", b.dest + "PREF0001.LSP", "--to", out, "--paths"});
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(test::readFile(out + file), "alpha\n");
    const struct {
        std::string path;
        bool stays;
    } cases[] = {
        {written + "/.a.txt.lsp-" + d + "-1", false},
        {written + "/.b.txt.lsp-" + d + "-2", false},
        {written + "/.c.lsp-" + d + "-3", true},  // a folder
        {written + "/" + live, true},
        {written + "/.notes.lsp-x1-1", true},
    };
    for (const auto& c : cases) EXPECT_EQ(fs::exists(fs::symlink_status(c.path)), c.stays) << c.path;
    EXPECT_EQ(std::distance(fs::directory_iterator(untouched), fs::directory_iterator()), 1)
        << "a folder the restore does not write to is not looked at";
}

// --prompt asks on the terminal for each existing file; without it nothing is asked and
// existing files are kept.
TEST(CliRestore, PromptAsksOnTheTerminalOnlyWhenAskedTo) {
    test::RestoreBench b;
    const std::string out = b.dir.mkdir("flat");
    for (const LSPQEntry& e : b.archive.LSPQ) b.dir.write("flat/" + e.FILENAME, "old");
    const std::string home = b.dir.mkdir("clihome");
    const std::string base =
        "QUILLET_HOME='" + home + "' '" + QUILLET_EXECUTABLE + "' restore '" + b.archivePath + "' --to '" + out + "' ";
    // Items in archive order: a.txt, edge.bin, big.bin, c.doc. "x" is not an answer and is asked again.
    b.dir.write("answers", "n\nx\ny\nAll\n");
    ASSERT_EQ(test::runCommand(base + "--prompt < '" + b.dir.file("answers") + "' > '" + b.dir.file("o") + "' 2> '" +
                               b.dir.file("e") + "'"),
              1);
    const std::string err = test::readFile(b.dir.file("e"));
    EXPECT_NE(err.find("Confirm Overwrite: The file a.txt already exists."), std::string::npos) << err;
    EXPECT_NE(err.find("Yes (y), No (n), All (a), Cancel (c)? "), std::string::npos) << err;
    EXPECT_EQ(test::readFile(out + "/a.txt"), "old");
    for (const char* name : {"edge.bin", "big.bin", "c.doc"})
        EXPECT_EQ(test::readFile(out + "/" + name), test::readFile(b.src + (name[0] == 'e' ? "/" : "/sub/") + name))
            << name;
    EXPECT_EQ(test::lines(test::readFile(b.dir.file("o"))).back(), "Completed - 1 Error(s)");

    // Without --prompt: nothing asked, every existing file kept and counted.
    for (const LSPQEntry& e : b.archive.LSPQ) b.dir.write("flat/" + e.FILENAME, "old");
    const test::CliResult kept = test::runQuillet(home, out, {"restore", b.archivePath, "--to", out});
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(kept.err.find("Overwrite it?"), std::string::npos) << kept.err;
    EXPECT_EQ(test::lines(kept.out).back(), "Completed - 4 Error(s)");
    EXPECT_EQ(test::readFile(out + "/big.bin"), "old");

    // The test command gives the window's summary, after a damaged item too.
    EXPECT_EQ(test::lines(test::runQuillet(home, out, {"test", b.archivePath}).out).back(),
              "Completed - Archive Tests OK");
    b.damage(b.sources[2].second);
    const test::CliResult tested = test::runQuillet(home, out, {"test", b.archivePath});
    EXPECT_EQ(tested.status, 1);
    EXPECT_NE(tested.out.find("bad\t" + b.src + "/sub/big.bin\tCRC-32 failure"), std::string::npos) << tested.out;
    EXPECT_EQ(test::lines(tested.out).back(), "Completed - 1 Error(s)");
}

}  // namespace
}  // namespace quillet
