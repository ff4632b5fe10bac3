#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "catalog/Records.h"

namespace quillet {

// A project's components as the project form lists them: folder, "=" or "<>", "R" for
// recursion, and the masks on one line; exclude rules in red.
class ComponentListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setComponents(std::vector<Component> components);
    const std::vector<Component>& components() const { return components_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<Component> components_;
};

}  // namespace quillet
