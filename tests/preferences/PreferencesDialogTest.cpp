// The preferences dialog on the offscreen platform over real settings files and record
// files, and its command in the console; the user's answers come from the scripted dialogs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>

#include "app/ui/ConsoleTray.h"
#include "app/ui/Main.h"
#include "app/ui/TrayIcon.h"
#include "maintenance/ui/SetDefaultDestination.h"
#include "maintenance/ui/SetPreferences.h"
#include "preferences/PreferencesBench.h"

namespace quillet {
namespace {

using test::readFile;

template <class W>
W* child(QWidget& parent, const char* name) {
    W* w = parent.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void press(QWidget& parent, const char* button) {
    QTest::mouseClick(child<QPushButton>(parent, button), Qt::LeftButton);
}

// Types into an entry and leaves it, as the user accepting it does.
void enter(QWidget& parent, const char* name, const std::string& text) {
    auto* e = child<QLineEdit>(parent, name);
    e->setText(QString::fromStdString(text));
    e->setModified(true);
    emit e->editingFinished();
}

void onNextModal(std::function<void(QWidget&)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(*modal);
    });
}

struct PreferencesDialogTest : test::PreferencesBench {
    std::string dest = dir.mkdir("dest") + "/";
    std::string settingsFile() const { return settings.path(); }
};

TEST_F(PreferencesDialogTest, RemindEveryFifteenAndOkWritesTheIntervalAndEverySetting) {
    settings.write("Defaults", "DestinationPath", dest);
    PreferencesDialog dialog(services, false);
    EXPECT_EQ(dialog.windowTitle(), "Quillet - Preferences");
    auto* pages = child<QTabWidget>(dialog, "pages");
    QStringList titles;
    for (int i = 0; i < pages->count(); ++i) titles << pages->tabText(i);
    EXPECT_EQ(titles, QStringList({"General", "File Paths", "Event Sounds", "UnUsed", "Optimization"}));

    child<QSpinBox>(dialog, "remindEvery")->setValue(15);
    child<QRadioButton>(dialog, "speedFastest")->click();
    press(dialog, "okButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.read("Reminder", "Interval"), "15");
    EXPECT_EQ(settings.read("Preferences", "SpeedOptimization"), "3");
    EXPECT_EQ(settings.read("Defaults", "DestinationPath"), dest);
    // Every key of the dialog is in the file now, with the values it showed.
    for (const PreferenceKey& k : preferenceWriteOrder())
        EXPECT_NE(settings.read(std::string(k.section), std::string(k.key), "<absent>"), "<absent>") << k.key;
    EXPECT_EQ(settings.read("Sounds", "Completed"), "done.wav");
    EXPECT_EQ(settings.read("Preferences", "ConfirmExit"), "1");
}

TEST_F(PreferencesDialogTest, CancelAfterChangingArchiveOptionsLeavesTheArchiveSettingsAsTheyWere) {
    ASSERT_TRUE(archive.SavePreferences());
    const std::string before = readFile(archive.settingsPath());
    const std::uint8_t engine = archive.COMPRESSION_ENGINE;
    const std::string temp = archive.TEMP_PATH;
    {
        PreferencesDialog dialog(services, false);
        child<QRadioButton>(dialog, engine == 3 ? "compressionFast" : "compressionMaximum")->click();
        child<QCheckBox>(dialog, "hiddenAttribute")->click();
        child<QRadioButton>(dialog, "packUpdate")->click();
        enter(dialog, "tempPath", dest);
        EXPECT_NE(archive.COMPRESSION_ENGINE, engine) << "the controls edit the archive object itself";
        EXPECT_EQ(archive.HIDDEN_ATTRIBUTE, 1);
        press(dialog, "cancelButton");
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(readFile(archive.settingsPath()), before);
    EXPECT_EQ(archive.COMPRESSION_ENGINE, engine);
    EXPECT_EQ(archive.HIDDEN_ATTRIBUTE, 0);
    EXPECT_EQ(archive.TEMP_PATH, temp);
    EXPECT_FALSE(fs.fileExists(settingsFile())) << "Cancel writes nothing";
}

TEST_F(PreferencesDialogTest, OkStoresTheArchiveOptionsForTheNextBackup) {
    settings.write("Defaults", "DestinationPath", dest);
    PreferencesDialog dialog(services, false);
    child<QRadioButton>(dialog, "compressionMaximum")->click();
    child<QRadioButton>(dialog, "pathNone")->click();
    enter(dialog, "tempPath", dest);
    press(dialog, "okButton");
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    lspclass reread(dialogs, paths.configFolder);
    reread.LoadPreferences();
    EXPECT_EQ(reread.COMPRESSION_ENGINE, 3);
    EXPECT_EQ(reread.PATH_INFORMATION, 1);
    EXPECT_EQ(reread.TEMP_PATH, dest.substr(0, dest.size() - 1)) << "the temporary folder is kept without its '/'";
}

TEST_F(PreferencesDialogTest, TheIntervalTakesZeroTo255AndZeroTurnsTheReminderOptionsOff) {
    PreferencesDialog dialog(services, false);
    auto* interval = child<QSpinBox>(dialog, "remindEvery");
    struct Case {
        const char* typed;
        int held;
        bool optionsOn;
    };
    for (const Case& c : {Case{"15", 15, true}, Case{"255", 255, true}, Case{"300", 30, true}, Case{"0", 0, false},
                          Case{"-1", 1, true}}) {
        interval->selectAll();
        QTest::keyClicks(interval, c.typed);
        interval->interpretText();
        EXPECT_EQ(interval->value(), c.held) << c.typed;
        for (const char* name : {"showPopup", "suspendTimer", "remindOnlyIfChanged"})
            EXPECT_EQ(child<QCheckBox>(dialog, name)->isEnabled(), c.optionsOn) << c.typed << " " << name;
    }
}

TEST_F(PreferencesDialogTest, AFolderThatCannotBeCreatedKeepsTheDialogOpen) {
    const std::string blocker = dir.write("plain-file", "not a folder");
    PreferencesDialog dialog(services, false);
    // Accepting the entry asks; Create cannot make a folder below a file.
    dialogs.expect("Directory Not Found. What would you like to do?", 1);
    enter(dialog, "defaultExtractionPath", blocker + "/restore");
    EXPECT_EQ(child<QLineEdit>(dialog, "defaultExtractionPath")->text().toStdString(), blocker + "/restore/");
    // OK asks again and stays open; nothing is written.
    dialogs.expect("Directory Not Found", 3);
    press(dialog, "okButton");
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(child<QTabWidget>(dialog, "pages")->currentIndex(), 1);
    EXPECT_FALSE(fs.fileExists(settingsFile()));
    EXPECT_FALSE(fs.fileExists(archive.settingsPath()));

    // Create on a folder that can be made: OK goes through.
    dialogs.expect("Directory Not Found", 1);
    enter(dialog, "defaultExtractionPath", dest + "new/deeper");
    EXPECT_TRUE(fs.folderExists(dest + "new/deeper"));
    press(dialog, "okButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.read("Defaults", "ExtractionPath"), dest + "new/deeper/");
}

TEST_F(PreferencesDialogTest, ANewDefaultDestinationMovesTheProjectsOnlyWhenAnsweredYes) {
    const std::string old = dir.mkdir("old") + "/";
    const std::string fresh = dir.mkdir("new") + "/";
    struct Case {
        int answer;
        const char* expected;  // where the project of the old default ends up
    };
    for (const Case& c : {Case{answer::No, "old"}, Case{answer::Yes, "new"}}) {
        settings.write("Defaults", "DestinationPath", old);
        const std::int32_t project = addProject("P" + std::to_string(c.answer) + "xx", old);
        const std::int32_t favourites = addProject("Fav" + std::to_string(c.answer), old, 1);
        PreferencesDialog dialog(services, false);
        child<QLineEdit>(dialog, "defaultDestinationPath")->setText(QString::fromStdString(fresh));
        dialogs.expect("(" + old + ") to the new one (" + fresh + ")", c.answer);
        press(dialog, "okButton");
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialogs.last().title, "New Default Destination");
        EXPECT_EQ(dialogs.last().defaultButton, answer::Yes);
        EXPECT_EQ(settings.read("Defaults", "DestinationPath"), fresh) << "the new default is stored either way";
        EXPECT_EQ(destinationOf(project), dir.path() + "/" + c.expected + "/") << c.answer;
        EXPECT_EQ(destinationOf(favourites), old) << "a favourites folder stays where it is";
        EXPECT_EQ(dialog.destinationUpdateRan(), c.answer == answer::Yes);
    }
}

TEST_F(PreferencesDialogTest, SoundEntriesAreCheckedPlayedAndLookedUp) {
    const std::string wav = dir.write("chime.wav", "RIFF");
    const std::string missing = dir.file("gone.wav");
    struct Case {
        const char* entry;
        std::string typed;
        const char* chooserTitle;  // nullptr: accepted without a word
    };
    for (const Case& c : {Case{"completedSound", missing, "Choose Sound File"},
                          Case{"reminderSound", missing, "Pick Wave File"}, Case{"completedSound", "", nullptr},
                          Case{"reminderSound", wav, nullptr}, Case{"errorSound", missing, nullptr}}) {
        dialogs.clear();
        PreferencesDialog dialog(services, false);
        if (c.chooserTitle) {
            dialogs.expect(missing + " does not exist!", 1);
            dialogs.queueOpenFile(wav);
        }
        enter(dialog, c.entry, c.typed);
        ASSERT_TRUE(dialogs.ok()) << c.entry << ": " << dialogs.report();
        if (c.chooserTitle) {
            EXPECT_EQ(dialogs.beeps(), 1);
            EXPECT_EQ(dialogs.last().title, "File Not Found");
            ASSERT_EQ(dialogs.chooserCalls().size(), 1u);
            EXPECT_EQ(dialogs.chooserCalls()[0].title, c.chooserTitle);
            EXPECT_EQ(dialogs.chooserCalls()[0].filter, "Wave Sound Files (*.wav)");
            EXPECT_EQ(child<QLineEdit>(dialog, c.entry)->text().toStdString(), wav);
        } else {
            EXPECT_TRUE(dialogs.shown().empty()) << c.entry;
            EXPECT_TRUE(dialogs.chooserCalls().empty()) << c.entry;
        }
    }
    dialogs.clear();
    PreferencesDialog dialog(services, false);
    sounds.played.clear();
    enter(dialog, "reminderSound", wav);
    press(dialog, "reminderSoundPreview");
    child<QLineEdit>(dialog, "errorSound")->clear();
    press(dialog, "errorSoundPreview");  // a blank sound plays nothing
    EXPECT_EQ(sounds.played, std::vector<std::string>{wav});
    dialogs.queueOpenFile(std::nullopt);
    press(dialog, "errorSoundLookUp");
    ASSERT_EQ(dialogs.chooserCalls().size(), 1u);
    EXPECT_EQ(dialogs.chooserCalls()[0].title, "Lookup Error Wave File");
    EXPECT_EQ(dialogs.chooserCalls()[0].filter, "Wav Sound Files (*.wav)");
}

TEST_F(PreferencesDialogTest, AnUnwritableSettingsFileIsSaidAndLosesNothing) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into every folder; run the suite as an ordinary user";
    settings.write("Defaults", "DestinationPath", dest);
    settings.write("LastBacked", "1", "7");
    ASSERT_TRUE(archive.SavePreferences());
    const std::string settingsBefore = readFile(settingsFile());
    const std::string archiveBefore = readFile(archive.settingsPath());
    PreferencesDialog dialog(services, false);
    child<QSpinBox>(dialog, "remindEvery")->setValue(15);
    ASSERT_EQ(::chmod(paths.configFolder.c_str(), 0555), 0);
    dialogs.expect("could not be saved", 1);
    press(dialog, "okButton");
    ::chmod(paths.configFolder.c_str(), 0755);
    EXPECT_NE(dialog.result(), QDialog::Accepted) << "the dialog stays open with the user's changes";
    EXPECT_NE(dialogs.last().text.find(paths.configFolder), std::string::npos) << dialogs.last().text;
    EXPECT_EQ(readFile(settingsFile()), settingsBefore);
    EXPECT_EQ(readFile(archive.settingsPath()), archiveBefore);
    // Once the folder is writable again, OK stores everything.
    press(dialog, "okButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.read("Reminder", "Interval"), "15");
    EXPECT_EQ(settings.read("LastBacked", "1"), "7");
}

TEST_F(PreferencesDialogTest, TheProgressWindowAsksBeforeItStopsAndThenChangesNothing) {
    const std::string old = dir.mkdir("old") + "/";
    std::vector<std::int32_t> ids;
    for (int i = 0; i < 4; ++i) ids.push_back(addProject("Prj" + std::to_string(i), old));
    DefaultDestinationUpdate update(catalog, old, dest);
    DestinationProgressWindow window(services, update);
    EXPECT_EQ(window.windowTitle(), "Progress...");
    window.step();
    window.step();
    EXPECT_EQ(child<QLabel>(window, "percent")->text(), "50% Completed");
    dialogs.expect(DestinationCancelQuestion, answer::No);
    press(window, "cancelButton");  // declined: the run goes on with the next project
    EXPECT_EQ(child<QLabel>(window, "percent")->text(), "75% Completed");
    dialogs.expect(DestinationCancelQuestion, answer::Yes);
    press(window, "cancelButton");
    EXPECT_TRUE(update.cancelled());
    for (std::int32_t id : ids) EXPECT_EQ(destinationOf(id), old);
}

TEST_F(PreferencesDialogTest, TheConsoleOpensTheDialogAndTakesItsChangesAtOnce) {
    settings.write("Defaults", "DestinationPath", dest);
    Main console(services);
    ASSERT_TRUE(console.openConsole()) << dialogs.report();
    AttachTray(console, services);
    auto* tray = console.findChild<TrayIcon*>();
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->reminder().settings().interval, 0);
    QAction* preferences = console.findChild<QAction*>("menuPreferences");
    ASSERT_NE(preferences, nullptr);
    EXPECT_TRUE(preferences->isEnabled());
    auto* projects = console.findChild<QTreeView*>("projectsList");
    ASSERT_NE(projects, nullptr);
    ASSERT_FALSE(projects->toolTip().isEmpty());

    bool opened = false;
    onNextModal([&](QWidget& modal) {
        opened = modal.objectName() == "preferences";
        child<QSpinBox>(modal, "remindEvery")->setValue(15);
        child<QCheckBox>(modal, "disableToolTips")->click();
        child<QRadioButton>(modal, "compressionMaximum")->click();
        press(modal, "okButton");
    });
    archive.COMPRESSION_ENGINE = 2;
    preferences->trigger();
    EXPECT_TRUE(opened);
    EXPECT_EQ(archive.COMPRESSION_ENGINE, 3) << "the next backup packs with the stored option";
    EXPECT_EQ(settings.read("Reminder", "Interval"), "15");
    EXPECT_EQ(tray->reminder().settings().interval, 15) << "the reminder takes the interval without a restart";
    EXPECT_TRUE(projects->toolTip().isEmpty()) << "the tips are cleared once the dialog returns";

    onNextModal([&](QWidget& modal) {
        child<QCheckBox>(modal, "disableToolTips")->click();
        press(modal, "okButton");
    });
    preferences->trigger();
    EXPECT_EQ(projects->toolTip(), "Projects to be backed up.");
}

}  // namespace
}  // namespace quillet
