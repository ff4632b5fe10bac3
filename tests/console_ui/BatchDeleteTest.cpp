// Deleting many marked items rewrites the archive once, and a kill at any durable step of
// that rewrite leaves the old or the new archive, each whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "backup_run/BackupBench.h"
#include "platform/CrashPoint.h"

namespace quillet {
namespace {

using test::BackupBench;

// Runs the child on archive with the environment entry env; its wait status.
int runChild(const std::string& archive, const std::string& configFolder, const std::string& env) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!env.empty()) ::putenv(const_cast<char*>(env.c_str()));
        ::execl(BATCH_DELETE_CHILD, BATCH_DELETE_CHILD, archive.c_str(), configFolder.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(BatchDelete, OneRewriteForManyItemsAndAKillLeavesOldOrNew) {
    BackupBench b;
    for (int i = 0; i < 60; ++i) b.dir.write("src/f" + std::to_string(100 + i) + ".txt", "item " + std::to_string(i));
    b.component(b.src, "*.txt");
    BackupCommandState state;
    test::RecordingView view;
    ASSERT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    const std::string original = b.dest + "PREF0001.LSP";
    const std::vector<std::string> before = test::unzipNames(original);
    ASSERT_EQ(before.size(), 61u);  // and the comment item
    const std::string work = b.dest + "WORK0001.LSP";

    // A second rewrite would reach the rename a second time and be killed there.
    ASSERT_TRUE(b.fs.copyFile(original, work).ok());
    int status = runChild(work, b.paths.configFolder, "QUILLET_CRASH_AT=ArchiveRenamed:2");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::vector<std::string> after = test::unzipNames(work);
    EXPECT_EQ(after.size(), 31u);
    EXPECT_TRUE(test::unzipTestPasses(work));

    for (const char* point : {"ArchiveDirectoryStarting", "ArchiveDirectoryWritten", "ArchiveSynced", "ArchiveRenamed",
                              "ArchiveFolderSynced"}) {
        SCOPED_TRACE(point);
        (void)b.fs.removeFile(work);
        ASSERT_TRUE(b.fs.copyFile(original, work).ok());
        status = runChild(work, b.paths.configFolder, std::string("QUILLET_CRASH_AT=") + point);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "never reached: " << status;
        EXPECT_TRUE(test::unzipTestPasses(work));
        const std::vector<std::string> left = test::unzipNames(work);
        EXPECT_TRUE(left == before || left == after) << left.size() << " items";
    }
}

}  // namespace
}  // namespace quillet
