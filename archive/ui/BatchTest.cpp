#include "archive/ui/BatchTest.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "archive/lspclass.h"
#include "archive/ui/TestWindow.h"
#include "framework/ui/HelpManual.h"
#include "platform/Paths.h"

namespace quillet {

TestWindow::TestWindow(const Services& services, const std::string& projectName, QWidget* parent)
    : ArchiveRunWindow("File Name", "Size", parent),
      services_(services),
      run_({services.fs, services.dialogs, services.settings, services.sounds, services.archive}, *this) {
    run_.recordIn(historyTarget(services.catalog, projectName, services.archive.ARCHIVE_NAME, services.paths.dataFolder,
                                services.clock));
    setObjectName("testBackup");
    setWindowTitle(QString::fromStdString(
        archivetext::TestTitle + projectAndArchive(services.catalog, projectName, services.archive.ARCHIVE_NAME)));
    statusLine_->setVisible(false);  // until the end

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusLine_, 1);
    bottom->addWidget(button_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(overall_);
    layout->addWidget(itemBar_);
    layout->addLayout(bottom);
    resize(560, 400);

    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this,
            [this] { HelpManual(services_.paths.manualFolder).open("test-backup"); });
}

void TestWindow::open() {
    run_.open();
    if (run_.timerRunning()) startTimer0();
}

void TestWindow::execRun() {
    QTimer::singleShot(0, this, [this] { open(); });
    exec();
}

void BatchTest(const Services& services, QWidget* parent, const std::string& projectName) {
    TestWindow window(services, projectName, parent);
    window.execRun();
}

}  // namespace quillet
