#include "backup/ui/BackupProgressWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "backup/ui/BackupFileModel.h"
#include "framework/ui/RunBars.h"

namespace quillet {

BackupProgressWindow::BackupProgressWindow(QWidget* parent)
    : BackupListWindow("backupProgress", backuptext::WindowTitle, true, parent) {
    itemBar_ = new QProgressBar(this);
    itemBar_->setObjectName("itemBar");
    itemBar_->setAccessibleName("File Progress");
    itemBar_->setRange(0, 100);
    // Showing and hiding the bar for every large file must not move the rest of the window
    // (a new layout redraws all of it).
    QSizePolicy keepRoom = itemBar_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    itemBar_->setSizePolicy(keepRoom);
    itemBar_->setVisible(false);
    overall_ = new QProgressBar(this);
    overall_->setObjectName("overallPercent");
    overall_->setAccessibleName("Overall Progress");
    overall_->setRange(0, 100);
    overall_->setValue(0);
    addBelowList(itemBar_);
    addBelowList(overall_);

    compressed_ = valueLabel("compressedBytes", "Bytes (Compressed)");
    seconds_ = valueLabel("seconds", "Seconds");
    compressedLabel_ = new QLabel("Bytes (Compressed):", this);
    secondsLabel_ = new QLabel("Seconds:", this);
    for (QWidget* w : {static_cast<QWidget*>(compressed_), static_cast<QWidget*>(seconds_),
                       static_cast<QWidget*>(compressedLabel_), static_cast<QWidget*>(secondsLabel_)})
        w->setVisible(false);
    totals_->addWidget(compressedLabel_, 0, 2);
    totals_->addWidget(compressed_, 0, 3);
    totals_->addWidget(secondsLabel_, 1, 2);
    totals_->addWidget(seconds_, 1, 3);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &BackupProgressWindow::onTimer);
    connect(button_, &QPushButton::clicked, this, &BackupProgressWindow::onButton);
    connect(qApp, &QApplication::focusChanged, this, &BackupProgressWindow::onFocusChanged);
}

BackupProgressWindow::~BackupProgressWindow() = default;

void BackupProgressWindow::drive(BackupRun& run) {
    run_ = &run;
    // The run opens once the window is on screen, so the scan shows its folders in it.
    QTimer::singleShot(0, this, [this] {
        if (!run_) return;
        run_->open();
        if (run_ && run_->timerRunning()) timer_->start(0);
    });
    exec();
    timer_->stop();
    keepRows();  // the run and its list go when this returns
    run_ = nullptr;
}

void BackupProgressWindow::onTimer() {
    if (!run_ || stepping_) return;  // a step pumps events; the timer must not re-enter it
    stepping_ = true;
    run_->step();
    stepping_ = false;
    if (!run_) return;
    if (!run_->timerRunning()) {
        timer_->stop();
        flush();
    } else if (run_->phase() == BackupRun::Phase::CountingDown && timer_->interval() != 10) {
        timer_->start(10);  // one hundredth of a second: nothing to pack, only the clock to watch
    }
}

void BackupProgressWindow::onButton() {
    if (!run_) {
        done(0);
        return;
    }
    run_->buttonPressed();
    if (run_ && run_->timerRunning() && !timer_->isActive()) timer_->start(0);
}

void BackupProgressWindow::reject() {
    onButton();
}

void BackupProgressWindow::onFocusChanged(QWidget*, QWidget* now) {
    if (!run_ || !now || now == button_ || !isAncestorOf(now)) return;
    run_->focusMovedElsewhere();
}

void BackupProgressWindow::setProgress(int percent) {
    progress_ = percent;
    scheduleFlush();
}

void BackupProgressWindow::setItemProgress(int percent) {
    itemProgress_ = percent;
    scheduleFlush();
}

void BackupProgressWindow::drawPending() {
    // The bars last: the text set above goes along in their one redraw.
    showRunBars(itemBar_, itemProgress_, overall_, progress_);
}

void BackupProgressWindow::pumpEvents() {
    // Every call: a press during a file must reach the library within that file, which
    // then stops it and asks its own question. Only what is pending now: with a time
    // limit the idle work timer would keep this spinning for the whole limit on every call.
    QCoreApplication::processEvents();
}

void BackupProgressWindow::setStatusAlert(bool alert) {
    statusLine_->setStyleSheet(alert ? QStringLiteral("color: #ff0000;") : QString());
}

void BackupProgressWindow::showResults(double seconds, std::int64_t compressedBytes) {
    flush();
    seconds_->setText(QString::number(seconds, 'f', 2));
    compressed_->setText(groupedNumber(compressedBytes));
    for (QWidget* w : {static_cast<QWidget*>(compressed_), static_cast<QWidget*>(seconds_),
                       static_cast<QWidget*>(compressedLabel_), static_cast<QWidget*>(secondsLabel_)})
        w->setVisible(true);
    button_->setFocus();
}

void BackupProgressWindow::closeWindow() {
    timer_->stop();
    flush();
    done(0);
}

}  // namespace quillet
