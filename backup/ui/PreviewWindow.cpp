#include "backup/ui/PreviewWindow.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "backup/ui/BackupFileModel.h"

namespace quillet {

namespace {

// Redraws of the folder and status lines while scanning: about 30 a second.
constexpr qint64 kRedrawMs = 33;

QLabel* valueLabel(const char* name, const char* accessibleName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAccessibleName(accessibleName);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(120);
    return label;
}

QString withoutAmpersand(QString text) {
    return text.remove('&');
}

}  // namespace

PreviewWindow::PreviewWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("backupPreview");
    setWindowTitle(previewtext::WindowTitle);
    setModal(true);

    folderLine_ = new QLabel(this);
    folderLine_->setObjectName("folderLine");
    folderLine_->setAccessibleName("Folder");
    folderLine_->setTextFormat(Qt::PlainText);
    statusLine_ = new QLabel(
        QString::fromUtf8(scantext::ScanningDirectories.data(), static_cast<int>(scantext::ScanningDirectories.size())),
        this);
    statusLine_->setObjectName("statusLine");
    statusLine_->setAccessibleName("Status");
    statusLine_->setTextFormat(Qt::PlainText);

    model_ = new BackupFileModel(this);
    model_->setShowIcons(false);
    list_ = new QTreeView(this);
    list_->setObjectName("fileList");
    list_->setAccessibleName("File Name");
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);  // keeps long lists cheap to scroll
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    list_->header()->resizeSection(1, QFontMetrics(font()).horizontalAdvance("00,000,000,000") + 12);

    totalFiles_ = valueLabel("totalFiles", "Total Files", this);
    totalBytes_ = valueLabel("totalBytes", "Total Bytes", this);
    skippedLine_ = new QLabel(this);
    skippedLine_->setObjectName("skippedFolders");
    skippedLine_->setAccessibleName("Folders left out");
    skippedLine_->setTextFormat(Qt::PlainText);
    skippedLine_->setWordWrap(true);
    skippedLine_->setStyleSheet(QStringLiteral("color: #c00000;"));
    skippedLine_->setVisible(false);

    changesLine_ = new QLabel(this);
    changesLine_->setObjectName("changeCounts");
    changesLine_->setAccessibleName("Changes");
    changesLine_->setTextFormat(Qt::PlainText);
    changesLine_->setWordWrap(true);
    changesLine_->setVisible(false);

    button_ = new QPushButton(backuptext::CancelButton, this);
    button_->setObjectName("actionButton");
    button_->setAccessibleName(withoutAmpersand(backuptext::CancelButton));
    button_->setDefault(true);

    auto* totals = new QGridLayout;
    auto* filesLabel = new QLabel("Total Files:", this);
    auto* bytesLabel = new QLabel("Total Bytes:", this);
    totals->addWidget(filesLabel, 0, 0);
    totals->addWidget(totalFiles_, 0, 1);
    totals->addWidget(bytesLabel, 1, 0);
    totals->addWidget(totalBytes_, 1, 1);
    totals->setColumnStretch(2, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(totals, 1);
    bottom->addWidget(button_, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderLine_);
    layout->addWidget(statusLine_);
    layout->addWidget(list_, 1);
    layout->addWidget(skippedLine_);
    layout->addWidget(changesLine_);
    layout->addLayout(bottom);
    resize(640, 460);

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
        sinceShown_.start();
        run_->open();
        showPending(true);
        if (run_ && run_->timerRunning()) timer_->start(0);
    });
    exec();
    timer_->stop();
    model_->keepCopy();  // the run and its list go when this returns
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
    const bool scanning = run_ && run_->timerRunning();
    showPending(!scanning);
    if (!scanning) {
        timer_->stop();
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

void PreviewWindow::showPending(bool now) {
    if (!now && sinceShown_.isValid() && sinceShown_.elapsed() < kRedrawMs) return;
    sinceShown_.start();
    if (statusPending_) statusLine_->setText(pendingStatus_);
    if (folderPending_) {
        folderLine_->setText(QFontMetrics(folderLine_->font())
                                 .elidedText(pendingFolder_, Qt::ElideMiddle, std::max(200, folderLine_->width())));
        folderLine_->setToolTip(pendingFolder_);
    }
    statusPending_ = folderPending_ = false;
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

void PreviewWindow::setStatus(const std::string& text) {
    pendingStatus_ = QString::fromStdString(text);
    statusPending_ = true;
    if (!run_ || !run_->timerRunning()) showPending(true);
}

void PreviewWindow::setFolderLine(const std::string& folder) {
    pendingFolder_ = QString::fromStdString(folder);
    folderPending_ = true;
}

void PreviewWindow::setCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void PreviewWindow::hideFolderLine() {
    folderPending_ = false;
    folderLine_->setVisible(false);
}

void PreviewWindow::showFiles(const BackupFileList& files) {
    model_->setFiles(&files);
}

void PreviewWindow::showNoFilesRow() {
    model_->setSingleRow(backuptext::NoFilesRow);
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

void PreviewWindow::setTotals(std::int64_t files, std::int64_t bytes) {
    totalFiles_->setText(groupedNumber(files));
    totalBytes_->setText(groupedNumber(bytes));
}

void PreviewWindow::setButtonLabel(const std::string& label) {
    button_->setText(QString::fromStdString(label));
    button_->setAccessibleName(withoutAmpersand(QString::fromStdString(label)));
}

void PreviewWindow::closeWindow() {
    timer_->stop();
    done(0);
}

}  // namespace quillet
