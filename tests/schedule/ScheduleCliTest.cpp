#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "CliRunner.h"
#include "app/cli/Cli.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::CliResult;
using test::readFile;
using test::runQuillet;
using test::TempDir;

// The real program with XDG_CONFIG_HOME in a temporary folder and PATH holding only a
// systemctl that logs its calls (or no systemctl at all).
class ScheduleCli : public ::testing::Test {
protected:
    void SetUp() override {
        oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        oldConfig_ = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        const std::string bin = tmp_.mkdir("bin");
        tmp_.write("bin/systemctl", "#!/bin/sh\necho \"$*\" >> \"" + tmp_.file("calls") +
                                        "\"\n[ \"$2\" = is-system-running ] && echo running\nexit 0\n");
        ::chmod(tmp_.file("bin/systemctl").c_str(), 0755);
        ::setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", tmp_.file("config").c_str(), 1);
        home_ = tmp_.mkdir("home");
        ASSERT_EQ(run({"project", "add", "Docs", "--dest", tmp_.mkdir("dest"), "--prefix", "DOCS"}).status, 0);
    }
    void TearDown() override {
        ::setenv("PATH", oldPath_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    }
    CliResult run(const std::vector<std::string>& args) { return runQuillet(home_, tmp_.path(), args); }
    std::string unit(const std::string& name) { return tmp_.file("config/systemd/user/" + name); }

    TempDir tmp_;
    std::string home_, oldPath_, oldConfig_;
};

TEST_F(ScheduleCli, SchedulesListsAndRemovesThroughSystemctl) {
    CliResult r = run({"schedule", "docs", "--daily", "18:30"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Docs\tdaily 18:30\t", 0), 0u) << r.out;
    const std::string service = readFile(unit("quillet-DOCS.service"));
    const std::string program = std::filesystem::canonical(QUILLET_EXECUTABLE).string();
    EXPECT_NE(service.find("ExecStart=\"" + program + "\" \"-P=\\\"Docs\\\"\" \"--console\"\n"), std::string::npos)
        << service;
    EXPECT_NE(readFile(unit("quillet-DOCS.timer")).find("\nOnCalendar=*-*-* 18:30:00\nPersistent=true\n"),
              std::string::npos);

    r = run({"schedule", "Docs", "--weekly", "mon", "7:00"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"schedule", "list"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = test::lines(r.out);
    ASSERT_EQ(rows.size(), 1u) << r.out;
    const auto row = test::fields(rows[0]);
    ASSERT_EQ(row.size(), 3u);
    EXPECT_EQ(row[0], "Docs");
    EXPECT_EQ(row[1], "weekly Mon 07:00");
    EXPECT_EQ(row[2].substr(10), " 07:00");

    struct Refused {
        std::vector<std::string> args;
        int status;
        std::string says;
    } refused[] = {
        {{"schedule", "Docs", "--every", "7h"}, 2, "divide a day"},
        {{"schedule", "Docs"}, 2, "say when"},
        {{"schedule", "Docs", "--daily", "18:30", "--every", "2h"}, 2, "say when"},
        {{"schedule", "Nobody", "--daily", "18:30"}, 2, "no project named"},
        {{"schedule", "remove", "Nobody"}, 2, "no project named"},
    };
    for (const Refused& c : refused) {
        r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back();
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_NE(readFile(unit("quillet-DOCS.timer")).find("OnCalendar=Mon *-*-* 07:00:00"), std::string::npos);

    r = run({"schedule", "remove", "Docs"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(unit("quillet-DOCS.timer")));
    EXPECT_FALSE(std::filesystem::exists(unit("quillet-DOCS.service")));
    EXPECT_EQ(run({"schedule", "remove", "Docs"}).status, 2);
    EXPECT_EQ(readFile(tmp_.file("calls")),
              "--user is-system-running\n--user daemon-reload\n--user enable --now quillet-DOCS.timer\n"
              "--user is-system-running\n--user daemon-reload\n--user enable --now quillet-DOCS.timer\n"
              "--user restart quillet-DOCS.timer\n"
              "--user is-system-running\n"  // the list tells whether its timers run
              "--user is-system-running\n--user disable --now quillet-DOCS.timer\n--user daemon-reload\n");

    // A project that goes takes its timer with it.
    ASSERT_EQ(run({"schedule", "Docs", "--every", "30min"}).status, 0);
    ASSERT_TRUE(std::filesystem::exists(unit("quillet-DOCS.timer")));
    r = run({"project", "remove", "Docs"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(unit("quillet-DOCS.timer")));
    EXPECT_FALSE(std::filesystem::exists(unit("quillet-DOCS.service")));
}

TEST_F(ScheduleCli, WithoutSystemctlNothingIsWritten) {
    ::setenv("PATH", tmp_.mkdir("empty").c_str(), 1);
    const CliResult r = run({"schedule", "Docs", "--daily", "18:30"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("systemctl was not found"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(tmp_.file("config")));
}

TEST(MistypedCommand, NearCommandWordsAreNamedAndFlagTokensKeepTheirRule) {
    struct Case {
        std::string typed, meant;  // meant "": not taken for a command
    } cases[] = {
        {"bakup", "backup"},     {"bakcup", "backup"},
        {"Backup", "backup"},    {"prjoect", "project"},
        {"schedul", "schedule"}, {"hlep", "help"},
        {"restor", "restore"},   {"ARCHIVE", "archives"},
        {"backup", ""},          {"docs", ""},
        {"archivesxyz", ""},     {"-P=bakup", ""},
        {"-p=backup", ""},       {"MINIMIZE=TRUE", ""},
        {"minimize", ""},        {"--console", ""},
        {"--help", ""},          {"-bakup", ""},
        {"bakup=1", ""},         {"bakup,docs", ""},
        {"\"-P=My Docs\"", ""},  {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(cli::mistypedCommand(c.typed).value_or(""), c.meant) << c.typed;

    TempDir tmp;
    const CliResult r = runQuillet(tmp.path(), tmp.path(), {"bakup", "docs"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown command \"bakup\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"backup\""), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quillet
