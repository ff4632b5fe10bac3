#include "backup/ui/BackupListWindow.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "backup/ui/BackupFileModel.h"

namespace quillet {

namespace {

QString withoutAmpersand(QString text) {
    return text.remove('&');
}

}  // namespace

BackupListWindow::BackupListWindow(const char* objectName, const char* title, bool icons, QWidget* parent)
    : QDialog(parent), pacer_(this, [this] { drawChanges(); }) {
    setObjectName(objectName);
    setWindowTitle(title);
    setModal(true);

    folderLine_ = new QLabel(this);
    folderLine_->setObjectName("folderLine");
    folderLine_->setAccessibleName("Folder");
    folderLine_->setTextFormat(Qt::PlainText);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName("statusLine");
    statusLine_->setAccessibleName("Status");
    statusLine_->setTextFormat(Qt::PlainText);

    model_ = new BackupFileModel(this);
    model_->setShowIcons(icons);
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

    totalFiles_ = valueLabel("totalFiles", "Total Files");
    totalBytes_ = valueLabel("totalBytes", "Total Bytes");
    button_ = new QPushButton(backuptext::CancelButton, this);
    button_->setObjectName("actionButton");
    button_->setAccessibleName(withoutAmpersand(backuptext::CancelButton));
    button_->setDefault(true);

    totals_ = new QGridLayout;
    totals_->addWidget(new QLabel("Total Files:", this), 0, 0);
    totals_->addWidget(totalFiles_, 0, 1);
    totals_->addWidget(new QLabel("Total Bytes:", this), 1, 0);
    totals_->addWidget(totalBytes_, 1, 1);
    totals_->setColumnStretch(4, 1);  // room for two more columns of figures
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(totals_, 1);
    bottom->addWidget(button_, 0, Qt::AlignBottom);

    layout_ = new QVBoxLayout(this);
    layout_->addWidget(folderLine_);
    layout_->addWidget(statusLine_);
    layout_->addWidget(list_, 1);
    layout_->addLayout(bottom);
    resize(640, 460);
}

BackupListWindow::~BackupListWindow() = default;

QLabel* BackupListWindow::valueLabel(const char* name, const char* accessibleName) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setAccessibleName(accessibleName);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(120);
    return label;
}

void BackupListWindow::addBelowList(QWidget* widget) {
    layout_->insertWidget(layout_->count() - 1, widget);
}

void BackupListWindow::keepRows() {
    model_->keepCopy();
}

bool BackupListWindow::event(QEvent* e) {
    return pacer_.handle(e, [&] { return QDialog::event(e); });
}

void BackupListWindow::scheduleFlush() {
    pacer_.request();
}

void BackupListWindow::flush() {
    pacer_.flushNow();
}

void BackupListWindow::drawChanges() {
    if (statusPending_) statusLine_->setText(pendingStatus_);
    if (folderPending_) {
        folderLine_->setText(QFontMetrics(folderLine_->font())
                                 .elidedText(pendingFolder_, Qt::ElideMiddle, std::max(200, folderLine_->width())));
        folderLine_->setToolTip(pendingFolder_);
    }
    statusPending_ = folderPending_ = false;
    if (firstChanged_ != SIZE_MAX) {
        model_->rowsChanged(firstChanged_, lastChanged_);
        firstChanged_ = SIZE_MAX;
        lastChanged_ = 0;
    }
    if (currentRow_ != SIZE_MAX && currentRow_ < static_cast<std::size_t>(model_->rowCount())) {
        const QModelIndex row = model_->index(static_cast<int>(currentRow_), 0);
        list_->setCurrentIndex(row);
        list_->scrollTo(row);
    }
    currentRow_ = SIZE_MAX;
    drawPending();
}

void BackupListWindow::setStatus(const std::string& text) {
    pendingStatus_ = QString::fromStdString(text);
    statusPending_ = true;
    scheduleFlush();
}

void BackupListWindow::setFolderLine(const std::string& folder) {
    pendingFolder_ = QString::fromStdString(folder);
    folderPending_ = true;
    scheduleFlush();
}

void BackupListWindow::setCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void BackupListWindow::hideFolderLine() {
    folderPending_ = false;
    folderLine_->setVisible(false);
}

void BackupListWindow::showFiles(const BackupFileList& files) {
    firstChanged_ = currentRow_ = SIZE_MAX;
    model_->setFiles(&files);
}

void BackupListWindow::showNoFilesRow() {
    firstChanged_ = currentRow_ = SIZE_MAX;
    model_->setSingleRow(backuptext::NoFilesRow);
}

void BackupListWindow::fileChanged(std::size_t index) {
    firstChanged_ = std::min(firstChanged_, index);
    lastChanged_ = std::max(lastChanged_, index);
    currentRow_ = index;
    scheduleFlush();
}

void BackupListWindow::setTotals(std::int64_t files, std::int64_t bytes) {
    totalFiles_->setText(groupedNumber(files));
    totalBytes_->setText(groupedNumber(bytes));
}

void BackupListWindow::setButtonLabel(const std::string& label) {
    // The label changes where the run changes its state: what it showed until then is drawn with it.
    flush();
    button_->setText(QString::fromStdString(label));
    button_->setAccessibleName(withoutAmpersand(QString::fromStdString(label)));
}

}  // namespace quillet
