#include "app/ui/FindVersionsWindow.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "framework/ui/HelpManual.h"

namespace quillet {

namespace {

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

QString fileNameOf(const std::string& path) {
    return qs(path.substr(path.rfind('/') + 1));
}

QPushButton* button(const char* label, const char* name, QWidget* parent) {
    auto* b = new QPushButton(label, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(label).remove('&'));
    return b;
}

QTreeView* listView(const char* name, const char* accessibleName, QAbstractItemModel* model, QWidget* parent) {
    auto* list = new QTreeView(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setModel(model);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setTextElideMode(Qt::ElideMiddle);
    return list;
}

}  // namespace

// ---- VersionListModel ----

void VersionListModel::setRows(std::vector<VersionRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int VersionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int VersionListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 7;
}

QVariant VersionListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const VersionRow& r = rows_[static_cast<std::size_t>(index.row())];
    const IndexedItem& i = r.found.item;
    if (role == Qt::TextAlignmentRole && (index.column() == 0 || index.column() == 5))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == 2) return qs(r.found.archive);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case 0:
            return r.version;
        case 1:
            return qs(i.key());
        case 2:
            return fileNameOf(r.found.archive);
        case 3:
            return qs(isoDateOf(i.mtime));
        case 4:
            return qs(isoTimeOf(i.mtime));
        case 5:
            return QLocale().toString(static_cast<qulonglong>(i.size));
        case 6:
            return qs(crcText(i.crc));
    }
    return {};
}

QVariant VersionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[] = {"Version", "File", "Backup", "Date", "Time", "Size", "CRC"};
    return section >= 0 && section < 7 ? QVariant(names[section]) : QVariant();
}

// ---- FindVersionsWindow ----

FindVersionsWindow::FindVersionsWindow(std::string dataFolder, std::vector<std::string> archives, Actions actions,
                                       std::string manualFolder, QWidget* parent)
    : QDialog(parent),
      dataFolder_(std::move(dataFolder)),
      archives_(std::move(archives)),
      actions_(std::move(actions)),
      manualFolder_(std::move(manualFolder)) {
    setObjectName("findVersions");
    setWindowTitle("Find in All Backups");
    setModal(true);

    auto* label = new QLabel("File &name or mask:", this);
    pattern_ = new QLineEdit(this);
    pattern_->setObjectName("patternEntry");
    pattern_->setAccessibleName("File name or mask");
    label->setBuddy(pattern_);
    find_ = button("&Find", "findButton", this);
    find_->setDefault(true);

    model_ = new VersionListModel(this);
    list_ = listView("versionsList", "Versions", model_, this);
    list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list_->header()->setStretchLastSection(false);
    summary_ = new QLabel(this);
    summary_->setObjectName("foundSummary");
    summary_->setAccessibleName("Found");

    restore_ = button("&Restore...", "restoreButton", this);
    view_ = button("&View", "viewButton", this);
    auto* help = button("&Help", "helpButton", this);
    auto* close = button("&Close", "closeButton", this);

    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(pattern_, 1);
    top->addWidget(find_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(restore_);
    buttons->addWidget(view_);
    buttons->addWidget(help);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(find_, &QPushButton::clicked, this, &FindVersionsWindow::search);
    connect(pattern_, &QLineEdit::returnPressed, this, &FindVersionsWindow::search);
    connect(restore_, &QPushButton::clicked, this, [this] {
        if (const VersionRow* r = current(); r && actions_.restore) actions_.restore(*r);
    });
    connect(view_, &QPushButton::clicked, this, [this] {
        if (const VersionRow* r = current(); r && actions_.view) actions_.view(*r);
    });
    connect(list_, &QTreeView::doubleClicked, this, [this] {
        if (const VersionRow* r = current(); r && actions_.view) actions_.view(*r);
    });
    connect(help, &QPushButton::clicked, this, [this] { (void)HelpManual(manualFolder_).open("find-versions"); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    updateButtons();
}

void FindVersionsWindow::search() {
    const std::string mask = pattern_->text().trimmed().toStdString();
    std::vector<VersionRow> rows;
    QString problem;
    if (!mask.empty()) {
        ArchiveIndex index(dataFolder_);
        auto found = index.find(mask, archives_);
        if (found)
            rows = groupVersions(std::move(*found));
        else
            problem = "The index cannot be used: " + qs(found.error());
    }
    std::size_t items = 0;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (i == 0 || rows[i].found.item.key() != rows[i - 1].found.item.key()) ++items;
    model_->setRows(std::move(rows));
    summary_->setText(!problem.isEmpty() ? problem
                                         : QString("%1 file(s), %2 version(s) in %3 backup(s)")
                                               .arg(items)
                                               .arg(model_->rows().size())
                                               .arg(archives_.size()));
    for (int c = 0; c < model_->columnCount(); ++c)
        if (c != 1) list_->resizeColumnToContents(c);
    if (!model_->rows().empty()) list_->setCurrentIndex(model_->index(0, 0));
    updateButtons();
}

const VersionRow* FindVersionsWindow::current() const {
    const QModelIndex at = list_->currentIndex();
    if (!at.isValid() || at.row() >= static_cast<int>(model_->rows().size())) return nullptr;
    return &model_->rows()[static_cast<std::size_t>(at.row())];
}

void FindVersionsWindow::updateButtons() {
    const bool any = !model_->rows().empty();
    restore_->setEnabled(any);
    view_->setEnabled(any);
}

// ---- ChangeListModel ----

void ChangeListModel::setChanges(const ItemChanges& changes) {
    beginResetModel();
    changes_ = changes;
    rows_.clear();
    for (const ItemChange& c : changes_.added) rows_.push_back({"Added", &c});
    for (const ItemChange& c : changes_.removed) rows_.push_back({"Removed", &c});
    for (const ItemChange& c : changes_.changed) rows_.push_back({"Changed", &c});
    endResetModel();
}

int ChangeListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ChangeListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant ChangeListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const Row& r = rows_[static_cast<std::size_t>(index.row())];
    const bool removed = std::string_view(r.kind) == "Removed";
    const IndexedItem& i = removed ? r.change->before : r.change->after;
    if (role == Qt::TextAlignmentRole && index.column() == 2) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case 0:
            return r.kind;
        case 1:
            return qs(i.key());
        case 2:
            return QLocale().toString(static_cast<qulonglong>(i.size));
        case 3:
            return qs(r.change->reasons());
    }
    return {};
}

QVariant ChangeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[] = {"Change", "File", "Size", "What Changed"};
    return section >= 0 && section < 4 ? QVariant(names[section]) : QVariant();
}

// ---- CompareWindow ----

CompareWindow::CompareWindow(const std::string& dataFolder, const std::string& older, const std::string& newer,
                             std::string manualFolder, QWidget* parent)
    : QDialog(parent), manualFolder_(std::move(manualFolder)) {
    setObjectName("compareBackups");
    setWindowTitle("Compare Backups");
    setModal(true);

    ArchiveIndex index(dataFolder);
    auto itemsOf = [&](const std::string& path) -> std::vector<IndexedItem> {
        auto items = index.update({path}) ? index.items(path) : ArchiveIndex::readItems(path);
        // No items may also be an archive the index could not read: the archive tells.
        if (!items || items->empty()) {
            auto direct = ArchiveIndex::readItems(path);
            if (!direct) {
                problem_ = direct.error();
                return {};
            }
            return std::move(*direct);
        }
        return std::move(*items);
    };
    const std::vector<IndexedItem> before = itemsOf(older), after = itemsOf(newer);
    if (problem_.empty()) changes_ = compareItems(before, after);

    auto* heading = new QLabel("From " + fileNameOf(older) + " (older) to " + fileNameOf(newer) + " (newer)", this);
    heading->setObjectName("compareHeading");
    heading->setAccessibleName("Compared");
    auto* model = new ChangeListModel(this);
    model->setChanges(changes_);
    auto* list = listView("changesList", "Changes", model, this);
    list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list->header()->setStretchLastSection(false);
    for (int c : {0, 2, 3}) list->resizeColumnToContents(c);
    auto* counts = new QLabel(this);
    counts->setObjectName("changeCounts");
    counts->setAccessibleName("Counts");
    counts->setText(problem_.empty() ? QString("Added: %1   Removed: %2   Changed: %3")
                                           .arg(changes_.added.size())
                                           .arg(changes_.removed.size())
                                           .arg(changes_.changed.size())
                                     : "The backups could not be compared: " + qs(problem_));
    auto* help = button("&Help", "helpButton", this);
    auto* close = button("&Close", "closeButton", this);
    close->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(counts, 1);
    bottom->addWidget(help);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(list, 1);
    layout->addLayout(bottom);
    resize(700, 400);
    connect(help, &QPushButton::clicked, this, [this] { (void)HelpManual(manualFolder_).open("compare-backups"); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quillet
