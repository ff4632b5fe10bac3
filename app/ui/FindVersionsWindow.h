#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "app/ArchiveVersions.h"
#include "catalog/ItemChanges.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace quillet {

// The versions found, one row each: version, item, backup file, date, time, size, CRC.
class VersionListModel : public QAbstractTableModel {
public:
    explicit VersionListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    void setRows(std::vector<VersionRow> rows);
    const std::vector<VersionRow>& rows() const { return rows_; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<VersionRow> rows_;
};

// "Find in All Backups": every version of the files whose names match a mask in the
// archives given (the selected project's), identical versions under one number. The
// chosen version is restored or viewed by the console's own commands.
class FindVersionsWindow : public QDialog {
public:
    struct Actions {
        std::function<void(const VersionRow&)> restore;
        std::function<void(const VersionRow&)> view;
    };
    FindVersionsWindow(std::string dataFolder, std::vector<std::string> archives, Actions actions,
                       std::string manualFolder, QWidget* parent = nullptr);

    // Searches for the mask typed (the "&Find" button).
    void search();
    const std::vector<VersionRow>& rows() const { return model_->rows(); }
    // The version of the current row, if there is one.
    const VersionRow* current() const;

private:
    void updateButtons();

    std::string dataFolder_;
    std::vector<std::string> archives_;
    Actions actions_;
    std::string manualFolder_;
    QLineEdit* pattern_;
    QTreeView* list_;
    VersionListModel* model_;
    QLabel* summary_;
    QPushButton* find_;
    QPushButton* restore_;
    QPushButton* view_;
};

// The items of an item-change list: change, item, size, what changed.
class ChangeListModel : public QAbstractTableModel {
public:
    explicit ChangeListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    void setChanges(const ItemChanges& changes);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        const char* kind;
        const ItemChange* change;
    };
    ItemChanges changes_;
    std::vector<Row> rows_;
};

// "Compare Backups": what was added, removed and changed from the older of two archives
// to the newer.
class CompareWindow : public QDialog {
public:
    CompareWindow(const std::string& dataFolder, const std::string& older, const std::string& newer,
                  std::string manualFolder, QWidget* parent = nullptr);
    const ItemChanges& changes() const { return changes_; }
    // "" when both directories were read; otherwise why not.
    const std::string& problem() const { return problem_; }

private:
    ItemChanges changes_;
    std::string problem_;
    std::string manualFolder_;
};

}  // namespace quillet
