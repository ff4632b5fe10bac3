#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalog/Records.h"
#include "platform/Result.h"

namespace quillet {

// When a project's backup runs by itself: every day, one day a week, or every so many
// minutes (a span that divides a day, so the runs fall at the same times every day).
struct ScheduleRule {
    enum class Kind { None, Daily, Weekly, Every };
    Kind kind = Kind::None;
    int hour = 0;
    int minute = 0;
    int weekday = 1;       // Weekly: 1 Monday ... 7 Sunday
    int everyMinutes = 0;  // Every
    bool operator==(const ScheduleRule&) const = default;
};

// The parts of a rule as the command line and the form take them. Each failure says what
// is accepted.
Result<ScheduleRule> dailyRule(const std::string& time);                           // "18:30"
Result<ScheduleRule> weeklyRule(const std::string& day, const std::string& time);  // "Mon", "18:30"
Result<ScheduleRule> everyRule(const std::string& span);                           // "90min", "2h", "1h30min", "1d"
// "daily 18:30", "weekly Mon 18:30", "every 90min" and back; "none" for no rule.
std::string ruleText(const ScheduleRule& rule);
Result<ScheduleRule> parseRuleText(const std::string& text);
// The span as written by ruleText: "15min", "2h", "1h30min", "1d".
std::string spanText(int minutes);
// "Mon" ... "Sun".
std::string weekdayName(int weekday);

// The OnCalendar= values of the rule. A span is written as the times of day it falls on,
// so a run missed while the machine slept or was off is made up at the next start.
std::vector<std::string> calendarExpressions(const ScheduleRule& rule);
// The first run after now (local time); nothing for no rule.
std::optional<std::time_t> nextRun(const ScheduleRule& rule, std::time_t now);
// "2026-12-09 18:30" in local time.
std::string runTimeText(std::time_t t);

// The base name of a project's units, "quillet-PREFIX", with every character a unit name
// may not hold written as \xNN.
std::string unitBaseName(const std::string& prefix);
// One argument of an ExecStart= line, quoted so that blanks, quotes, backslashes, "%",
// "$" and control characters reach the program as they are.
std::string execArgument(const std::string& argument);
// The unit files of a project's schedule.
// With quilletHome, the run keeps the record files of that folder (QUILLET_HOME).
std::string serviceText(const std::string& program, const std::string& projectName,
                        const std::string& quilletHome = {});
std::string timerText(const ScheduleRule& rule, const std::string& projectName, const std::string& prefix);

// What one call of systemctl gave: its exit status (127: it could not be started) and
// what it printed on both streams.
struct SystemctlOutcome {
    int status = 127;
    std::string output;
};
// Runs "systemctl ARGUMENTS..."; the arguments begin with "--user".
using SystemctlRunner = std::function<SystemctlOutcome(const std::vector<std::string>& arguments)>;
// The systemctl found on PATH.
SystemctlRunner systemSystemctl();

// A project's schedule as found in the unit folder.
struct ScheduledUnit {
    std::string prefix;
    ScheduleRule rule;
};

// Writes, reads and removes the user timers that run projects' backups: in unitFolder,
// "quillet-PREFIX.timer" and "quillet-PREFIX.service" running
// "program -P="NAME" --console".
class Scheduler {
public:
    Scheduler(std::string unitFolder, std::string program, SystemctlRunner systemctl, std::string quilletHome = {});
    // The scheduler of this user: $XDG_CONFIG_HOME/systemd/user (~/.config/systemd/user),
    // the running program, the systemctl on PATH, this process's QUILLET_HOME.
    static Scheduler forThisUser();
    static std::string userUnitFolder();
    static std::string runningProgram();

    const std::string& unitFolder() const { return folder_; }

    // Whether a systemd user manager answers; the failure says why not.
    Status available() const;
    // Writes the project's timer and service and starts the timer. Nothing is written
    // when systemd is not there or the project cannot be run by a timer.
    Status install(const Project& project, const ScheduleRule& rule) const;
    // Stops the timer and deletes both files. Nothing is changed when systemd is not there.
    Status remove(const std::string& prefix) const;
    // Whether the project with that prefix has a timer or a service file.
    bool scheduled(const std::string& prefix) const;
    // The rule of the project with that prefix; nothing when it has none.
    std::optional<ScheduleRule> read(const std::string& prefix) const;
    // Every project schedule in the unit folder, in file name order.
    std::vector<ScheduledUnit> list() const;

    std::string timerPath(const std::string& prefix) const;
    std::string servicePath(const std::string& prefix) const;

private:
    Status call(const std::vector<std::string>& arguments) const;

    std::string folder_;
    std::string program_;
    SystemctlRunner systemctl_;
    std::string quilletHome_;
};

}  // namespace quillet
