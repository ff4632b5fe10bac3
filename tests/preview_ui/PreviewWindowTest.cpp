// The "Backup Preview" window driving real scans on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "backup/ui/BackupFileModel.h"
#include "backup/ui/PreviewBackup.h"
#include "backup/ui/PreviewWindow.h"
#include "backup_run/BackupBench.h"
#include "cli/CliRunner.h"

namespace quillet {
namespace {

using test::BackupBench;

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

QWidget* topLevel(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible()) return w;
    return nullptr;
}

QString text(QWidget* window, const char* name) {
    return window->findChild<QLabel*>(name)->text();
}

TEST(PreviewWindow, ListsExactlyWhatQuilletPreviewPrints) {
    BackupBench b("Letters");
    for (int i = 0; i < 25; ++i) b.dir.write("src/year" + std::to_string(i) + "/letter.txt", std::string(i + 1, 'l'));
    b.dir.write("src/Notes.TXT", "notes");
    b.dir.write("src/draft.tmp", "drop me");
    b.component(b.src, "*.*");
    b.component(b.src, "*.tmp", false, true);
    Services services{b.fs, b.dialogs, b.settings, b.clock, b.catalog, b.sounds, b.archive, b.paths};

    QStringList shown, totals;
    QString caption, status, button, folderShown;
    whenever([&] {
        QWidget* w = topLevel("backupPreview");
        if (!w) return false;
        auto* ok = w->findChild<QPushButton*>("actionButton");
        if (ok->text() != "&OK") return false;
        const QAbstractItemModel* model = w->findChild<QTreeView*>("fileList")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            shown << model->index(row, 0).data().toString() + "\t" + model->index(row, 1).data().toString();
        totals << text(w, "totalFiles") << text(w, "totalBytes");
        caption = w->windowTitle();
        status = text(w, "statusLine");
        button = ok->accessibleName();
        folderShown = w->findChild<QLabel*>("folderLine")->isHidden() ? "hidden" : "shown";
        QTest::mouseClick(ok, Qt::LeftButton);
        return true;
    });
    PreviewBackup(services, b.project.SYSID);

    const test::CliResult cli = test::runQuillet(b.dir.file("home"), b.dir.path(), {"preview", "Letters"});
    ASSERT_EQ(cli.status, 0) << cli.err;
    std::vector<std::string> rows = test::lines(cli.out);
    ASSERT_EQ(rows.size(), 26u + 2u);
    QStringList printed;
    std::int64_t bytes = 0;
    for (std::size_t i = 0; i + 2 < rows.size(); ++i) {
        const auto f = test::fields(rows[i]);
        printed << QString::fromStdString(f[0]) + "\t" + groupedNumber(std::stoll(f[1]));
        bytes += std::stoll(f[1]);
    }
    EXPECT_EQ(shown, printed);
    EXPECT_EQ(totals, (QStringList{"26", groupedNumber(bytes)}));
    EXPECT_EQ(caption, "Preview Letters");
    EXPECT_EQ(status, previewtext::Ready);
    EXPECT_EQ(button, "OK");
    EXPECT_EQ(folderShown, "hidden");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

// Presses the button through the event loop once the scan has reached its third folder.
class PressingWindow : public PreviewWindow {
public:
    void setFolderLine(const std::string& folder) override {
        PreviewWindow::setFolderLine(folder);
        if (++folders == 3)
            QTimer::singleShot(0, this,
                               [this] { QTest::mouseClick(findChild<QPushButton*>("actionButton"), Qt::LeftButton); });
    }
    int folders = 0;
};

TEST(PreviewWindow, CancelDuringTheScanReachesItThroughTheEventLoop) {
    BackupBench b;
    for (int i = 0; i < 200; ++i) b.dir.write("src/d" + std::to_string(i) + "/f.txt", "x");
    b.component(b.src, "*.txt");
    b.dialogs.expect("Are you sure that you want to cancel?", answer::Yes);
    PressingWindow window;
    window.setSliceMilliseconds(0);  // one unit per timer turn: the press lands mid-scan on any machine
    PreviewRun run({b.fs, b.dialogs, b.catalog}, b.project, window);
    window.drive(run);
    EXPECT_EQ(run.phase(), PreviewRun::Phase::Closed);
    EXPECT_EQ(run.outcome(), ScanOutcome::Cancelled);
    EXPECT_EQ(window.findChild<QTreeView*>("fileList")->model()->rowCount(), 0);
    EXPECT_LT(window.folders, 200);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(PreviewWindow, AfterAMissingFolderTheCloseBoxAsksFirst) {
    BackupBench b;
    b.component(b.dir.file("missing"), "*.*", false);
    b.dialogs.expect(b.dir.file("missing"));
    b.dialogs.expect("Are you sure that you want to Cancel?", answer::No);
    b.dialogs.expect("Are you sure that you want to Cancel?", answer::Yes);
    PreviewWindow window;
    PreviewRun run({b.fs, b.dialogs, b.catalog}, b.project, window);
    int presses = 0;
    whenever([&] {
        if (run.phase() != PreviewRun::Phase::Stopped) return false;
        EXPECT_EQ(window.findChild<QPushButton*>("actionButton")->text(), "&Cancel");
        ++presses;
        window.reject();  // Esc or the close box
        return run.phase() == PreviewRun::Phase::Closed;
    });
    window.drive(run);
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(run.phase(), PreviewRun::Phase::Closed);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

}  // namespace
}  // namespace quillet
