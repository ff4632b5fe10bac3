#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "app/CommandLine.h"
#include "maintenance/Schedule.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::readFile;
using test::TempDir;

// systemctl as the engine sees it: every call recorded, answers from the test.
struct FakeSystemctl {
    std::vector<std::string> calls;
    std::string state = "running";
    bool notFound = false;
    SystemctlRunner runner() {
        return [this](const std::vector<std::string>& args) {
            std::string call;
            for (const std::string& a : args) call += (call.empty() ? "" : " ") + a;
            calls.push_back(call);
            if (notFound) return SystemctlOutcome{127, ""};
            if (call == "--user is-system-running") return SystemctlOutcome{state == "running" ? 0 : 1, state + "\n"};
            return SystemctlOutcome{0, ""};
        };
    }
};

Project project(const std::string& name, const std::string& prefix) {
    Project p;
    p.SYSID = 7;
    p.NAME = name;
    p.PREFIX = prefix;
    return p;
}

std::string valueOf(const std::string& unit, const std::string& key) {
    std::istringstream lines(unit);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return "";
}

// The words of an ExecStart= (or Environment=) line as systemd reads them: "%%" (and in
// ExecStart "$$") stand for one character, quoted words take C escapes. An unescaped "%"
// or "$" would be expanded.
std::vector<std::string> execWords(const std::string& line, bool dollars = true) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '$' && !dollars) {
            word += c;
        } else if ((c == '%' || c == '$') && i + 1 < line.size() && line[i + 1] == c) {
            word += c;
            ++i;
        } else if (c == '%' || c == '$') {
            ADD_FAILURE() << "unescaped " << c << " in " << line;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == '\\' && quoted && line[i + 1] == 'x') {
            word += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (c == '\\' && quoted) {
            word += line[++i];
        } else if (c == ' ' && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    EXPECT_FALSE(quoted) << line;
    if (inWord) words.push_back(word);
    return words;
}

// The unit files check out with systemd's own reader where it is installed.
void expectVerified(const std::string& timer, const std::string& service) {
    if (test::runCommand("command -v systemd-analyze >/dev/null 2>&1") != 0) return;
    TempDir capture;
    const int status = test::runCommand("systemd-analyze verify '" + timer + "' '" + service + "' >'" +
                                        capture.file("out") + "' 2>&1");
    EXPECT_EQ(status, 0) << readFile(capture.file("out"));
    EXPECT_EQ(readFile(capture.file("out")), "");
}

TEST(ScheduleRules, AreParsedWrittenAndTurnedIntoCalendarTimes) {
    struct Case {
        std::string kind, a, b;
        std::string text;  // ruleText, or "" when refused
        std::vector<std::string> calendar;
    } cases[] = {
        {"daily", "18:30", "", "daily 18:30", {"*-*-* 18:30:00"}},
        {"daily", "7:05", "", "daily 07:05", {"*-*-* 07:05:00"}},
        {"daily", "24:00", "", "", {}},
        {"daily", "18:3", "", "", {}},
        {"daily", "18.30", "", "", {}},
        {"weekly", "mon", "18:30", "weekly Mon 18:30", {"Mon *-*-* 18:30:00"}},
        {"weekly", "SUNDAY", "0:00", "weekly Sun 00:00", {"Sun *-*-* 00:00:00"}},
        {"weekly", "Su", "0:00", "", {}},
        {"weekly", "Funday", "0:00", "", {}},
        {"every", "15m", "", "every 15min", {"*-*-* *:00,15,30,45:00"}},
        {"every",
         "90min",
         "",
         "every 1h30min",
         {"*-*-* 00,03,06,09,12,15,18,21:00:00", "*-*-* 01,04,07,10,13,16,19,22:30:00"}},
        {"every",
         "1h30min",
         "",
         "every 1h30min",
         {"*-*-* 00,03,06,09,12,15,18,21:00:00", "*-*-* 01,04,07,10,13,16,19,22:30:00"}},
        {"every", "8h", "", "every 8h", {"*-*-* 00,08,16:00:00"}},
        {"every", "1d", "", "every 1d", {"*-*-* 00:00:00"}},
        {"every", "7h", "", "", {}},
        {"every", "2d", "", "", {}},
        {"every", "0min", "", "", {}},
        {"every", "90", "", "", {}},
        {"every", "h", "", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind + " " + c.a + " " + c.b);
        const auto rule = c.kind == "daily"    ? dailyRule(c.a)
                          : c.kind == "weekly" ? weeklyRule(c.a, c.b)
                                               : everyRule(c.a);
        if (c.text.empty()) {
            EXPECT_FALSE(rule);
            EXPECT_NE(rule.error(), "");
            continue;
        }
        ASSERT_TRUE(rule) << rule.error();
        EXPECT_EQ(ruleText(*rule), c.text);
        EXPECT_EQ(calendarExpressions(*rule), c.calendar);
        const auto back = parseRuleText(ruleText(*rule));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, *rule);
    }
}

TEST(ScheduleRules, NextRunIsTheNextTimeTheRuleNames) {
    // Wed 2026-12-09 12:00 local time.
    std::tm noon{};
    noon.tm_year = 126, noon.tm_mon = 11, noon.tm_mday = 9, noon.tm_hour = 12, noon.tm_isdst = -1;
    const std::time_t now = std::mktime(&noon);
    struct Case {
        ScheduleRule rule;
        std::string next;
    } cases[] = {
        {*dailyRule("18:30"), "2026-12-09 18:30"},
        {*dailyRule("12:00"), "2026-12-10 12:00"},  // not the very moment
        {*dailyRule("06:00"), "2026-12-10 06:00"},
        {*weeklyRule("Wed", "11:59"), "2026-12-16 11:59"},
        {*weeklyRule("Mon", "08:00"), "2026-12-14 08:00"},
        {*everyRule("90min"), "2026-12-09 13:30"},
        {*everyRule("1d"), "2026-12-10 00:00"},
    };
    for (const Case& c : cases) EXPECT_EQ(runTimeText(*nextRun(c.rule, now)), c.next) << ruleText(c.rule);
    EXPECT_FALSE(nextRun(ScheduleRule{}, now));
}

TEST(Scheduler, DailyScheduleWritesTimerAndServiceAndRemoveDeletesBoth) {
    TempDir home;
    FakeSystemctl systemctl;
    const Scheduler scheduler(home.file("systemd/user"), "/usr/bin/quillet", systemctl.runner());
    const auto rule = *dailyRule("18:30");
    ASSERT_TRUE(scheduler.install(project("Docs", "DOCS"), rule));

    const std::string timer = readFile(home.file("systemd/user/quillet-DOCS.timer"));
    const std::string service = readFile(home.file("systemd/user/quillet-DOCS.service"));
    EXPECT_EQ(valueOf(timer, "OnCalendar"), "*-*-* 18:30:00");
    EXPECT_EQ(valueOf(timer, "Persistent"), "true");
    EXPECT_EQ(valueOf(timer, "WantedBy"), "timers.target");
    EXPECT_EQ(valueOf(service, "Type"), "oneshot");
    EXPECT_EQ(execWords(valueOf(service, "ExecStart")),
              (std::vector<std::string>{"/usr/bin/quillet", "-P=\"Docs\"", "--console"}));
    EXPECT_EQ(systemctl.calls, (std::vector<std::string>{"--user is-system-running", "--user daemon-reload",
                                                         "--user enable --now quillet-DOCS.timer"}));
    EXPECT_EQ(scheduler.read("DOCS"), rule);
    ASSERT_EQ(scheduler.list().size(), 1u);
    EXPECT_EQ(scheduler.list()[0].prefix, "DOCS");

    // A new rule replaces the old one, and the running timer is started afresh.
    systemctl.calls.clear();
    ASSERT_TRUE(scheduler.install(project("Docs", "DOCS"), *everyRule("2h")));
    EXPECT_EQ(scheduler.read("DOCS"), *everyRule("2h"));
    EXPECT_EQ(systemctl.calls.back(), "--user restart quillet-DOCS.timer");

    systemctl.calls.clear();
    ASSERT_TRUE(scheduler.remove("DOCS"));
    EXPECT_FALSE(scheduler.scheduled("DOCS"));
    EXPECT_TRUE(scheduler.list().empty());
    EXPECT_EQ(systemctl.calls,
              (std::vector<std::string>{"--user is-system-running", "--user disable --now quillet-DOCS.timer",
                                        "--user daemon-reload"}));
    EXPECT_FALSE(scheduler.remove("DOCS"));
}

TEST(Scheduler, HostileNamesReachTheProgramWholeAndAddNoDirective) {
    TempDir home;
    // A program folder with a blank in it, as an unpacked build may have.
    const std::string program = home.mkdir("my apps") + "/quillet";
    ASSERT_EQ(test::runCommand("ln -s '" QUILLET_EXECUTABLE "' '" + program + "'"), 0);
    FakeSystemctl systemctl;
    const Scheduler scheduler(home.file("units"), program, systemctl.runner(), home.path() + "/100% $HOME");
    const std::string names[] = {
        "Docs\nExecStartPre=/bin/sh -c 'touch /tmp/owned'",
        "a; rm -rf ~ && echo $HOME `id` $(id)",
        "%h %n %% 50%",
        "ends with \\",
        "C:\\Users\\x\\",
        "tab\there, comma, and 'single'",
        "  blanks  ",
        "Ünïcødé ☃",
    };
    int n = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string prefix = "P" + std::to_string(n++) + "-/";
        ASSERT_TRUE(scheduler.install(project(name, prefix), *weeklyRule("Fri", "17:45")));
        const std::string service = readFile(scheduler.servicePath(prefix));
        const std::string timer = readFile(scheduler.timerPath(prefix));
        // Every line is one the program wrote: a comment, a section, or one of its keys.
        for (const std::string& unit : {service, timer}) {
            std::istringstream lines(unit);
            for (std::string line; std::getline(lines, line);) {
                if (line.empty() || line[0] == '#' || line[0] == '[') continue;
                const std::string key = line.substr(0, line.find('='));
                EXPECT_TRUE(key == "Description" || key == "Type" || key == "ExecStart" || key == "Environment" ||
                            key == "OnCalendar" || key == "Persistent" || key == "Unit" || key == "WantedBy")
                    << line;
                EXPECT_NE(line.back(), '\\') << "continues into the next line: " << line;
            }
        }
        const auto words = execWords(valueOf(service, "ExecStart"));
        ASSERT_EQ(words.size(), 3u);
        EXPECT_EQ(words[0], program);
        EXPECT_EQ(words[2], "--console");
        // The program's own command line reads the name back from its argument.
        EXPECT_EQ(parseCommandLine({words[1], words[2]}).projectName, upperAndCut(name, 20));
        EXPECT_EQ(execWords(valueOf(service, "Environment"), false),
                  std::vector<std::string>{"QUILLET_HOME=" + home.path() + "/100% $HOME"});
        EXPECT_EQ(scheduler.read(prefix), *weeklyRule("Fri", "17:45"));
        expectVerified(scheduler.timerPath(prefix), scheduler.servicePath(prefix));
    }
    EXPECT_EQ(scheduler.list().size(), std::size(names));
    if (test::runCommand("command -v systemd-analyze >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "systemd-analyze is not installed: the unit files were not verified by systemd";
}

TEST(Scheduler, RefusesWhatNoTimerCouldRunAndChangesNothingWithoutSystemd) {
    TempDir home;
    FakeSystemctl systemctl;
    const Scheduler scheduler(home.file("units"), "/usr/bin/quillet", systemctl.runner());
    Project favourites = project("Favs", "");
    favourites.FAVORITES = 1;
    struct Case {
        std::string what;
        Project project;
        std::string state;
        bool notFound;
        std::string says;
    } cases[] = {
        {"no systemctl", project("Docs", "DOCS"), "running", true, "systemctl was not found"},
        {"no user manager", project("Docs", "DOCS"), "offline", false, "reaches none (offline)"},
        {"a favourites folder", favourites, "running", false, "favourites folder"},
        {"a double quote", project("say \"hi\"", "SAY_"), "running", false, "cannot be given to -P"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        systemctl.state = c.state;
        systemctl.notFound = c.notFound;
        const Status s = scheduler.install(c.project, *dailyRule("18:30"));
        ASSERT_FALSE(s);
        EXPECT_NE(s.error().find(c.says), std::string::npos) << s.error();
        EXPECT_EQ(test::runCommand("test -e '" + home.file("units") + "'"), 1) << "something was written";
    }
    // A schedule made while systemd answered is not touched once it no longer does.
    systemctl.state = "running";
    systemctl.notFound = false;
    ASSERT_TRUE(scheduler.install(project("Docs", "DOCS"), *dailyRule("18:30")));
    systemctl.state = "offline";
    systemctl.calls.clear();
    EXPECT_FALSE(scheduler.remove("DOCS"));
    EXPECT_TRUE(scheduler.scheduled("DOCS"));
    EXPECT_EQ(systemctl.calls, std::vector<std::string>{"--user is-system-running"});
}

}  // namespace
}  // namespace quillet
