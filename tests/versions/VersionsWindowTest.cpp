// "Find in All Backups", "Compare Backups" and the preview's change counts, opened from
// the real console over real backups, restoring and viewing through the console's own
// commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "app/ui/FindVersionsWindow.h"
#include "archive/ui/RestoreWindow.h"
#include "backup/ui/PreviewWindow.h"
#include "console_ui/ConsoleBench.h"

namespace quillet {
namespace {

using test::ConsoleBench;

QString text(QWidget* in, const char* name) {
    return in->findChild<QLabel*>(name)->text();
}

// Three backups of a folder in which the letter changes each time.
void threeDrafts(ConsoleBench& c) {
    c.b.dir.write("src/stable.txt", "stays\n");
    c.b.component(c.b.src, "*.*");
    for (int k = 1; k <= 3; ++k) {
        c.b.dir.write("src/letter.txt", "draft " + std::to_string(k) + "\n");
        c.backup();
    }
}

TEST(VersionsWindows, FindListsEveryVersionAndRestoresAndViewsTheChosenOne) {
    ConsoleBench c;
    threeDrafts(c);
    Main& w = c.open();
    w.show();
    c.showTab(ConsoleTab::Backups);
    std::string viewed;
    w.setFileViewer({[&](const std::string& f) {
                         viewed = test::readFile(f);
                         return OpenAttempt{true, false, {}};
                     },
                     {}});
    const std::string root = c.b.dir.mkdir("restored");

    bool ran = false;
    w.setVersionsWindowHook([&](QDialog& dialog) {
        auto& find = dynamic_cast<FindVersionsWindow&>(dialog);
        ran = true;
        for (const char* name :
             {"patternEntry", "findButton", "versionsList", "restoreButton", "viewButton", "helpButton", "closeButton"})
            EXPECT_FALSE(find.findChild<QWidget*>(name)->accessibleName().isEmpty()) << name;
        QTest::keyClicks(find.findChild<QLineEdit*>("patternEntry"), "LETTER.*");
        QTest::keyClick(find.findChild<QLineEdit*>("patternEntry"), Qt::Key_Return);
        ASSERT_EQ(find.rows().size(), 3u);
        EXPECT_EQ(text(&find, "foundSummary"), "1 file(s), 3 version(s) in 3 backup(s)");
        auto* list = find.findChild<QTreeView*>("versionsList");
        for (int row = 0; row < 3; ++row) EXPECT_EQ(list->model()->index(row, 0).data().toInt(), row + 1);

        // View the second version: the console extracts it and hands it to the viewer.
        list->setCurrentIndex(list->model()->index(1, 0));
        find.findChild<QPushButton*>("viewButton")->click();
        EXPECT_EQ(viewed, "draft 2\n");

        // Restore the third version (the first draft) through the restore window, into a
        // folder of its own.
        list->setCurrentIndex(list->model()->index(2, 0));
        QTimer::singleShot(0, [&] {
            auto* restore = qobject_cast<RestoreWindow*>(QApplication::activeModalWidget());
            ASSERT_NE(restore, nullptr);
            auto* paths = restore->findChild<QCheckBox*>("useOriginalPathInfo");
            if (paths->isChecked()) paths->click();
            auto* entry = restore->findChild<QComboBox*>("rootDestination");
            entry->lineEdit()->selectAll();
            QTest::keyClicks(entry->lineEdit(), QString::fromStdString(root));
            QTest::keyClick(entry->lineEdit(), Qt::Key_Return);
            EXPECT_EQ(restore->findChild<QTreeView*>("workList")->model()->rowCount(), 1);
            restore->findChild<QPushButton*>("restoreFiles")->click();
            for (int i = 0; i < 100000 && restore->restoreRun().timerRunning(); ++i) QTest::qWait(1);
            restore->findChild<QPushButton*>("cancelButton")->click();
        });
        find.findChild<QPushButton*>("restoreButton")->click();
        EXPECT_EQ(test::readFile(root + "/letter.txt"), "draft 1\n");
        QTimer::singleShot(0, &find, &QDialog::accept);
    });
    c.action("menuFindVersions")->trigger();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(VersionsWindows, CompareShowsTheChangesBetweenTwoMarkedBackupsAndThePreviewCountsThem) {
    ConsoleBench c;
    threeDrafts(c);
    Main& w = c.open();
    w.show();
    c.showTab(ConsoleTab::Backups);

    // One mark is not a comparison.
    w.state().setBackupMark(0, true);
    c.b.dialogs.expect("Mark exactly two backups to compare.", 1);
    c.action("menuCompare")->trigger();

    w.state().setBackupMark(2, true);
    bool ran = false;
    w.setVersionsWindowHook([&](QDialog& dialog) {
        auto& compare = dynamic_cast<CompareWindow&>(dialog);
        ran = true;
        ASSERT_EQ(compare.problem(), "");
        EXPECT_TRUE(compare.changes().added.empty() && compare.changes().removed.empty());
        ASSERT_EQ(compare.changes().changed.size(), 1u);
        EXPECT_EQ(compare.changes().changed[0].after.name, "letter.txt");
        EXPECT_EQ(text(&compare, "changeCounts"), "Added: 0   Removed: 0   Changed: 1");
        EXPECT_EQ(text(&compare, "compareHeading"), "From PREF0003.LSP (older) to PREF0001.LSP (newer)");
        QTimer::singleShot(0, &compare, &QDialog::accept);
    });
    c.action("menuCompare")->trigger();
    EXPECT_TRUE(ran);

    // The preview counts against the newest backup: one new file, one changed, one gone.
    c.b.dir.write("src/letter.txt", "draft 4, longer\n");
    c.b.dir.write("src/new.txt", "new\n");
    ASSERT_TRUE(c.b.fs.removeFile(c.b.src + "/stable.txt").ok());
    PreviewWindow preview;
    PreviewRun run({c.b.fs, c.b.dialogs, c.b.catalog}, c.b.project, preview);
    preview.attach(&run);
    run.open();
    while (run.timerRunning()) run.step();
    preview.showNow();
    EXPECT_EQ(text(&preview, "changeCounts"), "Changes since PREF0001.LSP: 1 new, 1 changed, 1 vanished");
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

}  // namespace
}  // namespace quillet
