#include "app/ui/ConsoleModels.h"

#include <QColor>

#include "app/ConsoleState.h"
#include "framework/Picture.h"
#include "maintenance/Schedule.h"

#include <ctime>

namespace quillet {

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QVariant checkState(std::uint8_t mark) {
    return mark ? Qt::Checked : Qt::Unchecked;
}

bool markFrom(const QVariant& value) {
    return value.toInt() == Qt::Checked;
}

}  // namespace

// ---- projects ----

ProjectListModel::ProjectListModel(ConsoleState& state, QObject* parent) : ConsoleModel(state, parent) {
    connect(this, &QAbstractItemModel::modelReset, this, [this] { nextRuns_.clear(); });
}

QString ProjectListModel::nextRunOf(const std::string& prefix) const {
    auto known = nextRuns_.find(prefix);
    if (known != nextRuns_.end()) return known->second;
    QString text;
    if (const auto rule = Scheduler::forThisUser().read(prefix))
        if (const auto next = nextRun(*rule, std::time(nullptr))) text = QString::fromStdString(runTimeText(*next));
    return nextRuns_[prefix] = text;
}

int ProjectListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(state_.projects().size());
}

int ProjectListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant ProjectListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Project& p = state_.projects()[index.row()];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (index.column() == 2) return p.FAVORITES == 1 ? QString() : nextRunOf(p.PREFIX);
        return index.column() == 0 ? text(p.NAME) : text(p.PREFIX);
    }
    if (role == FavoritesRole) return p.FAVORITES == 1;
    if (role == Qt::ForegroundRole && p.FAVORITES == 1) return FavoritesDelegate::red();
    return {};
}

QVariant ProjectListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == 2) return QStringLiteral("Next Backup");
    return section == 0 ? QStringLiteral("Project Name") : QStringLiteral("Prefix");
}

// ---- archive files ----

int BackupListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(state_.backups().list.size());
}

int BackupListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant BackupListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const DirEntry& e = state_.backups().list[index.row()];
    if (role == Qt::CheckStateRole && index.column() == 0) return checkState(state_.backupMarks()[index.row()]);
    if (role == Qt::TextAlignmentRole && index.column() == 1) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case 0:
            return text(e.name);
        case 1:
            return text(formatDate(e.date));
        case 2:
            return text(formatTime(e.time));
        default:
            return text(formatNumber(e.size));
    }
}

bool BackupListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 || index.row() >= rowCount()) return false;
    state_.setBackupMark(index.row(), markFrom(value));
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

void BackupListModel::toggleMark(int row) {
    if (row < 0 || row >= rowCount()) return;
    setData(index(row, 0), state_.backupMarks()[row] ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

Qt::ItemFlags BackupListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant BackupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* names[] = {"File Name", "Date", "Time", "Size"};
    return section >= 0 && section < 4 ? QString::fromLatin1(names[section]) : QVariant();
}

// ---- archive contents ----

int ContentsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(state_.items().size());
}

int ContentsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 11;
}

QVariant ContentsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const LSPQEntry& e = state_.items()[index.row()];
    if (role == Qt::CheckStateRole && index.column() == 0) return checkState(e.MARK);
    if (role == Qt::TextAlignmentRole && index.column() >= 3 && index.column() <= 7)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case 0:
            return text(e.ITEM_PATH_NAME);
        case 1:
            return text(e.FILENAME);
        case 2:
            return text(e.EXTENSION);
        case 3:
            return text(formatDate(e.LAST_MOD_FILE_DATE));
        case 4:
            return text(formatTime(e.LAST_MOD_FILE_TIME));
        case 5:
            return text(formatNumber(e.UNCOMPRESSED_SIZE));
        case 6:
            return text(formatRatio(e.RATIO));
        case 7:
            return text(formatNumber(e.COMPRESSED_SIZE));
        case 8:
            return text(e.GENERAL_PURPOSE_BIT_FLAG);
        case 9:
            return text(e.COMPRESSION_METHOD);
        default:
            return text(e.CRC32);
    }
}

bool ContentsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 || index.row() >= rowCount()) return false;
    state_.items()[index.row()].MARK = markFrom(value) ? 1 : 0;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

void ContentsModel::toggleMark(int row) {
    if (row < 0 || row >= rowCount()) return;
    setData(index(row, 0), state_.items()[row].MARK ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

Qt::ItemFlags ContentsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ContentsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* names[] = {"Path Name", "Filename", "Type",  "Date",   "Time", "Size",
                                  "Ratio",     "Packed",   "Attrb", "Method", "CRC32"};
    return section >= 0 && section < 11 ? QString::fromLatin1(names[section]) : QVariant();
}

// ---- colours ----

const QColor& FavoritesDelegate::red() {
    static const QColor c(255, 0, 0);
    return c;
}

const QColor& FavoritesDelegate::paleYellow() {
    static const QColor c(255, 255, 128);
    return c;
}

void FavoritesDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!index.data(FavoritesRole).toBool()) return;
    option->palette.setColor(QPalette::Text, red());
    option->palette.setColor(QPalette::HighlightedText, paleYellow());
}

}  // namespace quillet
