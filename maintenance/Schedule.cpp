#include "maintenance/Schedule.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/AtomicWrite.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

constexpr int kMinutesPerDay = 24 * 60;
constexpr const char* kRuleComment = "# Rule: ";
constexpr const char* kWrittenBy = "# Written by 'quillet schedule'; 'quillet schedule remove' deletes it.\n";
const char* const kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kWeekdayNames[] = {"MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY", "SUNDAY"};

bool allDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string twoDigits(int n) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return buffer;
}

std::string hexByte(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
    return buffer;
}

Result<std::pair<int, int>> parseClock(const std::string& time) {
    const auto colon = time.find(':');
    const auto bad =
        Result<std::pair<int, int>>::failure("The time must be written HH:MM (00:00 to 23:59): \"" + time + "\"");
    if (colon == std::string::npos) return bad;
    const std::string h = time.substr(0, colon), m = time.substr(colon + 1);
    if (!allDigits(h) || !allDigits(m) || h.size() > 2 || m.size() != 2) return bad;
    const int hour = std::stoi(h), minute = std::stoi(m);
    if (hour > 23 || minute > 59) return bad;
    return std::pair{hour, minute};
}

// The minutes of the day at which the rule runs, in order.
std::vector<int> runMinutes(const ScheduleRule& rule) {
    std::vector<int> minutes;
    if (rule.kind == ScheduleRule::Kind::Every) {
        for (int m = 0; m < kMinutesPerDay; m += rule.everyMinutes) minutes.push_back(m);
    } else if (rule.kind != ScheduleRule::Kind::None) {
        minutes.push_back(rule.hour * 60 + rule.minute);
    }
    return minutes;
}

std::string joined(const std::vector<int>& values) {
    std::string out;
    for (int v : values) out += (out.empty() ? "" : ",") + twoDigits(v);
    return out;
}

// A free text inside a unit file line: no line breaks (they would start a new directive)
// and "%" as its specifier escape.
std::string unitText(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            out += ' ';
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
}

// A quoted word of a unit file line with C escapes for what the word must carry as it is.
std::string quotedWord(const std::string& word, bool dollarsExpand) {
    std::string out = "\"";
    for (char c : word) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"')
            out += std::string("\\") + c;
        else if (c == '%')
            out += "%%";
        else if (c == '$' && dollarsExpand)
            out += "$$";
        else if (u < 0x20 || u == 0x7f)
            out += hexByte(u);
        else
            out += c;
    }
    return out + "\"";
}

std::string unescapeUnitName(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            out += static_cast<char>(std::strtol(name.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

Status removeIfThere(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return Status::failure(systemErrorText("cannot delete", path, errno));
    return {};
}

}  // namespace

Result<ScheduleRule> dailyRule(const std::string& time) {
    auto clock = parseClock(time);
    if (!clock) return Result<ScheduleRule>::failure(clock.error());
    ScheduleRule rule;
    rule.kind = ScheduleRule::Kind::Daily;
    rule.hour = clock->first;
    rule.minute = clock->second;
    return rule;
}

Result<ScheduleRule> weeklyRule(const std::string& day, const std::string& time) {
    const std::string upper = upperCased(day);
    int weekday = 0;
    for (int i = 0; i < 7 && upper.size() >= 3; ++i)
        if (std::string(kWeekdayNames[i]).compare(0, upper.size(), upper) == 0) weekday = i + 1;
    if (weekday == 0)
        return Result<ScheduleRule>::failure("The day must be a day of the week, such as Mon or Monday: \"" + day +
                                             "\"");
    auto rule = dailyRule(time);
    if (!rule) return rule;
    rule->kind = ScheduleRule::Kind::Weekly;
    rule->weekday = weekday;
    return rule;
}

Result<ScheduleRule> everyRule(const std::string& span) {
    const auto bad = Result<ScheduleRule>::failure(
        "The span must divide a day evenly, such as 15min, 90min, 2h, 1h30min or 1d: \"" + span + "\"");
    static const std::map<std::string, int> units = {
        {"M", 1},   {"MIN", 1},   {"MINS", 1},   {"MINUTE", 1}, {"MINUTES", 1}, {"H", 60},
        {"HR", 60}, {"HOUR", 60}, {"HOURS", 60}, {"D", 1440},   {"DAY", 1440},  {"DAYS", 1440},
    };
    const std::string text = upperCased(span);
    long long total = 0;
    std::size_t i = 0;
    if (text.empty()) return bad;
    while (i < text.size()) {
        const std::size_t numberStart = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        const std::size_t unitStart = i;
        while (i < text.size() && text[i] >= 'A' && text[i] <= 'Z') ++i;
        if (numberStart == unitStart || unitStart == i || unitStart - numberStart > 5) return bad;
        const auto unit = units.find(text.substr(unitStart, i - unitStart));
        if (unit == units.end()) return bad;
        total += std::stoll(text.substr(numberStart, unitStart - numberStart)) * unit->second;
        if (total > kMinutesPerDay) return bad;
    }
    if (total <= 0 || kMinutesPerDay % total != 0) return bad;
    ScheduleRule rule;
    rule.kind = ScheduleRule::Kind::Every;
    rule.everyMinutes = static_cast<int>(total);
    return rule;
}

std::string weekdayName(int weekday) {
    return weekday >= 1 && weekday <= 7 ? kWeekdays[weekday - 1] : "?";
}

std::string spanText(int minutes) {
    if (minutes == kMinutesPerDay) return "1d";
    std::string text;
    if (minutes >= 60) text = std::to_string(minutes / 60) + "h";
    if (minutes % 60 != 0) text += std::to_string(minutes % 60) + "min";
    return text;
}

std::string ruleText(const ScheduleRule& rule) {
    const std::string clock = twoDigits(rule.hour) + ":" + twoDigits(rule.minute);
    switch (rule.kind) {
        case ScheduleRule::Kind::Daily:
            return "daily " + clock;
        case ScheduleRule::Kind::Weekly:
            return "weekly " + weekdayName(rule.weekday) + " " + clock;
        case ScheduleRule::Kind::Every:
            return "every " + spanText(rule.everyMinutes);
        case ScheduleRule::Kind::None:
            break;
    }
    return "none";
}

Result<ScheduleRule> parseRuleText(const std::string& text) {
    std::istringstream in(text);
    std::string kind, a, b, extra;
    in >> kind >> a >> b >> extra;
    if (kind == "none" && a.empty()) return ScheduleRule{};
    if (kind == "daily" && !a.empty() && b.empty()) return dailyRule(a);
    if (kind == "weekly" && !b.empty() && extra.empty()) return weeklyRule(a, b);
    if (kind == "every" && !a.empty() && b.empty()) return everyRule(a);
    return Result<ScheduleRule>::failure("not a schedule: \"" + text + "\"");
}

std::vector<std::string> calendarExpressions(const ScheduleRule& rule) {
    const std::vector<int> minutes = runMinutes(rule);
    if (minutes.empty()) return {};
    if (rule.kind != ScheduleRule::Kind::Every) {
        const std::string clock = twoDigits(rule.hour) + ":" + twoDigits(rule.minute) + ":00";
        if (rule.kind == ScheduleRule::Kind::Weekly) return {weekdayName(rule.weekday) + " *-*-* " + clock};
        return {"*-*-* " + clock};
    }
    // The hours at which each minute of the hour comes round; minutes that share their
    // hours share one expression (every 90min: 00,03,...:00 and 01,04,...:30).
    std::map<int, std::vector<int>> hoursOfMinute;
    for (int m : minutes) hoursOfMinute[m % 60].push_back(m / 60);
    std::vector<std::pair<std::vector<int>, std::vector<int>>> groups;  // hours, minutes
    for (const auto& [minute, hours] : hoursOfMinute) {
        auto same = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == hours; });
        if (same == groups.end())
            groups.push_back({hours, {minute}});
        else
            same->second.push_back(minute);
    }
    std::vector<std::string> expressions;
    for (const auto& [hours, mins] : groups) {
        const std::string h = hours.size() == 24 ? "*" : joined(hours);
        const std::string m = mins.size() == 60 ? "*" : joined(mins);
        expressions.push_back("*-*-* " + h + ":" + m + ":00");
    }
    return expressions;
}

std::optional<std::time_t> nextRun(const ScheduleRule& rule, std::time_t now) {
    const std::vector<int> minutes = runMinutes(rule);
    if (minutes.empty()) return std::nullopt;
    std::tm today{};
    ::localtime_r(&now, &today);
    for (int day = 0; day <= 8; ++day) {
        for (int m : minutes) {
            std::tm at{};
            at.tm_year = today.tm_year;
            at.tm_mon = today.tm_mon;
            at.tm_mday = today.tm_mday + day;
            at.tm_hour = m / 60;
            at.tm_min = m % 60;
            at.tm_isdst = -1;
            const std::time_t t = std::mktime(&at);
            if (t <= now) continue;
            if (rule.kind == ScheduleRule::Kind::Weekly && at.tm_wday != rule.weekday % 7) continue;
            return t;
        }
    }
    return std::nullopt;
}

std::string runTimeText(std::time_t t) {
    std::tm local{};
    ::localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M", &local);
    return buffer;
}

std::string unitBaseName(const std::string& prefix) {
    std::string name = "quillet-";
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto c = static_cast<unsigned char>(prefix[i]);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == ':' || (c == '.' && i > 0);
        name += plain ? std::string(1, static_cast<char>(c)) : hexByte(c);
    }
    return name;
}

std::string execArgument(const std::string& argument) {
    return quotedWord(argument, true);
}

std::string serviceText(const std::string& program, const std::string& projectName, const std::string& quilletHome) {
    std::string text = kWrittenBy;
    text += "[Unit]\nDescription=Quillet backup of \"" + unitText(projectName) + "\"\n\n";
    text += "[Service]\nType=oneshot\n";
    // The run keeps the record files of the command that scheduled it.
    if (!quilletHome.empty()) text += "Environment=" + quotedWord("QUILLET_HOME=" + quilletHome, false) + "\n";
    // The name stays one -P value even with commas or blanks in it: the command line
    // splits only outside double quotes.
    text += "ExecStart=" + execArgument(program) + " " + execArgument("-P=\"" + projectName + "\"") + " " +
            execArgument("--console") + "\n";
    return text;
}

std::string timerText(const ScheduleRule& rule, const std::string& projectName, const std::string& prefix) {
    std::string text = kWrittenBy;
    text += std::string(kRuleComment) + ruleText(rule) + "\n";
    text += "[Unit]\nDescription=Quillet backup of \"" + unitText(projectName) + "\", " + ruleText(rule) + "\n\n";
    text += "[Timer]\n";
    for (const std::string& when : calendarExpressions(rule)) text += "OnCalendar=" + when + "\n";
    // A run missed while the machine slept or was off happens as soon as it is back.
    text += "Persistent=true\n";
    text += "Unit=" + unitBaseName(prefix) + ".service\n\n";
    text += "[Install]\nWantedBy=timers.target\n";
    return text;
}

SystemctlRunner systemSystemctl() {
    return [](const std::vector<std::string>& arguments) {
        SystemctlOutcome outcome;
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
            outcome.output = std::strerror(errno);
            return outcome;
        }
        std::vector<std::string> args{"systemctl"};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            if (in >= 0) ::dup2(in, 0);
            ::dup2(pipeEnds[1], 1);
            ::dup2(pipeEnds[1], 2);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(pipeEnds[1]);
        if (pid < 0) {
            ::close(pipeEnds[0]);
            outcome.output = std::strerror(errno);
            return outcome;
        }
        char buffer[4096];
        for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            outcome.output.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeEnds[0]);
        int raw = 0;
        while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
        return outcome;
    };
}

// ---- Scheduler ----

Scheduler::Scheduler(std::string unitFolder, std::string program, SystemctlRunner systemctl, std::string quilletHome)
    : folder_(std::move(unitFolder)),
      program_(std::move(program)),
      systemctl_(std::move(systemctl)),
      quilletHome_(std::move(quilletHome)) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

Scheduler Scheduler::forThisUser() {
    const char* home = std::getenv("QUILLET_HOME");
    return Scheduler(userUnitFolder(), runningProgram(), systemSystemctl(), home ? home : "");
}

std::string Scheduler::userUnitFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base = config && config[0] == '/' ? std::string(config) : homeFolder() + "/.config";
    return base + "/systemd/user/";
}

std::string Scheduler::runningProgram() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) return "quillet";
    path.resize(static_cast<std::size_t>(n));
    return path;
}

std::string Scheduler::timerPath(const std::string& prefix) const {
    return folder_ + unitBaseName(prefix) + ".timer";
}

std::string Scheduler::servicePath(const std::string& prefix) const {
    return folder_ + unitBaseName(prefix) + ".service";
}

Status Scheduler::available() const {
    const SystemctlOutcome answer = systemctl_({"--user", "is-system-running"});
    if (answer.status == 127)
        return Status::failure("schedules need systemd, and systemctl was not found; nothing was changed");
    std::string state = answer.output.substr(0, answer.output.find('\n'));
    // Degraded (a unit failed) or still starting: the manager is there and runs timers.
    for (const char* running : {"running", "degraded", "starting", "initializing", "maintenance", "stopping"})
        if (state == running) return {};
    if (state.empty()) state = "no answer";
    return Status::failure("schedules need a systemd user manager, and 'systemctl --user' reaches none (" + state +
                           "); nothing was changed");
}

Status Scheduler::call(const std::vector<std::string>& arguments) const {
    const SystemctlOutcome answer = systemctl_(arguments);
    if (answer.status == 0) return {};
    std::string command = "systemctl";
    for (const std::string& a : arguments) command += " " + a;
    std::string output = answer.output;
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return Status::failure(command + " failed" + (output.empty() ? "" : ": " + output));
}

Status Scheduler::install(const Project& project, const ScheduleRule& rule) const {
    const std::string& name = project.NAME;
    if (rule.kind == ScheduleRule::Kind::None) return Status::failure("no schedule was given");
    if (project.FAVORITES == 1)
        return Status::failure("\"" + name + "\" is a favourites folder; it is never backed up");
    if (project.PREFIX.find_first_not_of(' ') == std::string::npos)
        return Status::failure("\"" + name + "\" has no prefix to name its timer by");
    // -P takes its value up to the next double quote, so such a name could never be run.
    if (name.find('"') != std::string::npos || name.find_first_not_of(' ') == std::string::npos)
        return Status::failure("the project name \"" + name +
                               "\" cannot be given to -P (a double quote, or blanks only); rename it first");
    if (Status s = available(); !s) return s;

    const bool replacing = exists(timerPath(project.PREFIX));
    if (Status s = writeFileAtomically(servicePath(project.PREFIX), serviceText(program_, name, quilletHome_)); !s)
        return s;
    if (Status s = writeFileAtomically(timerPath(project.PREFIX), timerText(rule, name, project.PREFIX)); !s) return s;
    const std::string timer = unitBaseName(project.PREFIX) + ".timer";
    if (Status s = call({"--user", "daemon-reload"}); !s) return s;
    if (Status s = call({"--user", "enable", "--now", timer}); !s) return s;
    // A timer that was already running keeps its old times until it is started afresh.
    if (replacing)
        if (Status s = call({"--user", "restart", timer}); !s) return s;
    return {};
}

Status Scheduler::remove(const std::string& prefix) const {
    const std::string timer = timerPath(prefix), service = servicePath(prefix);
    if (!scheduled(prefix)) return Status::failure("there is no schedule to remove");
    if (Status s = available(); !s) return s;
    Status stopped = call({"--user", "disable", "--now", unitBaseName(prefix) + ".timer"});
    if (Status s = removeIfThere(timer); !s) return s;
    if (Status s = removeIfThere(service); !s) return s;
    Status reloaded = call({"--user", "daemon-reload"});
    return !stopped ? stopped : reloaded;
}

bool Scheduler::scheduled(const std::string& prefix) const {
    return exists(timerPath(prefix)) || exists(servicePath(prefix));
}

std::optional<ScheduleRule> Scheduler::read(const std::string& prefix) const {
    const auto text = readWholeFile(timerPath(prefix));
    if (!text) return std::nullopt;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(kRuleComment, 0) != 0) continue;
        auto rule = parseRuleText(line.substr(std::strlen(kRuleComment)));
        if (rule && rule->kind != ScheduleRule::Kind::None) return *rule;
    }
    return std::nullopt;
}

std::vector<ScheduledUnit> Scheduler::list() const {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder_.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 14 && name.rfind("quillet-", 0) == 0 && name.compare(name.size() - 6, 6, ".timer") == 0)
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<ScheduledUnit> units;
    for (const std::string& name : names) {
        const std::string prefix = unescapeUnitName(name.substr(8, name.size() - 14));
        if (auto rule = read(prefix)) units.push_back({prefix, *rule});
    }
    return units;
}

}  // namespace quillet
