#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include "archive/ArchiveRuns.h"

namespace quillet {

// A test or restore work list as rows of icon + text (and, for the test, the size), read
// straight from the run's list.
class WorkListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // heading: the first column's title; sizeHeading empty: no size column.
    WorkListModel(QString heading, QString sizeHeading, QObject* parent = nullptr);

    // Shows these entries (nullptr: none); the list must outlive the model's use of it.
    void setWork(const WorkList* work);
    // Rows first..last (from 0) have changed.
    void rowsChanged(std::size_t first, std::size_t last);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The icon of a work-list state: 2 good, 3 bad, anything else not yet done.
    QIcon iconFor(std::int32_t state) const;

private:
    const WorkList* work_ = nullptr;
    QString heading_, sizeHeading_;
    QIcon waiting_, good_, bad_;
};

}  // namespace quillet
