#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <string>
#include <vector>

#include "framework/Services.h"
#include "maintenance/HousekeepingRules.h"

class QLineEdit;
class QTableView;

namespace quillet {

// The favourites folders as the list of "Copy File to New Destination" shows them:
// "Destination" (the folder and the file name) and "Favorite Folder" (its name).
class FavoriteTargetModel : public QAbstractTableModel {
public:
    explicit FavoriteTargetModel(std::vector<FavoriteTarget> rows, QObject* parent = nullptr)
        : QAbstractTableModel(parent), rows_(std::move(rows)) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const std::vector<FavoriteTarget>& rows() const { return rows_; }

private:
    std::vector<FavoriteTarget> rows_;
};

// "Copy File to New Destination": copies folder + fileName to the file named in
// "&New Filename:" ("newFilenameEntry"), filled by choosing a row of the favourites list
// ("favoritesList") or through "..." ("browseButton", the file-save dialog). "&OK"
// ("okButton") asks before replacing an existing file and stays open after No or a
// failed copy; "&Cancel" ("cancelButton"), "&Help" ("helpButton").
class CopyToFavoritesWindow : public QDialog {
    Q_OBJECT
public:
    CopyToFavoritesWindow(const Services& services, const std::string& folder, const std::string& fileName,
                          QWidget* parent = nullptr);

    QLineEdit* entry() const { return entry_; }
    QTableView* list() const { return list_; }
    void browse();
    void accept() override;

private:
    void chooseRow(const QModelIndex& index);

    Services services_;
    std::string sourceFolder_;
    std::string source_;
    QLineEdit* entry_ = nullptr;
    QTableView* list_ = nullptr;
    FavoriteTargetModel* model_ = nullptr;
};

}  // namespace quillet
