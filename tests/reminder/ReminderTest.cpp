// The backup reminder on a hand-moved clock, the tray menu's items, and the status of the
// last runs with the notifications it allows.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/Reminder.h"
#include "app/RunStatus.h"
#include "app/TrayMenuItems.h"
#include "app/UnattendedRun.h"
#include "backup_run/BackupBench.h"
#include "framework/Picture.h"
#include "platform/DateCodes.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::RecordingSounds;
using test::RecordingView;
using test::TempDir;

// 14 January 2026 (no daylight-saving change near it), local time.
std::time_t at(int day, int hour, int minute) {
    return toTimeT(dateNumber(2026, 1, day), timeNumber(hour, minute, 0));
}

struct ReminderBench {
    TempDir dir;
    Settings settings{dir.file("quillet.ini")};
    ManualClock clock{at(14, 12, 0)};
    FileSystem fs{dir.path()};
    RecordingSounds sounds;
    Reminder reminder{clock, fs, sounds};
    ChangeWatchList watch;

    ReminderBench(int interval, bool onlyIfChanged = false, bool popup = false) {
        settings.write("Reminder", "Interval", interval);
        settings.writeFlag("Preferences", "RemindOnlyIfChanged", onlyIfChanged);
        settings.writeFlag("Reminder", "ShowPopup", popup);
    }
    void start(std::time_t when) {
        clock.setSeconds(when);
        reminder.readSettings(settings);
    }
    ReminderTick tickAt(std::time_t when) {
        clock.setSeconds(when);
        return reminder.tick(watch);
    }
};

TEST(Reminder, CountsTheIntervalAcrossMidnightAndRestartsAfterLongGaps) {
    struct Case {
        const char* name;
        int interval;
        std::time_t start;
        std::vector<std::pair<std::time_t, ReminderTick>> ticks;
    };
    const std::vector<Case> cases = {
        {"same day",
         30,
         at(14, 12, 0),
         {{at(14, 12, 29), ReminderTick::Idle},
          {at(14, 12, 30), ReminderTick::Reminded},
          // the interval counts again from the reminder
          {at(14, 12, 59), ReminderTick::Idle},
          {at(14, 13, 0), ReminderTick::Reminded}}},
        // T = 8,580,001: due when (8,640,001 - T) + now reaches 180,000, at 00:20.
        {"across midnight",
         30,
         at(14, 23, 50),
         {{at(15, 0, 19), ReminderTick::Idle}, {at(15, 0, 20), ReminderTick::Reminded}}},
        {"two days later",
         30,
         at(14, 12, 0),
         {{at(16, 9, 0), ReminderTick::Restarted},
          {at(16, 9, 29), ReminderTick::Idle},
          {at(16, 9, 30), ReminderTick::Reminded}}},
        {"clock set back a day", 30, at(14, 12, 0), {{at(13, 13, 0), ReminderTick::Restarted}}},
        {"interval 0", 0, at(14, 12, 0), {{at(14, 23, 0), ReminderTick::Idle}, {at(16, 0, 0), ReminderTick::Idle}}},
        // "300" is held as 44 minutes.
        {"interval held in one byte",
         300,
         at(14, 12, 0),
         {{at(14, 12, 43), ReminderTick::Idle}, {at(14, 12, 44), ReminderTick::Reminded}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReminderBench b(c.interval);
        b.settings.write("Sounds", "Reminder", "bell.wav");
        b.start(c.start);
        std::size_t reminders = 0;
        for (const auto& [when, expected] : c.ticks) {
            EXPECT_EQ(b.tickAt(when), expected) << civilDate(localDateOf(when)).day << " " << localTimeOf(when);
            if (expected == ReminderTick::Reminded) ++reminders;
        }
        EXPECT_EQ(b.sounds.played, std::vector<std::string>(reminders, "bell.wav"));
        EXPECT_FALSE(b.reminder.popupWanted());
    }
}

TEST(Reminder, SuspensionTheOpenMenuAndThePopup) {
    ReminderBench b(10, false, true);
    b.settings.write("Sounds", "Reminder", "  ");
    b.start(at(14, 12, 0));

    // The menu's toggle persists and restarts the interval from that moment.
    b.clock.setSeconds(at(14, 12, 5));
    EXPECT_TRUE(b.reminder.toggleSuspended(b.settings));
    EXPECT_TRUE(b.settings.readFlag("Preferences", "SuspendTimer"));
    EXPECT_EQ(b.tickAt(at(14, 13, 0)), ReminderTick::Idle);
    b.clock.setSeconds(at(14, 13, 0));
    EXPECT_TRUE(b.reminder.toggleSuspended(b.settings));
    EXPECT_FALSE(b.settings.readFlag("Preferences", "SuspendTimer"));
    EXPECT_EQ(b.tickAt(at(14, 13, 9)), ReminderTick::Idle);

    // No reminder while the menu is open, so no second menu.
    b.reminder.setMenuOpen(true);
    EXPECT_EQ(b.tickAt(at(14, 13, 10)), ReminderTick::Idle);
    b.reminder.setMenuOpen(false);
    EXPECT_EQ(b.tickAt(at(14, 13, 10)), ReminderTick::Reminded);
    // A blank sound plays nothing; ShowPopup asks for the menu once.
    EXPECT_TRUE(b.sounds.played.empty());
    EXPECT_TRUE(b.reminder.takePopupRequest());
    EXPECT_FALSE(b.reminder.takePopupRequest());

    // A command suspends it for its duration; the settings read at its end restart it.
    b.reminder.setSuspended(true);
    EXPECT_EQ(b.tickAt(at(14, 14, 0)), ReminderTick::Idle);
    b.reminder.readSettings(b.settings);
    EXPECT_EQ(b.tickAt(at(14, 14, 9)), ReminderTick::Idle);
    EXPECT_EQ(b.tickAt(at(14, 14, 10)), ReminderTick::Reminded);
}

TEST(Reminder, OnlyIfChangedChecksTheWatchListAHundredEntriesAtATime) {
    ReminderBench b(5, true);
    b.start(at(14, 12, 0));
    // Nothing backed up since the start: every interval reminds.
    EXPECT_EQ(b.tickAt(at(14, 12, 5)), ReminderTick::Reminded);
    EXPECT_EQ(b.tickAt(at(14, 12, 10)), ReminderTick::Reminded);

    for (int i = 0; i < 250; ++i) {
        const std::string path = b.dir.write("files/f" + std::to_string(i), "x");
        b.fs.setModificationTime(path, at(10, 8, 0) + i);
        b.watch.push_back({path, b.fs.modificationTime(path)->time});
    }
    struct Case {
        const char* name;
        int touched;  // -1: none; 249: the last; 400: the first file is deleted
        std::vector<ReminderTick> ticks;
    };
    using T = ReminderTick;
    const std::vector<Case> cases = {
        {"only the last changed", 249, {T::Checking, T::Checking, T::Checking, T::Reminded}},
        {"nothing changed", -1, {T::Checking, T::Checking, T::Checking, T::Unchanged}},
        {"the first is gone", 400, {T::Checking, T::Reminded}},
    };
    std::time_t when = at(14, 12, 10);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < 250; ++i) b.fs.setModificationTime(b.watch[i].FILENAME, at(10, 8, 0) + i);
        if (c.touched == 249) b.fs.setModificationTime(b.watch[249].FILENAME, at(14, 11, 0));
        if (c.touched == 400) std::remove(b.watch[0].FILENAME.c_str());
        b.sounds.played.clear();

        when += 5 * 60;
        // The due tick starts the check and asks for the fast timer; each later tick
        // examines one slice, and the slow timer comes back with the answer.
        EXPECT_EQ(b.tickAt(when), c.ticks[0]);
        EXPECT_EQ(b.reminder.timerIntervalMs(), Reminder::CheckTickMs);
        for (std::size_t i = 1; i < c.ticks.size(); ++i) EXPECT_EQ(b.reminder.tick(b.watch), c.ticks[i]) << i;
        EXPECT_EQ(b.reminder.timerIntervalMs(), Reminder::TickMs);
        EXPECT_EQ(b.sounds.played.size(), c.ticks.back() == T::Reminded ? 1u : 0u);
        if (c.touched == 400) b.dir.write("files/f0", "x");
    }

    // The slices themselves, over a list the check copied.
    for (int i = 0; i < 250; ++i) b.fs.setModificationTime(b.watch[i].FILENAME, at(10, 8, 0) + i);
    ChangeCheck check(b.fs, b.watch);
    b.watch.clear();
    std::vector<std::size_t> slices;
    std::optional<bool> answer;
    while (!(answer = check.step())) slices.push_back(check.examined());
    EXPECT_EQ(slices, (std::vector<std::size_t>{100, 200}));
    EXPECT_EQ(check.examined(), 250u);
    EXPECT_FALSE(*answer);
}

TEST(TrayMenuItems, RecentProjectsGreyedSlotsAndTheTimerItem) {
    LastBackedList recent;
    for (const std::int32_t id : {1, 2, 1, 3}) recent.record(id);  // A, B, A, C
    const auto names = [](std::int32_t id) -> std::optional<std::string> {
        if (id == 1) return "Accounts  ";
        if (id == 3) return "Cellar";
        return std::nullopt;  // B has been deleted since
    };
    struct Case {
        std::uint8_t interval;
        bool suspended;
        const char* text;
    };
    for (const Case& c : {
             Case{30, false,
                  "&1 - Backup Cellar|&2 - Backup Accounts|~&3 - |~4 - |~5 - |-|&Open Quillet Console|Suspend "
                  "&Timer|-|&Exit Quillet"},
             Case{30, true,
                  "&1 - Backup Cellar|&2 - Backup Accounts|~&3 - |~4 - |~5 - |-|&Open Quillet Console|Resume "
                  "&Timer|-|&Exit Quillet"},
             Case{0, false,
                  "&1 - Backup Cellar|&2 - Backup Accounts|~&3 - |~4 - |~5 - |-|&Open Quillet Console|~Suspend "
                  "&Timer|-|&Exit Quillet"},
         }) {
        const auto items = trayMenuItems(recent, names, c.interval, c.suspended);
        EXPECT_EQ(trayMenuText(items), c.text);
        std::vector<int> choices;
        for (const auto& item : items)
            if (!item.separator()) choices.push_back(item.choice);
        EXPECT_EQ(choices, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(items[0].sysId, 3);
        EXPECT_EQ(items[2].sysId, 2);
    }
}

RunRecord failedRun(std::int32_t sysId, std::size_t failedFiles) {
    RunRecord r;
    r.sysId = sysId;
    r.project = "Cellar";
    r.finalStatus = failedFiles ? "Completed - " + std::to_string(failedFiles) + " Errors" : "Cancelled";
    for (std::size_t i = 0; i < failedFiles; ++i)
        r.failedFiles.emplace_back("/home/u/f" + std::to_string(i) + "\nx", "Permission denied");
    return r;
}

TEST(RunStatus, OneNotificationPerKindUntilARunSucceeds) {
    TempDir dir;
    RunStatusStore store(dir.path() + "/RunStatus/");
    const DateTime t1{80000, 100}, t2{80001, 200};
    RunRecord good;
    good.sysId = 7;
    good.project = "Cellar";
    good.succeeded = true;
    good.files = 12;
    good.bytes = 3400;

    struct Step {
        RunRecord run;
        bool notify;
    };
    const std::vector<Step> steps = {
        {failedRun(7, 30), true},
        {failedRun(7, 2), false},
        {failedRun(7, 0), true},
        {failedRun(7, 0), false},
        {good, false},
        {failedRun(7, 1), true},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        auto recorded = store.record(steps[i].run, i < 4 ? t1 : t2);
        ASSERT_TRUE(recorded) << recorded.error();
        EXPECT_EQ(recorded->notify, steps[i].notify);
    }
    // What a later start reads back: the last run failed, the good one before it is kept.
    const auto s = store.read(7);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->lastFailed);
    EXPECT_EQ(s->failure, "Completed - 1 Errors");
    EXPECT_EQ(s->failedList, std::vector<std::string>{"/home/u/f0?x: Permission denied"});
    EXPECT_EQ(s->lastGood.date, t2.date);
    EXPECT_EQ(s->lastGoodFiles, 12);
    EXPECT_EQ(s->notified, std::vector<std::string>{failurekind::FailedFiles});
    EXPECT_FALSE(store.read(8));

    // Long lists are cut in the file and in the notice, but counted whole.
    ASSERT_TRUE(store.record(failedRun(9, 30), t1));
    const auto many = store.read(9);
    EXPECT_EQ(many->failedFiles, 30);
    EXPECT_EQ(many->failedList.size(), ProjectRunStatus::MaxListed);
    const DesktopNotice notice = failureNotice(*many);
    EXPECT_EQ(notice.summary, "Backup of Cellar failed");
    EXPECT_EQ(notice.body.rfind("Completed - 30 Errors\n30 files failed:\n/home/u/f0?x: Permission denied\n", 0), 0u)
        << notice.body;
    EXPECT_NE(notice.body.find("\nand 25 more"), std::string::npos);
}

TEST(RunStatus, TrayStateFailedOutranksOverdueOutranksGood) {
    const DateTime now{80010, 6000 * 60 * 12 + 1};  // noon
    auto status = [](bool failed, DateTime lastGood) {
        ProjectRunStatus s;
        s.lastFailed = failed;
        s.lastRun = {80010, 1};
        s.lastGood = lastGood;
        s.failedFiles = failed ? 3 : 0;
        return s;
    };
    const ProjectRunStatus recent = status(false, {80010, 6000 * 60 * 11 + 1});  // an hour ago
    const ProjectRunStatus old = status(false, {80009, 6000 * 60 * 11 + 1});     // a day ago
    const ProjectRunStatus failed = status(true, {80010, 1});
    using P = std::vector<std::pair<std::string, std::optional<ProjectRunStatus>>>;
    struct Case {
        P recent;
        std::uint8_t interval;
        BackupHealth health;
    };
    for (const Case& c : {
             Case{{}, 30, BackupHealth::NoProjects},
             Case{{{"A", recent}}, 120, BackupHealth::Good},
             Case{{{"A", recent}}, 30, BackupHealth::Overdue},
             Case{{{"A", old}}, 0, BackupHealth::Good},
             Case{{{"A", recent}, {"B", std::nullopt}}, 120, BackupHealth::Overdue},
             Case{{{"A", old}, {"B", failed}}, 30, BackupHealth::Failed},
         }) {
        EXPECT_EQ(trayStatus(c.recent, c.interval, now).health, c.health)
            << trayStatus(c.recent, c.interval, now).tooltip;
    }
    const TrayStatus s = trayStatus({{"Accounts", failed}, {"Cellar", recent}}, 30, now);
    EXPECT_EQ(s.tooltip,
              "Quillet (Right-Click for popup menu)\n"
              "Accounts: FAILED " +
                  formatDate(80010) + " 12:00 AM (3 files failed), last good backup " + formatDate(80010) +
                  " 12:00 AM\n"
                  "Cellar: overdue, last good backup " +
                  formatDate(80010) + " 11:00 AM");
}

TEST(RunStatus, AnUnattendedRunRecordsItsFailedFilesAndNotifiesOnce) {
    BackupBench b("Cellar");
    for (int i = 0; i < 3; ++i) b.dir.write("src/f" + std::to_string(i) + ".txt", "file");
    b.component(b.src, "*.txt");
    b.catalog.close();
    RunStatusStore store(runStatusFolder(b.paths.dataFolder));
    std::vector<ProjectRunStatus> notices;
    const FailureNotice notice = [&](const ProjectRunStatus& s) { notices.push_back(s); };
    const Services s = b.commandServices();

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        RecordingView view;
        view.onShowFiles = [&](const BackupFileList& files) { std::remove(files[1].FILENAME.c_str()); };
        LoopBackupDriver driver(view);
        EXPECT_EQ(RunUnattendedBackup(s, "CELLAR", driver, &store, notice), unattended::Failed);
        b.dir.write("src/f1.txt", "file");
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].failedFiles, 1);
    ASSERT_EQ(notices[0].failedList.size(), 1u);
    EXPECT_EQ(notices[0].failedList[0].rfind(b.src + "/f1.txt: ", 0), 0u) << notices[0].failedList[0];
    EXPECT_EQ(notices[0].failure, "Completed - 1 Error");

    RecordingView view;
    LoopBackupDriver driver(view);
    b.clock.advanceMinutes(5);
    EXPECT_EQ(RunUnattendedBackup(s, "CELLAR", driver, &store, notice), unattended::Succeeded) << b.dialogs.report();
    const auto after = store.read(b.project.SYSID);
    ASSERT_TRUE(after);
    EXPECT_FALSE(after->lastFailed);
    EXPECT_EQ(after->failedFiles, 0);
    EXPECT_TRUE(after->notified.empty());
    EXPECT_EQ(after->lastGood.date, b.clock.now().date);
    EXPECT_EQ(after->lastGoodFiles, 3);
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

}  // namespace
}  // namespace quillet
