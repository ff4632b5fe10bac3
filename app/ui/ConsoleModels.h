#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <map>
#include <string>

namespace quillet {

class ConsoleState;

// The console's three lists as models over the console state's own lists: the projects,
// the selected project's archive files and the archive object's item list (LSPQ). A row's
// mark is the entry's mark and nothing else; it shows as the first column's check box.
// The window calls reset() after every change of the state.
class ConsoleModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ConsoleModel(ConsoleState& state, QObject* parent = nullptr)
        : QAbstractTableModel(parent), state_(state) {}
    void reset() {
        beginResetModel();
        endResetModel();
    }

protected:
    ConsoleState& state_;
};

// Projects: name, prefix and, for a project that backs up by itself, its next run.
class ProjectListModel : public ConsoleModel {
    Q_OBJECT
public:
    explicit ProjectListModel(ConsoleState& state, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString nextRunOf(const std::string& prefix) const;
    // The next runs by prefix, read from the timers once per reset of the list.
    mutable std::map<std::string, QString> nextRuns_;
};

class BackupListModel : public ConsoleModel {
    Q_OBJECT
public:
    using ConsoleModel::ConsoleModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void toggleMark(int row);
};

class ContentsModel : public ConsoleModel {
    Q_OBJECT
public:
    using ConsoleModel::ConsoleModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void toggleMark(int row);
};

// Favourites folders are drawn in red, and in pale yellow while selected.
class FavoritesDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static const QColor& red();
    static const QColor& paleYellow();
    // Public so that a test can read the colours a row is drawn with.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// Data role that tells a favourites folder's row.
inline constexpr int FavoritesRole = Qt::UserRole + 1;

}  // namespace quillet
