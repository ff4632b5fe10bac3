// `quillet restore` and `quillet test` run the same engines as the windows. A restore
// killed at any moment (SIGKILL, a real process) never leaves a cut-off file under an
// item's name: each file there is the old one or the restored one, whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
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
