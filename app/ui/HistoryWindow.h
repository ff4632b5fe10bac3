#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/records/RunHistory.h"

class QLabel;
class QPlainTextEdit;
class QTableView;

namespace quillet {

struct Services;

// The runs of the history as a list, newest first.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Started, Duration, Kind, Outcome, Files, Bytes, Failed, FinalStatus, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;
    void setRuns(std::vector<HistoryRun> runs);
    const std::vector<HistoryRun>& runs() const { return runs_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<HistoryRun> runs_;
};

// The "History" window of one project: its backup, test and restore runs and the failed
// files of the run selected. Built without exec() it can be driven by tests.
class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    HistoryWindow(const Services& services, std::int32_t sysId, const std::string& projectName,
                  QWidget* parent = nullptr);

    // Reads the history again.
    void reload();
    const HistoryModel& model() const { return model_; }

private:
    void showFailed(int row);

    const Services& services_;
    std::int32_t sysId_;
    HistoryModel model_;
    QLabel* summary_ = nullptr;
    QTableView* list_ = nullptr;
    QPlainTextEdit* failed_ = nullptr;
};

// Opens the History window of the project and waits until it is closed.
void ShowHistory(const Services& services, std::int32_t sysId, const std::string& projectName,
                 QWidget* parent = nullptr);

}  // namespace quillet
