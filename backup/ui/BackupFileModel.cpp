#include "backup/ui/BackupFileModel.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include "framework/Picture.h"

namespace quillet {

namespace {

// A blank square of the icon's size, so names line up before their file is packed.
QIcon blankIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

}  // namespace

QString groupedNumber(std::int64_t value) {
    return QString::fromStdString(formatNumber(value));
}

BackupFileModel::BackupFileModel(QObject* parent) : QAbstractTableModel(parent) {
    waiting_ = blankIcon();
    QStyle* style = QApplication::style();
    packed_ = style->standardIcon(QStyle::SP_DialogApplyButton);
    failed_ = style->standardIcon(QStyle::SP_MessageBoxCritical);
}

void BackupFileModel::setFiles(const BackupFileList* files) {
    beginResetModel();
    files_ = files;
    singleRow_.clear();
    endResetModel();
}

void BackupFileModel::keepCopy() {
    if (!files_ || files_ == &copy_) return;
    copy_ = *files_;
    files_ = &copy_;
}

void BackupFileModel::setSingleRow(const QString& text) {
    beginResetModel();
    files_ = nullptr;
    singleRow_ = text;
    endResetModel();
}

void BackupFileModel::fileChanged(std::size_t index) {
    if (!files_ || index >= files_->size()) return;
    const int row = static_cast<int>(index);
    emit dataChanged(this->index(row, 0), this->index(row, 1));
}

void BackupFileModel::rowsChanged(std::size_t first, std::size_t last) {
    if (!files_ || first > last || first >= files_->size()) return;
    last = std::min(last, files_->size() - 1);
    emit dataChanged(index(static_cast<int>(first), 0), index(static_cast<int>(last), 1));
}

int BackupFileModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    if (files_) return static_cast<int>(files_->size());
    return singleRow_.isEmpty() ? 0 : 1;
}

int BackupFileModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QIcon BackupFileModel::iconFor(std::int32_t state) const {
    return state == 2 ? packed_ : state == 3 ? failed_ : waiting_;
}

QVariant BackupFileModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (!files_) {
        if (role == Qt::DisplayRole && index.column() == 0) return singleRow_;
        return {};
    }
    const BackupFileEntry& f = (*files_)[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return index.column() == 0 ? QString::fromStdString(f.FILENAME) : groupedNumber(f.SIZE);
        case Qt::DecorationRole:
            return index.column() == 0 && showIcons_ ? QVariant(iconFor(f.ICON)) : QVariant();
        case Qt::ToolTipRole:
            // A failed file says why.
            return f.ICON == 3 && !f.REASON.empty() ? QVariant(QString::fromStdString(f.REASON)) : QVariant();
        case Qt::TextAlignmentRole:
            return index.column() == 1 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        case Qt::UserRole:
            return f.ICON;
        default:
            return {};
    }
}

QVariant BackupFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QStringLiteral("File Name") : QStringLiteral("Size");
}

}  // namespace quillet
