#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include "backup/BackupFileList.h"

namespace quillet {

// The run's file list as rows of icon + name and size, read straight from the list the
// run keeps, so a hundred thousand files cost no copies.
class BackupFileModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BackupFileModel(QObject* parent = nullptr);

    // Shows these files (nullptr: none); the list must outlive the model's use of it.
    void setFiles(const BackupFileList* files);
    // The run that owns the list ends: the rows stay on show from a copy.
    void keepCopy();
    // One row with this text and no size.
    void setSingleRow(const QString& text);
    void fileChanged(std::size_t index);
    // Rows first..last (from 0) have new icons: one redraw for all of them.
    void rowsChanged(std::size_t first, std::size_t last);
    // The preview lists names and sizes only: no state icon in front of the name.
    void setShowIcons(bool show) { showIcons_ = show; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The icon of a list state: 2 packed, 3 failed, anything else not yet packed.
    QIcon iconFor(std::int32_t state) const;

private:
    const BackupFileList* files_ = nullptr;
    BackupFileList copy_;
    QString singleRow_;
    bool showIcons_ = true;
    QIcon waiting_, packed_, failed_;
};

// "12,345,678" (formatNumber) for the window's labels and list.
QString groupedNumber(std::int64_t value);

}  // namespace quillet
