#include "maintenance/ui/CopyToFavorites.h"

#include <sys/stat.h>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

#include "framework/Dialogs.h"
#include "framework/ui/Controls.h"
#include "framework/ui/HelpManual.h"
#include "maintenance/ui/CopyToFavoritesWindow.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {
constexpr int EntryWidth = 200;
constexpr const char* BrowseTitle = "Choose New Destination for File";
constexpr const char* BrowseFilter = "LSP Files|*.LSP|All Files|*.*";
}  // namespace

int FavoriteTargetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FavoriteTargetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant FavoriteTargetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const FavoriteTarget& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return QString::fromStdString(index.column() == 0 ? row.destination : row.name);
    return {};
}

QVariant FavoriteTargetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QStringLiteral("Destination") : QStringLiteral("Favorite Folder");
}

CopyToFavoritesWindow::CopyToFavoritesWindow(const Services& services, const std::string& folder,
                                             const std::string& fileName, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName("copyToFavoritesWindow");
    setWindowTitle("Copy File to New Destination");
    source_ = JoinPath(trimRight(folder), trimRight(fileName));
    sourceFolder_ = folderOfFile(source_);

    auto* label = new QLabel("&New Filename:", this);
    entry_ = new QLineEdit(this);
    nameControl(entry_, "newFilenameEntry", label->text());
    entry_->setMaxLength(EntryWidth);
    entry_->setToolTip("Enter the destination for this file");
    entry_->setMinimumWidth(360);
    label->setBuddy(entry_);
    auto* browseButton = makeButton(this, "...", "browseButton");
    browseButton->setToolTip(BrowseTitle);
    browseButton->setMaximumWidth(browseButton->fontMetrics().horizontalAdvance("...") * 4);
    connect(browseButton, &QPushButton::clicked, this, &CopyToFavoritesWindow::browse);

    std::vector<FavoriteTarget> rows;
    if (Result<std::vector<FavoriteTarget>> targets =
            FavoriteTargets(services_.catalog, std::string(trimRight(fileName))))
        rows = std::move(*targets);
    else
        services_.dialogs.message(targets.error(), "Error", Icon::Exclamation);
    model_ = new FavoriteTargetModel(std::move(rows), this);
    list_ = new QTableView(this);
    nameControl(list_, "favoritesList", "Favorite Folders");
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setTabKeyNavigation(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setColumnWidth(0, list_->fontMetrics().averageCharWidth() * 60);
    list_->setMinimumHeight(160);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { chooseRow(current); });
    connect(list_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        chooseRow(index);
        accept();
    });

    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(label);
    entryRow->addWidget(entry_, 1);
    entryRow->addWidget(browseButton);
    auto* buttons = okCancelHelpRow(this, services_.paths.manualFolder, "copy-to-favorites");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entryRow);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(560, 300);
    entry_->setFocus();
}

void CopyToFavoritesWindow::chooseRow(const QModelIndex& index) {
    if (!index.isValid()) return;
    entry_->setText(QString::fromStdString(model_->rows()[static_cast<std::size_t>(index.row())].destination));
}

void CopyToFavoritesWindow::browse() {
    const std::string typed(trimRight(entry_->text().toStdString()));
    const std::string start = typed.empty() ? sourceFolder_ : typed;
    if (std::optional<std::string> chosen = services_.dialogs.saveFile(BrowseTitle, start, BrowseFilter))
        entry_->setText(QString::fromStdString(WithLspExtension(*chosen)));
    entry_->setFocus();
}

void CopyToFavoritesWindow::accept() {
    const std::string target = CopyTargetPath(entry_->text().toStdString(), sourceFolder_);
    if (target.empty()) {
        services_.dialogs.beep();
        entry_->setFocus();
        return;
    }
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0 &&
        services_.dialogs.message("This file already exists. Would you like to overwrite it?", "File Exists",
                                  Icon::Exclamation, buttons::YesNo, answer::No) != answer::Yes) {
        entry_->setFocus();
        return;
    }
    if (!CopyArchiveFile(services_.dialogs, source_, target)) {
        entry_->setFocus();
        return;
    }
    QDialog::accept();
}

void CopyToFavorites(const Services& services, const std::string& folder, const std::string& fileName,
                     QWidget* parent) {
    CopyToFavoritesWindow window(services, folder, fileName, parent);
    window.exec();
}

}  // namespace quillet
