#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/RunStatus.h"
#include "app/UnattendedRun.h"
#include "framework/records/RunHistory.h"
#include "platform/Utf8Text.h"
#include "records/RawSqlite.h"
#include "restore/RestoreBench.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::RawSqlite;
using test::RecordingView;
using test::RestoreBench;
using test::RunRecorder;
using test::TempDir;

// Catches what the history reports, re-armed for each test.
struct Reports {
    std::vector<std::string> messages;
    Reports() {
        RunHistory::setProblemReporter([this](const std::string& m) { messages.push_back(m); });
    }
    ~Reports() { RunHistory::setProblemReporter({}); }
};

HistoryRun failedBackup(std::int32_t sysId) {
    HistoryRun r;
    r.sysId = sysId;
    r.project = "Cellar";
    r.kind = runkind::Backup;
    r.result = "Completed - 1 Error";
    r.failed = {{"/home/u/a.txt", "Permission denied"}};
    r.failedCount = 1;
    return r;
}

// A real backup, test and restore of one project: each leaves one row with what it did.
TEST(RunHistory, ARealBackupTestAndRestoreEachLeaveOneRowWithTheirCounts) {
    Reports reports;
    RestoreBench b;
    const std::string folder = runStatusFolder(b.paths.dataFolder);
    b.damage(b.sources[1].second);  // edge.bin no longer matches its CRC

    RunRecorder testView;
    TestRun test(b.services(), testView);
    // The run knows only the archive: its prefix names the project.
    test.recordIn(historyTarget(b.catalog, {}, b.archivePath, folder, b.clock));
    test.open();
    while (test.timerRunning()) test.step();

    b.relist();
    const std::string to = b.dir.mkdir("restored");
    RunRecorder restoreView;
    RestoreRun restore(b.services(), restoreView);
    restore.recordIn(historyTarget(b.catalog, "Accounts", b.archivePath, folder, b.clock));
    restore.open();
    restore.setUsePathInfo(true);
    restore.setCreateDirectory(true);
    ASSERT_TRUE(restore.acceptRoot(to).accepted);
    b.clock.advanceMinutes(3);
    restore.start();
    while (restore.timerRunning()) restore.step();

    b.catalog.close();
    RunStatusStore store(folder);
    RecordingView backupView;
    LoopBackupDriver driver(backupView);
    const Services s = b.commandServices();
    b.clock.advanceMinutes(3);
    EXPECT_EQ(RunUnattendedBackup(s, "ACCOUNTS", driver, &store), unattended::Succeeded) << b.dialogs.report();

    RunHistory history(folder);
    const auto runs = history.runs(b.project.SYSID);
    ASSERT_TRUE(runs) << runs.error();
    ASSERT_EQ(runs->size(), 3u);
    std::int64_t allBytes = 0;
    for (const auto& [path, content] : b.sources) allBytes += static_cast<std::int64_t>(content.size());
    const std::int64_t edge = static_cast<std::int64_t>(b.sources[1].second.size());
    struct Row {
        const char* kind;
        bool succeeded;
        std::int64_t files, bytes, failed;
    };
    const std::vector<Row> expected = {
        {runkind::Backup, true, 4, allBytes, 0},
        {runkind::Restore, false, 3, allBytes - edge, 1},
        {runkind::Test, false, 3, allBytes - edge, 1},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].kind);
        const HistoryRun& r = (*runs)[i];
        EXPECT_EQ(r.kind, expected[i].kind);
        EXPECT_EQ(r.project, std::string(trimRight(b.project.NAME)));
        EXPECT_EQ(r.succeeded, expected[i].succeeded) << r.result;
        EXPECT_EQ(r.files, expected[i].files);
        EXPECT_EQ(r.bytes, expected[i].bytes);
        EXPECT_EQ(r.failedCount, expected[i].failed);
        ASSERT_EQ(r.failed.size(), static_cast<std::size_t>(expected[i].failed));
        if (!r.failed.empty()) {
            EXPECT_NE(r.failed[0].first.find("edge.bin"), std::string::npos) << r.failed[0].first;
            EXPECT_FALSE(r.failed[0].second.empty());
        }
    }
    EXPECT_EQ((*runs)[2].result, errorsSummary(1));
    EXPECT_EQ((*runs)[2].archive, b.archivePath);
    EXPECT_EQ((*runs)[1].started.time, (*runs)[2].started.time + 3 * 60 * 100);
    EXPECT_TRUE(reports.messages.empty()) << reports.messages[0];
}

TEST(RunHistory, KeepsTheNewestThousandRuns) {
    Reports reports;
    TempDir dir;
    RunHistory history(dir.path() + "/");
    std::int64_t firstId = 0, lastId = 0;
    for (std::size_t i = 0; i <= RunHistory::Kept; ++i) {
        HistoryRun r = failedBackup(static_cast<std::int32_t>(1 + i % 3));
        r.files = static_cast<std::int64_t>(i);
        auto recorded = history.record(r);
        ASSERT_TRUE(recorded) << recorded.error();
        (i == 0 ? firstId : lastId) = recorded->id;
    }
    const auto runs = history.runs(0, 5000);
    ASSERT_TRUE(runs) << runs.error();
    ASSERT_EQ(runs->size(), RunHistory::Kept);
    EXPECT_EQ(runs->front().id, lastId);
    EXPECT_EQ(runs->back().id, firstId + 1);
    EXPECT_EQ(runs->back().files, 1);
    EXPECT_EQ(runs->back().failed.size(), 1u);  // the failed files stay with their run
    // The dropped run's failed files went with it.
    RawSqlite db(dir.path() + "/" + RunHistory::FileName);
    EXPECT_EQ(db.scalar("SELECT count(*) FROM FailedFiles"), std::to_string(RunHistory::Kept));
}

// A history that cannot be written costs the run nothing but its row, and says so once.
TEST(RunHistory, ALockedOrDamagedHistoryDoesNotFailTheRun) {
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "locked");
        Reports reports;
        BackupBench b("Cellar");
        b.dir.write("src/a.txt", "a");
        b.component(b.src, "*.txt");
        b.catalog.close();
        const std::string path = runStatusFolder(b.paths.dataFolder) + RunHistory::FileName;
        std::optional<RawSqlite> holder;  // another program in the middle of a write
        if (damaged) {
            std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
        } else {
            ASSERT_TRUE(RunHistory(runStatusFolder(b.paths.dataFolder)).record(failedBackup(1)));
            holder.emplace(path);
            ASSERT_EQ(holder->exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        }
        RunStatusStore store(runStatusFolder(b.paths.dataFolder));
        const Services s = b.commandServices();
        for (int run = 0; run < 2; ++run) {
            RecordingView view;
            LoopBackupDriver driver(view);
            EXPECT_EQ(RunUnattendedBackup(s, "CELLAR", driver, &store), unattended::Succeeded) << b.dialogs.report();
        }
        ASSERT_EQ(reports.messages.size(), 1u);
        EXPECT_NE(reports.messages[0].find(path), std::string::npos) << reports.messages[0];
        if (damaged) {
            EXPECT_EQ(test::readFile(path), std::string(4096, 'x'));  // left as it was
        } else {
            holder.reset();
            EXPECT_EQ(RunHistory(runStatusFolder(b.paths.dataFolder)).runs()->size(), 1u);
        }
        EXPECT_EQ(b.destFiles().size(), 2u);
    }
}

// Processes that fail at the same moment send one notice between them; a good backup lets
// the next failure be told again.
TEST(RunHistory, SeparateProcessesSendOneNoticePerFailureKind) {
    TempDir dir;
    const std::string folder = dir.path() + "/";
    ASSERT_TRUE(RunHistory(folder).runs());
    auto failInProcesses = [&](int count) {
        std::vector<pid_t> children;
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                RunHistory history(folder, 60000);
                auto recorded = history.record(failedBackup(5), failurekind::FailedFiles);
                ::_exit(!recorded ? 3 : recorded->notify ? 1 : 0);
            }
            children.push_back(pid);
        }
        int notices = 0;
        for (const pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status));
            EXPECT_NE(WEXITSTATUS(status), 3);
            notices += WEXITSTATUS(status) == 1 ? 1 : 0;
        }
        return notices;
    };
    EXPECT_EQ(failInProcesses(4), 1);
    EXPECT_EQ(failInProcesses(2), 0);
    HistoryRun good = failedBackup(5);
    good.succeeded = true;
    good.failed.clear();
    good.failedCount = 0;
    RunHistory history(folder);
    ASSERT_TRUE(history.record(good));
    EXPECT_EQ(history.notified(5)->size(), 0u);
    EXPECT_EQ(failInProcesses(3), 1);
    EXPECT_EQ(history.runs(5)->size(), 10u);
}

// The tray's state from the history as time passes on the manual clock.
TEST(RunHistory, TheTrayStateFollowsTheHistoryAndTheClock) {
    Reports reports;
    TempDir dir;
    ManualClock clock;
    RunStatusStore store(dir.path() + "/");
    RunHistory history(dir.path() + "/");
    auto run = [&](const char* kind, bool ok) {
        HistoryRun r = failedBackup(3);
        r.kind = kind;
        r.succeeded = ok;
        if (ok) r.failed.clear();
        r.started = r.ended = clock.now();
        ASSERT_TRUE(history.record(r));
    };
    auto health = [&] { return trayStatus({{"Cellar", store.read(3)}}, 60, clock.now()); };
    struct Step {
        std::function<void()> happens;
        BackupHealth health;
        const char* inTip;
    };
    const std::vector<Step> steps = {
        {[] {}, BackupHealth::Overdue, "no good backup yet"},
        {[&] { run(runkind::Backup, true); }, BackupHealth::Good, "Cellar: last good backup"},
        {[&] { clock.advanceMinutes(59); }, BackupHealth::Good, "Cellar: last good backup"},
        {[&] { clock.advanceMinutes(2); }, BackupHealth::Overdue, "overdue"},
        {[&] { run(runkind::Test, true); }, BackupHealth::Overdue, "overdue"},  // a test is no backup
        {[&] { run(runkind::Restore, false); }, BackupHealth::Failed, "RESTORE FAILED"},
        {[&] { run(runkind::Backup, false); }, BackupHealth::Failed, "Cellar: FAILED"},
        {[&] { run(runkind::Test, true); }, BackupHealth::Failed, "Cellar: FAILED"},  // still no good backup
        {[&] { run(runkind::Backup, true); }, BackupHealth::Good, "Cellar: last good backup"},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        steps[i].happens();
        const TrayStatus s = health();
        EXPECT_EQ(s.health, steps[i].health) << s.tooltip;
        EXPECT_NE(s.tooltip.find(steps[i].inTip), std::string::npos) << s.tooltip;
    }
    EXPECT_TRUE(reports.messages.empty());
}

}  // namespace
}  // namespace quillet
