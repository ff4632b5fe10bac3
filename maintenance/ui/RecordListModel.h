#pragma once

#include <QAbstractTableModel>
#include <functional>

namespace quillet {

// A one-column list over a std::vector the window keeps (masks, themes). With marks, the
// column carries a check box that a click or Space toggles; the mark itself lives in the
// caller's entry, read and written through the two functions.
class RecordListModel : public QAbstractTableModel {
public:
    struct Source {
        std::function<int()> count;
        std::function<QString(int)> text;
        std::function<bool(int)> marked;  // empty: no marks
        std::function<void(int, bool)> setMarked;
    };

    RecordListModel(QString header, Source source, QObject* parent = nullptr);

    // The vector changed: every row is read again.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString header_;
    Source source_;
};

}  // namespace quillet
