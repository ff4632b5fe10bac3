// The project form's Schedule group over real record files, with a systemctl on PATH that
// logs its calls and answers as a running user manager.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimeEdit>
#include <cstdlib>
#include <filesystem>

#include "app/ConsoleState.h"
#include "app/ui/ConsoleModels.h"
#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ScriptedDialogs.h"
#include "framework/Settings.h"
#include "maintenance/Schedule.h"
#include "maintenance/ui/ProjectForm.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::readFile;
using test::TempDir;

class SilentSounds : public SoundPlayer {
public:
    void play(const std::string&) override {}
};

struct ScheduleForm : ::testing::Test {
    TempDir dir;
    Paths paths = Paths::inFolder(dir.mkdir("home"));
    FileSystem fs{dir.path()};
    ScriptedDialogs dialogs;
    Settings settings{paths};
    ManualClock clock;
    Catalog catalog{paths.dataFolder};
    SilentSounds sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};
    std::string oldPath = std::getenv("PATH");
    Project docs;

    void SetUp() override {
        dir.write("bin/systemctl", "#!/bin/sh\necho \"$*\" >> \"" + dir.file("calls") +
                                       "\"\n[ \"$2\" = is-system-running ] && echo running\nexit 0\n");
        ::chmod(dir.file("bin/systemctl").c_str(), 0755);
        ::setenv("PATH", (dir.file("bin") + ":/usr/bin:/bin").c_str(), 1);
        ASSERT_TRUE(catalog.open().ok());
        Project p;
        p.NAME = "Docs";
        p.PREFIX = "DOCS";
        p.DESTINATIONPATH = dir.mkdir("dest") + "/";
        docs = *catalog.projects().insert(p);
    }
    void TearDown() override {
        ::setenv("PATH", oldPath.c_str(), 1);
        EXPECT_TRUE(dialogs.ok()) << dialogs.report();
        catalog.close();
    }
    std::string timer() const { return Scheduler::userUnitFolder() + "quillet-DOCS.timer"; }
};

TEST_F(ScheduleForm, EditsTheProjectsTimerAndTheConsoleShowsItsNextRun) {
    {
        ProjectForm form(services, FormRequest::Change, docs, {});
        EXPECT_EQ(form.findChild<QComboBox*>("scheduleKind")->currentText(), "None");
        EXPECT_FALSE(form.findChild<QTimeEdit*>("scheduleTime")->isEnabled());
        form.findChild<QComboBox*>("scheduleKind")->setCurrentIndex(1);
        form.findChild<QTimeEdit*>("scheduleTime")->setTime(QTime(18, 30));
        EXPECT_TRUE(form.findChild<QTimeEdit*>("scheduleTime")->isEnabled());
        EXPECT_FALSE(form.findChild<QComboBox*>("scheduleDay")->isEnabled());
        EXPECT_TRUE(form.findChild<QLabel*>("scheduleNext")->text().startsWith("Next run: "));
        form.accept();
        ASSERT_EQ(form.result(), FormResult::Completed);
    }
    EXPECT_NE(readFile(timer()).find("OnCalendar=*-*-* 18:30:00\nPersistent=true\n"), std::string::npos);

    // The console's project row shows the next run the timer makes.
    ConsoleState state(services);
    state.reloadProjects();
    ASSERT_EQ(state.projects().size(), 1u);
    ProjectListModel model(state);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Next Backup");
    EXPECT_TRUE(model.data(model.index(0, 2), Qt::DisplayRole).toString().endsWith(" 18:30"));

    {
        // A span that divides no day keeps the form open; renaming rewrites the -P name.
        ProjectForm form(services, FormRequest::Change, *catalog.projects().all()->begin(), {});
        EXPECT_EQ(form.findChild<QComboBox*>("scheduleKind")->currentText(), "Daily");
        EXPECT_EQ(form.findChild<QTimeEdit*>("scheduleTime")->time(), QTime(18, 30));
        form.findChild<QComboBox*>("scheduleKind")->setCurrentIndex(3);
        form.findChild<QLineEdit*>("scheduleSpan")->setText("7h");
        dialogs.expect("The span must divide a day evenly");
        form.accept();
        EXPECT_EQ(form.result(), FormResult::Cancelled);
        form.findChild<QLineEdit*>("scheduleSpan")->setText("2h");
        form.findChild<QLineEdit*>("name")->setText("Papers");
        form.accept();
        ASSERT_EQ(form.result(), FormResult::Completed);
    }
    EXPECT_NE(readFile(timer()).find("OnCalendar=*-*-* 00,02,04,06,08,10,12,14,16,18,20,22:00:00\n"),
              std::string::npos);
    EXPECT_NE(readFile(Scheduler::userUnitFolder() + "quillet-DOCS.service").find("\"-P=\\\"Papers\\\"\""),
              std::string::npos);

    {
        // Deleting the project takes its timer with it.
        ProjectForm form(services, FormRequest::Delete, *catalog.projects().all()->begin(), {});
        form.accept();
        ASSERT_EQ(form.result(), FormResult::Completed);
    }
    EXPECT_FALSE(std::filesystem::exists(timer()));
    EXPECT_FALSE(std::filesystem::exists(Scheduler::userUnitFolder() + "quillet-DOCS.service"));
}

}  // namespace
}  // namespace quillet
