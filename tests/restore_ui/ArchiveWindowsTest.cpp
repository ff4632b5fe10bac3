// The test and restore windows driving real runs on the offscreen platform.
#include <gtest/gtest.h>

#include <filesystem>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

#include "archive/ui/RestoreWindow.h"
#include "archive/ui/TestWindow.h"
#include "restore/RestoreBench.h"

namespace quillet {
namespace {

using test::RestoreBench;

struct WindowBench : RestoreBench {
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};
};

template <class W>
QString text(W* window, const char* name) {
    if (auto* label = window->template findChild<QLabel*>(name)) return label->text();
    return window->template findChild<QPushButton*>(name)->text();
}

// Until the run has ended (the window's own timer steps it).
void waitForEnd(ArchiveRun& run) {
    for (int i = 0; i < 100000 && run.timerRunning(); ++i) QTest::qWait(1);
}

TEST(TestWindow, EndsTestsOkOrCountsTheDamagedItem) {
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "good");
        WindowBench b;
        if (damaged) b.damage(b.sources[2].second);
        TestWindow window(b.services, "");
        EXPECT_EQ(window.windowTitle().toStdString(), "Test Backup Integrity: Accounts - " + b.archivePath);
        window.show();
        auto* status = window.findChild<QLabel*>("statusLine");
        EXPECT_TRUE(status->isHidden());
        window.open();
        waitForEnd(window.testRun());
        EXPECT_EQ(status->text(), damaged ? "Completed - 1 Error(s)" : "Completed - Archive Tests OK");
        EXPECT_EQ(status->accessibleDescription(), status->text());  // what a screen reader reads
        EXPECT_FALSE(status->isHidden());
        EXPECT_EQ(text(&window, "cancelButton"), "&Close");
        EXPECT_TRUE(window.findChild<QPushButton*>("cancelButton")->hasFocus());
        EXPECT_TRUE(window.findChild<QProgressBar*>("itemBar")->isHidden());
        auto* overall = window.findChild<QProgressBar*>("overallPercent");
        EXPECT_EQ(overall->value(), 100);
        EXPECT_EQ(overall->text(), "100%");
        auto* list = window.findChild<QTreeView*>("workList");
        ASSERT_EQ(list->model()->rowCount(), 4);
        int bad = 0;
        for (int r = 0; r < 4; ++r) bad += list->model()->index(r, 0).data(Qt::UserRole).toInt() == workicon::Bad;
        EXPECT_EQ(bad, damaged ? 1 : 0);
        EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), "File Name");
        // "&Close" closes at once.
        QTest::mouseClick(window.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        EXPECT_FALSE(window.isVisible());
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(TestWindow, CancelAsksAndNoGoesOn) {
    WindowBench b;
    TestWindow window(b.services, "Books");
    EXPECT_TRUE(window.windowTitle().startsWith("Test Backup Integrity: Books - "));
    window.show();
    window.open();
    b.dialogs.expect("Are you sure that you want to cancel?", 2);
    QTest::keyClick(&window, Qt::Key_Escape);
    waitForEnd(window.testRun());
    EXPECT_EQ(window.testRun().summary(), "Completed - Archive Tests OK");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

// Typed root, options bound to the archive object, remove from the list, run to the end.
TEST(RestoreWindow, RestoresEveryMarkedItemIntoTheTypedRoot) {
    WindowBench b;
    b.archive.USE_PATH_INFO = 0;
    b.archive.CREATE_DIRECTORY = 0;
    b.archive.UNPACK_OVERWRITE_OPTION = 2;
    const std::string root = b.dir.mkdir("typed");
    RestoreWindow window(b.services, "");
    window.show();
    EXPECT_EQ(window.windowTitle().toStdString(), "Restore File(s) from Backup: Accounts - " + b.archivePath);
    EXPECT_TRUE(window.findChild<QRadioButton*>("promptUser")->isChecked());

    QTest::mouseClick(window.findChild<QRadioButton*>("overwrite"), Qt::LeftButton);
    EXPECT_EQ(b.archive.UNPACK_OVERWRITE_OPTION, 1);
    window.findChild<QCheckBox*>("createSubDirectories")->click();
    EXPECT_EQ(b.archive.CREATE_DIRECTORY, 1);
    auto* list = window.findChild<QTreeView*>("workList");
    const QString flat = list->model()->index(0, 0).data().toString();
    window.findChild<QCheckBox*>("useOriginalPathInfo")->click();
    EXPECT_EQ(b.archive.USE_PATH_INFO, 1);
    EXPECT_NE(list->model()->index(0, 0).data().toString(), flat) << "the list is rebuilt with the paths";

    auto* entry = window.findChild<QComboBox*>("rootDestination");
    entry->setFocus();
    entry->lineEdit()->selectAll();
    QTest::keyClicks(entry->lineEdit(), QString::fromStdString(root));
    QTest::keyClick(entry->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(window.restoreRun().root(), root);
    EXPECT_TRUE(list->model()->index(0, 0).data().toString().startsWith(QString::fromStdString(root + "/")));

    // The Delete key takes the selected line out: c.doc is not restored.
    list->setFocus();
    list->setCurrentIndex(list->model()->index(3, 0));
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(list->model()->rowCount(), 3);

    QTest::mouseClick(window.findChild<QPushButton*>("restoreFiles"), Qt::LeftButton);
    EXPECT_FALSE(window.findChild<QComboBox*>("rootDestination")->isEnabled());
    waitForEnd(window.restoreRun());
    EXPECT_EQ(text(&window, "statusLine"), "Completed - No Errors");
    EXPECT_EQ(text(&window, "cancelButton"), "&Close");
    for (const auto& [path, content] : b.sources) {
        if (path.ends_with("c.doc")) {
            EXPECT_FALSE(std::filesystem::exists(root + path));
        } else {
            EXPECT_EQ(test::readFile(root + path), content) << path;
        }
    }
    EXPECT_EQ(b.settings.read("DestinationMRU", "1"), root);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();

    // The next window starts at that root and offers it.
    RestoreWindow again(b.services, "");
    EXPECT_EQ(again.findChild<QComboBox*>("rootDestination")->currentText().toStdString(), root);
    EXPECT_EQ(again.findChild<QComboBox*>("rootDestination")->count(), 1);
}

TEST(RestoreWindow, ControlsAreNamedAndLabelsAreBuddies) {
    WindowBench b;
    RestoreWindow window(b.services, "");
    for (const char* name :
         {"Overwrite", "Prompt user", "Create Sub-Directories", "Use Original Path Info", "Root Destination", "...",
          "Restore/Extract Files", "Cancel", "Help", "File(s) to be Restored . . ."}) {
        bool found = false;
        for (QWidget* w : window.findChildren<QWidget*>()) found = found || w->accessibleName() == name;
        EXPECT_TRUE(found) << name;
    }
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text() == "&Root Destination:") {
            EXPECT_EQ(label->buddy(), window.findChild<QComboBox*>());
        }
    }
    EXPECT_EQ(window.findChild<QCheckBox*>("createSubDirectories")->toolTip(), "Create Sub Directories as Needed");
}

}  // namespace
}  // namespace quillet
