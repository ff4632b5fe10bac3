#include "maintenance/ui/ComponentListModel.h"

#include <QColor>

namespace quillet {

namespace {
enum Column { PathColumn, RuleColumn, RecurseColumn, MaskColumn, ColumnCount };
}

void ComponentListModel::setComponents(std::vector<Component> components) {
    beginResetModel();
    components_ = std::move(components);
    endResetModel();
}

int ComponentListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(components_.size());
}

int ComponentListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ComponentListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Component& c = components_[static_cast<std::size_t>(index.row())];
    if (role == Qt::ForegroundRole) return c.EXCLUDE == 1 ? QVariant(QColor(Qt::red)) : QVariant();
    if (role == Qt::TextAlignmentRole && (index.column() == RuleColumn || index.column() == RecurseColumn))
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole) return {};
    switch (index.column()) {
        case PathColumn:
            return QString::fromStdString(c.PATH);
        case RuleColumn:
            if (role == Qt::AccessibleTextRole) return c.EXCLUDE == 1 ? "exclude" : "include";
            return c.EXCLUDE == 1 ? "<>" : "=";
        case RecurseColumn:
            if (role == Qt::AccessibleTextRole) return c.RECURSE == 1 ? "recurse" : "";
            return c.RECURSE == 1 ? "R" : "";
        case MaskColumn: {
            // Line breaks typed into the mask text show as spaces on the one line.
            QString mask = QString::fromStdString(c.MASK);
            mask.replace('\r', ' ').replace('\n', ' ');
            return mask;
        }
    }
    return {};
}

QVariant ComponentListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        if (section == PathColumn) return "Path";
        if (section == MaskColumn) return "Mask";
        return QString();
    }
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        if (section == RuleColumn) return "Include or exclude";
        if (section == RecurseColumn) return "Recurse";
    }
    return {};
}

}  // namespace quillet
