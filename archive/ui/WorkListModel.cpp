#include "archive/ui/WorkListModel.h"

#include <QApplication>
#include <QPixmap>
#include <QStyle>

#include "archive/lspclass.h"
#include "backup/ui/BackupFileModel.h"

namespace quillet {

WorkListModel::WorkListModel(QString heading, QString sizeHeading, QObject* parent)
    : QAbstractTableModel(parent), heading_(std::move(heading)), sizeHeading_(std::move(sizeHeading)) {
    // A blank square of the icon's size, so names line up before their item is done.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    waiting_ = QIcon(blank);
    QStyle* style = QApplication::style();
    good_ = style->standardIcon(QStyle::SP_DialogApplyButton);
    bad_ = style->standardIcon(QStyle::SP_MessageBoxCritical);
}

void WorkListModel::setWork(const WorkList* work) {
    beginResetModel();
    work_ = work;
    endResetModel();
}

void WorkListModel::rowsChanged(std::size_t first, std::size_t last) {
    if (!work_ || work_->empty() || first > last) return;
    last = std::min(last, work_->size() - 1);
    if (first > last) return;
    emit dataChanged(index(static_cast<int>(first), 0), index(static_cast<int>(last), columnCount() - 1));
}

int WorkListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !work_ ? 0 : static_cast<int>(work_->size());
}

int WorkListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : sizeHeading_.isEmpty() ? 1 : 2;
}

QIcon WorkListModel::iconFor(std::int32_t state) const {
    return state == workicon::Good ? good_ : state == workicon::Bad ? bad_ : waiting_;
}

QVariant WorkListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !work_ || index.row() >= static_cast<int>(work_->size())) return {};
    const WorkEntry& e = (*work_)[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return index.column() == 0 ? QString::fromStdString(e.text) : groupedNumber(e.size);
        case Qt::DecorationRole:
            return index.column() == 0 ? QVariant(iconFor(e.icon)) : QVariant();
        case Qt::ToolTipRole:
            // A bad item says why; a long path is shown whole.
            if (e.icon == workicon::Bad) return QString::fromStdString(lspclass::ErrorText(e.status));
            return index.column() == 0 ? QVariant(QString::fromStdString(e.text)) : QVariant();
        case Qt::TextAlignmentRole:
            return index.column() == 1 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        case Qt::UserRole:
            return e.icon;
        default:
            return {};
    }
}

QVariant WorkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? heading_ : sizeHeading_;
}

}  // namespace quillet
