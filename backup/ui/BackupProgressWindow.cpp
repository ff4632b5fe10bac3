#include "backup/ui/BackupProgressWindow.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "backup/ui/BackupFileModel.h"

namespace quillet {

namespace {

QLabel* valueLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(120);
    return label;
}

}  // namespace

BackupProgressWindow::BackupProgressWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("backupProgress");
    setWindowTitle(backuptext::WindowTitle);
    setModal(true);

    folderLine_ = new QLabel(this);
    folderLine_->setObjectName("folderLine");
    folderLine_->setTextFormat(Qt::PlainText);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName("statusLine");
    statusLine_->setTextFormat(Qt::PlainText);

    model_ = new BackupFileModel(this);
    list_ = new QTreeView(this);
    list_->setObjectName("fileList");
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);  // keeps long lists cheap to scroll
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    list_->header()->resizeSection(1, QFontMetrics(font()).horizontalAdvance("00,000,000,000") + 12);

    itemBar_ = new QProgressBar(this);
    itemBar_->setObjectName("itemBar");
    itemBar_->setRange(0, 100);
    itemBar_->setVisible(false);
    overall_ = new QProgressBar(this);
    overall_->setObjectName("overallPercent");
    overall_->setRange(0, 100);
    overall_->setValue(0);

    totalFiles_ = valueLabel("totalFiles", this);
    totalBytes_ = valueLabel("totalBytes", this);
    compressed_ = valueLabel("compressedBytes", this);
    seconds_ = valueLabel("seconds", this);
    compressedLabel_ = new QLabel("Bytes (Compressed):", this);
    secondsLabel_ = new QLabel("Seconds:", this);
    for (QWidget* w : {static_cast<QWidget*>(compressed_), static_cast<QWidget*>(seconds_),
                       static_cast<QWidget*>(compressedLabel_), static_cast<QWidget*>(secondsLabel_)})
        w->setVisible(false);

    button_ = new QPushButton(backuptext::CancelButton, this);
    button_->setObjectName("actionButton");
    button_->setDefault(true);

    auto* totals = new QGridLayout;
    totals->addWidget(new QLabel("Total Files:", this), 0, 0);
    totals->addWidget(totalFiles_, 0, 1);
    totals->addWidget(new QLabel("Total Bytes:", this), 1, 0);
    totals->addWidget(totalBytes_, 1, 1);
    totals->addWidget(compressedLabel_, 0, 2);
    totals->addWidget(compressed_, 0, 3);
    totals->addWidget(secondsLabel_, 1, 2);
    totals->addWidget(seconds_, 1, 3);
    totals->setColumnStretch(4, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(totals, 1);
    bottom->addWidget(button_, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderLine_);
    layout->addWidget(statusLine_);
    layout->addWidget(list_, 1);
    layout->addWidget(itemBar_);
    layout->addWidget(overall_);
    layout->addLayout(bottom);
    resize(640, 460);

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
        if (run_->timerRunning()) timer_->start(0);
    });
    exec();
    timer_->stop();
    model_->keepCopy();  // the run and its list go when this returns
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

void BackupProgressWindow::setStatus(const std::string& text) {
    statusLine_->setText(QString::fromStdString(text));
}

void BackupProgressWindow::setProgress(int percent) {
    overall_->setValue(percent);
    overall_->setFormat(QString::number(percent) + "%");
}

void BackupProgressWindow::setItemProgress(int percent) {
    if (percent < 0) {
        itemBar_->setVisible(false);
        return;
    }
    itemBar_->setValue(std::min(percent, 100));
    itemBar_->setVisible(true);
}

void BackupProgressWindow::pumpEvents() {
    // Only what is pending now: with a time limit the idle work timer would keep this
    // spinning for the whole limit on every call.
    QCoreApplication::processEvents();
}

void BackupProgressWindow::setFolderLine(const std::string& folder) {
    const QString text = QString::fromStdString(folder);
    folderLine_->setText(
        QFontMetrics(folderLine_->font()).elidedText(text, Qt::ElideMiddle, std::max(200, folderLine_->width())));
    folderLine_->setToolTip(text);
}

void BackupProgressWindow::setCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void BackupProgressWindow::hideFolderLine() {
    folderLine_->setVisible(false);
}

void BackupProgressWindow::showFiles(const BackupFileList& files) {
    model_->setFiles(&files);
}

void BackupProgressWindow::showNoFilesRow() {
    model_->setSingleRow(backuptext::NoFilesRow);
}

void BackupProgressWindow::fileChanged(std::size_t index) {
    model_->fileChanged(index);
    const QModelIndex row = model_->index(static_cast<int>(index), 0);
    list_->setCurrentIndex(row);
    list_->scrollTo(row);
}

void BackupProgressWindow::setTotals(std::int64_t files, std::int64_t bytes) {
    totalFiles_->setText(groupedNumber(files));
    totalBytes_->setText(groupedNumber(bytes));
}

void BackupProgressWindow::setButtonLabel(const std::string& label) {
    button_->setText(QString::fromStdString(label));
}

void BackupProgressWindow::setStatusAlert(bool alert) {
    statusLine_->setStyleSheet(alert ? QStringLiteral("color: #ff0000;") : QString());
}

void BackupProgressWindow::showResults(double seconds, std::int64_t compressedBytes) {
    seconds_->setText(QString::number(seconds, 'f', 2));
    compressed_->setText(groupedNumber(compressedBytes));
    for (QWidget* w : {static_cast<QWidget*>(compressed_), static_cast<QWidget*>(seconds_),
                       static_cast<QWidget*>(compressedLabel_), static_cast<QWidget*>(secondsLabel_)})
        w->setVisible(true);
    button_->setFocus();
}

void BackupProgressWindow::closeWindow() {
    timer_->stop();
    done(0);
}

}  // namespace quillet
