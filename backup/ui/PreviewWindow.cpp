#include "backup/ui/PreviewWindow.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include "backup/ui/BackupFileModel.h"

namespace quillet {

PreviewWindow::PreviewWindow(QWidget* parent)
    : BackupListWindow("backupPreview", previewtext::WindowTitle, false, parent) {
    statusLine_->setText(QString::fromUtf8(scantext::ScanningDirectories.data(),
                                           static_cast<int>(scantext::ScanningDirectories.size())));

    skippedLine_ = new QLabel(this);
    skippedLine_->setObjectName("skippedFolders");
    skippedLine_->setAccessibleName("Folders left out");
    skippedLine_->setTextFormat(Qt::PlainText);
    skippedLine_->setWordWrap(true);
    skippedLine_->setStyleSheet(QStringLiteral("color: #c00000;"));
    skippedLine_->setVisible(false);
    addBelowList(skippedLine_);

    changesLine_ = new QLabel(this);
    changesLine_->setObjectName("changeCounts");
    changesLine_->setAccessibleName("Changes");
    changesLine_->setTextFormat(Qt::PlainText);
    changesLine_->setWordWrap(true);
    changesLine_->setVisible(false);
    addBelowList(changesLine_);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &PreviewWindow::onTimer);
    connect(button_, &QPushButton::clicked, this, &PreviewWindow::onButton);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::drive(PreviewRun& run) {
    run_ = &run;
    // The run opens once the window is on screen, so the scan shows its folders in it.
    QTimer::singleShot(0, this, [this] {
        if (!run_) return;
        run_->open();
        flush();
        if (run_ && run_->timerRunning()) timer_->start(0);
    });
    exec();
    timer_->stop();
    keepRows();  // the run and its list go when this returns
    run_ = nullptr;
}

void PreviewWindow::onTimer() {
    if (!run_ || stepping_) return;  // a question inside a step runs the loop: no re-entry
    stepping_ = true;
    QElapsedTimer slice;
    slice.start();
    do {
        run_->step();
    } while (run_ && run_->timerRunning() && slice.elapsed() < sliceMs_);
    stepping_ = false;
    if (!run_ || !run_->timerRunning()) {
        timer_->stop();
        flush();
        showSkipped();
        showChanges();
    }
}

void PreviewWindow::onButton() {
    if (!run_) {
        done(0);
        return;
    }
    run_->buttonPressed();
}

void PreviewWindow::reject() {
    onButton();
}

void PreviewWindow::showSkipped() {
    if (!run_ || run_->skippedFolders().empty()) return;
    QStringList folders;
    for (const SkippedFolder& f : run_->skippedFolders())
        folders << QString::fromStdString(f.folder + " (" + f.reason + ")");
    const QString head = run_->skippedFolders().size() == 1
                             ? QStringLiteral("1 folder cannot be read and will be left out of the backup: ")
                             : QString::number(run_->skippedFolders().size()) +
                                   QStringLiteral(" folders cannot be read and will be left out of the backup: ");
    const QString all = folders.join(QStringLiteral(", "));
    skippedLine_->setText(head + QFontMetrics(skippedLine_->font()).elidedText(all, Qt::ElideRight, 900));
    skippedLine_->setToolTip(folders.join('\n'));
    skippedLine_->setVisible(true);
}

void PreviewWindow::showChanges() {
    if (!run_ || run_->phase() != PreviewRun::Phase::Listed) return;
    const PreviewChanges& p = run_->changes();
    const ItemChanges& c = p.changes;
    const QString counts = QString("%1 new, %2 changed, %3 vanished")
                               .arg(groupedNumber(static_cast<std::int64_t>(c.added.size())))
                               .arg(groupedNumber(static_cast<std::int64_t>(c.changed.size())))
                               .arg(groupedNumber(static_cast<std::int64_t>(c.removed.size())));
    if (p.newestArchive.empty()) {
        changesLine_->setText("Changes: " + counts + " (there is no backup yet)");
    } else {
        const std::string name = p.newestArchive.substr(p.newestArchive.rfind('/') + 1);
        changesLine_->setText("Changes since " + QString::fromStdString(name) + ": " + counts);
    }
    changesLine_->setVisible(true);
}

void PreviewWindow::closeWindow() {
    timer_->stop();
    flush();
    done(0);
}

}  // namespace quillet
