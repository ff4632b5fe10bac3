// The "Backup Progress" window driving real runs on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "backup/ui/BackupFileModel.h"
#include "backup/ui/BackupProgressWindow.h"
#include "backup_run/BackupBench.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::randomBytes;

// The window with a test's hand on the run while it is driven.
class WatchedWindow : public BackupProgressWindow {
public:
    void drive(BackupRun& run) override {
        run_ = &run;
        BackupProgressWindow::drive(run);
        run_ = nullptr;
    }
    void fileChanged(std::size_t index) override {
        BackupProgressWindow::fileChanged(index);
        if (onFileChanged) onFileChanged(index);
    }
    BackupRun* run_ = nullptr;
    std::function<void(std::size_t)> onFileChanged;
    QPushButton* button() { return findChild<QPushButton*>("actionButton"); }
    QString text(const char* name) { return findChild<QLabel*>(name)->text(); }
    bool shown(const char* name) { return !findChild<QWidget*>(name)->isHidden(); }
};

// Calls check every few milliseconds while the event loop runs, until it returns true.
void whenever(std::function<bool()> check) {
    auto* timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (check()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

TEST(BackupProgressWindow, ShowsTheRunAndWaitsForOk) {
    BackupBench b;
    b.dir.write("src/a.txt", "alpha");
    b.dir.write("src/big.bin", randomBytes(400000, 9));
    b.dir.write("src/c.txt", std::string(5000, 'c'));
    b.component(b.src, "*.*");

    WatchedWindow window;
    int barShown = 0;
    QProgressBar* bar = window.findChild<QProgressBar*>("itemBar");
    whenever([&] {
        if (bar->isVisible()) ++barShown;
        if (!window.run_ || window.run_->phase() != BackupRun::Phase::Finished) return false;
        QTest::mouseClick(window.button(), Qt::LeftButton);
        return true;
    });
    BackupList list;
    EXPECT_EQ(BatchBackup(b.services(), b.arguments(&list), window), 0) << b.dialogs.report();

    EXPECT_EQ(window.windowTitle(), "Back up Accounts  (Normal)");
    EXPECT_EQ(window.text("statusLine"), "Completed - No Errors");
    EXPECT_EQ(window.text("totalFiles"), "3");
    EXPECT_EQ(window.text("totalBytes"), "405,005");
    EXPECT_EQ(window.text("seconds"), "0.00");
    EXPECT_EQ(window.text("compressedBytes"), groupedNumber(*b.fs.fileSize(b.dest + "PREF0001.LSP")));
    EXPECT_TRUE(window.shown("compressedBytes"));
    EXPECT_FALSE(window.shown("itemBar"));
    EXPECT_FALSE(window.shown("folderLine"));
    EXPECT_EQ(window.button()->text(), "&OK");
    EXPECT_EQ(window.findChild<QProgressBar*>("overallPercent")->value(), 100);
    auto* view = window.findChild<QTreeView*>("fileList");
    ASSERT_EQ(view->model()->rowCount(), 3);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(view->model()->index(row, 0).data(Qt::UserRole).toInt(), 2);
    EXPECT_EQ(view->model()->index(0, 1).data().toString(), "5");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(BackupProgressWindow, NothingSelectedShowsTheSingleRowAndCloses) {
    BackupBench b;
    b.component(b.src, "*.none");
    b.dialogs.expect("No Files Match Backup Criteria");
    WatchedWindow window;
    BackupList list;
    EXPECT_EQ(BatchBackup(b.services(), b.arguments(&list), window), 1);
    auto* view = window.findChild<QTreeView*>("fileList");
    ASSERT_EQ(view->model()->rowCount(), 1);
    EXPECT_EQ(view->model()->index(0, 0).data().toString(), "<No Files Match Criteria>");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(BackupProgressWindow, ThePressAsksTheQuestionOfWhereTheRunIs) {
    // Pressed while the library packs the third file (it lets events through), or after it.
    for (bool duringFile : {true, false}) {
        SCOPED_TRACE(duringFile);
        BackupBench b;
        for (int i = 0; i < 40; ++i) b.dir.write("src/f" + std::to_string(i) + ".txt", "data " + std::to_string(i));
        b.component(b.src, "*.txt");
        b.dialogs.expect(duringFile ? "Would you like to cancel this entire backup operation?"
                                    : "Are you sure that you want to Cancel?",
                         1);
        WatchedWindow window;
        int calls = 0;
        window.onFileChanged = [&](std::size_t index) {
            if (index != 2) return;
            // Each file is announced before its pack call and again when its icon is set.
            if (++calls == 1 && duringFile)
                QTimer::singleShot(0, &window, [&] { QTest::mouseClick(window.button(), Qt::LeftButton); });
            if (calls == 2 && !duringFile) QTest::mouseClick(window.button(), Qt::LeftButton);
        };
        BackupList list;
        EXPECT_EQ(BatchBackup(b.services(), b.arguments(&list), window), 1);
        EXPECT_LT(window.findChild<QProgressBar*>("overallPercent")->value(), 100);
        EXPECT_FALSE(b.fs.fileExists(b.dest + "PREF0001.LSP"));
        EXPECT_FALSE(window.isVisible());
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(BackupProgressWindow, CountdownClosesByItselfOrStopsWhenTheListTakesTheFocus) {
    for (bool interrupt : {false, true}) {
        SCOPED_TRACE(interrupt);
        BackupBench b;
        b.dir.write("src/a.txt", "a");
        b.component(b.src, "*.txt");
        WatchedWindow window;
        QStringList labels;
        whenever([&] {
            if (!window.run_) return false;
            const QString label = window.button()->text();
            if (labels.isEmpty() || labels.back() != label) labels << label;
            if (window.run_->phase() == BackupRun::Phase::CountingDown) {
                if (interrupt && label == "&Close in 7") {
                    window.activateWindow();
                    window.findChild<QTreeView*>("fileList")->setFocus();
                    if (window.run_->phase() == BackupRun::Phase::CountingDown) window.run_->focusMovedElsewhere();
                } else {
                    b.clock.advanceMilliseconds(1000);
                }
            }
            if (window.run_->phase() == BackupRun::Phase::Finished) {
                QTest::mouseClick(window.button(), Qt::LeftButton);
                return true;
            }
            return window.run_->phase() == BackupRun::Phase::Closed;
        });
        BackupList list;
        BackupArguments args = b.arguments(&list);
        args.countdown = true;
        EXPECT_EQ(BatchBackup(b.services(), args, window), 0);
        if (labels.back() != window.button()->text()) labels << window.button()->text();
        ASSERT_GE(labels.size(), 2);
        EXPECT_EQ(labels.back(), "&OK");
        if (interrupt) {
            EXPECT_EQ(labels.mid(labels.size() - 5),
                      (QStringList{"&Close in 10", "&Close in 9", "&Close in 8", "&Close in 7", "&OK"}));
        } else {
            EXPECT_TRUE(labels.contains("&Close in 0"));
            EXPECT_EQ(labels.at(labels.size() - 2), "&Close in 0");
        }
    }
}

}  // namespace
}  // namespace quillet
