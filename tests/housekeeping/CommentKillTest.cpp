#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <string>
#include <vector>

#include "HousekeepingFixture.h"
#include "catalog/ArchiveComment.h"
#include "platform/CrashPoint.h"

extern char** environ;

namespace quillet::test {
namespace {

// Runs the comment store in a process of its own with extra environment entries; the
// raw wait status.
int runChild(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv{const_cast<char*>(QUILLET_COMMENT_CHILD)}, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, QUILLET_COMMENT_CHILD, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

using CommentKill = HousekeepingFixture;

// Killed at every durable step of the comment rewrite, the archive is always whole: the old
// comment up to the moment the new archive takes its name, the new one from then on.
TEST_F(CommentKill, AKillAtAnyStepLeavesTheOldOrTheNewArchive) {
    struct Step {
        CrashPoint point;
        const char* notesAfter;
    };
    const std::vector<Step> steps{
        {CrashPoint::FileWriteSynced, "old note"},
        {CrashPoint::FileWriteRenamed, "old note"},
        {CrashPoint::ArchiveDirectoryStarting, "old note"},
        {CrashPoint::ArchiveDirectoryWritten, "old note"},
        {CrashPoint::ArchiveSynced, "old note"},
        {CrashPoint::ArchiveRenamed, "new note"},
        {CrashPoint::ArchiveFolderSynced, "new note"},
    };
    const std::string program = dir.mkdir("child-program");
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::string name(CrashPointNames[static_cast<std::size_t>(steps[i].point)]);
        SCOPED_TRACE(name);
        const std::string path = makeArchive("dest" + std::to_string(i), "ABCD0001.LSP",
                                             {{"a.txt", "alpha"}, {"big.bin", randomBytes(200'000, 7)}});
        ArchiveCommentRecord old;
        old.NOTES = "old note";
        ASSERT_EQ(ReplaceArchiveComment(archive, paths.programFolder, old), 0);

        const int status = runChild({path, program, "new note"}, {"QUILLET_CRASH_AT=" + name});
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
        EXPECT_TRUE(unzipTestPasses(path));
        EXPECT_EQ(itemCount(path, "LSPComments.inb"), 1);
        EXPECT_TRUE(itemBytes(path, "big.bin") == randomBytes(200'000, 7));
        archive.ARCHIVE_NAME = path;
        EXPECT_EQ(ReadArchiveCommentRecord(archive, paths.programFolder).NOTES, steps[i].notesAfter);
    }
    // And without a kill the child stores it.
    const std::string path = makeArchive("dest-last", "ABCD0001.LSP", {{"a.txt", "alpha"}});
    EXPECT_EQ(runChild({path, program, "new note"}, {}), 0);
    EXPECT_EQ(ReadArchiveCommentRecord(archive, paths.programFolder).NOTES, "new note");
}

}  // namespace
}  // namespace quillet::test
