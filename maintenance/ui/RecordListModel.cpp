#include "maintenance/ui/RecordListModel.h"

namespace quillet {

RecordListModel::RecordListModel(QString header, Source source, QObject* parent)
    : QAbstractTableModel(parent), header_(std::move(header)), source_(std::move(source)) {}

void RecordListModel::refresh() {
    beginResetModel();
    endResetModel();
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : source_.count();
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= source_.count()) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return source_.text(index.row());
    if (role == Qt::CheckStateRole && source_.marked) return source_.marked(index.row()) ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool RecordListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || !source_.setMarked) return false;
    source_.setMarked(index.row(), value.toInt() == Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && source_.setMarked) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole) return header_;
    return {};
}

}  // namespace quillet
