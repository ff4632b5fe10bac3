#include "app/ui/HistoryWindow.h"

#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/RunStatus.h"
#include "framework/Picture.h"
#include "framework/Services.h"
#include "framework/ui/HelpManual.h"
#include "platform/Paths.h"

namespace quillet {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString moment(DateTime t) {
    return qs(formatDate(t.date) + " " + formatTime(t.time));
}

// "0:42", "12:05", "1:02:03": how long the run took, to the second.
QString duration(DateTime from, DateTime to) {
    const std::int64_t seconds =
        std::max<std::int64_t>(0, ((std::int64_t{to.date} - from.date) * 8'640'000 + (to.time - from.time)) / 100);
    const std::int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString ms = QStringLiteral("%1:%2").arg(m, h ? 2 : 1, 10, QChar('0')).arg(s, 2, 10, QChar('0'));
    return h ? QStringLiteral("%1:%2").arg(h).arg(ms) : ms;
}

template <class W>
W* named(W* widget, const char* objectName, const QString& label) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(QString(label).remove('&'));
    return widget;
}

}  // namespace

void HistoryModel::setRuns(std::vector<HistoryRun> runs) {
    beginResetModel();
    runs_ = std::move(runs);
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(runs_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const HistoryRun& r = runs_[static_cast<std::size_t>(index.row())];
    if (role == Qt::TextAlignmentRole &&
        (index.column() == Files || index.column() == Bytes || index.column() == Failed))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && index.column() == Outcome && !r.succeeded) return QColor(Qt::red);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    switch (index.column()) {
        case Started:
            return moment(r.started);
        case Duration:
            return duration(r.started, r.ended);
        case Kind:
            return r.kind == runkind::Backup ? QStringLiteral("Backup")
                   : r.kind == runkind::Test ? QStringLiteral("Test")
                                             : QStringLiteral("Restore");
        case Outcome:
            return r.succeeded ? QStringLiteral("Good") : QStringLiteral("FAILED");
        case Files:
            return qs(formatNumber(r.files));
        case Bytes:
            return qs(formatNumber(r.bytes));
        case Failed:
            return qs(formatNumber(r.failedCount));
        case FinalStatus:
            return qs(r.result);
        default:
            return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[] = {"Started", "Took", "Run", "Result", "Files", "Bytes", "Failed", "Status"};
    return section >= 0 && section < ColumnCount ? QString(titles[section]) : QVariant();
}

HistoryWindow::HistoryWindow(const Services& services, std::int32_t sysId, const std::string& projectName,
                             QWidget* parent)
    : QDialog(parent), services_(services), sysId_(sysId), model_(this) {
    setObjectName("historyWindow");
    setWindowTitle(qs("History: " + projectName));
    auto* layout = new QVBoxLayout(this);

    auto* listLabel = new QLabel("&Runs (newest first):", this);
    layout->addWidget(listLabel);
    list_ = named(new QTableView(this), "historyList", "Runs (newest first):");
    list_->setModel(&model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setAlternatingRowColors(true);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setWordWrap(false);
    listLabel->setBuddy(list_);
    layout->addWidget(list_, 3);

    summary_ = named(new QLabel(this), "historySummary", "Summary");
    layout->addWidget(summary_);

    auto* failedLabel = new QLabel("&Details of the selected run:", this);
    layout->addWidget(failedLabel);
    failed_ = named(new QPlainTextEdit(this), "runDetails", "Details of the selected run:");
    failed_->setReadOnly(true);
    failed_->setLineWrapMode(QPlainTextEdit::NoWrap);
    failedLabel->setBuddy(failed_);
    layout->addWidget(failed_, 1);

    auto* buttons = new QHBoxLayout;
    auto* refresh = named(new QPushButton("R&efresh", this), "refreshButton", "R&efresh");
    auto* help = named(new QPushButton("&Help", this), "helpButton", "&Help");
    auto* close = named(new QPushButton("&Close", this), "closeButton", "&Close");
    close->setDefault(true);
    buttons->addWidget(refresh);
    buttons->addStretch();
    buttons->addWidget(help);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(refresh, &QPushButton::clicked, this, &HistoryWindow::reload);
    connect(help, &QPushButton::clicked, this,
            [this] { (void)HelpManual(services_.paths.manualFolder).open("history"); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) { showFailed(now.isValid() ? now.row() : -1); });

    reload();
    list_->resizeColumnsToContents();
    resize(list_->horizontalHeader()->length() + 60, 480);
}

void HistoryWindow::reload() {
    RunHistory history(runStatusFolder(services_.paths.dataFolder));
    auto runs = history.runs(sysId_);
    if (!runs) {
        model_.setRuns({});
        summary_->setText(qs(runs.error()));
        showFailed(-1);
        return;
    }
    std::size_t failed = 0;
    for (const HistoryRun& r : *runs) failed += r.succeeded ? 0 : 1;
    const std::size_t count = runs->size();
    model_.setRuns(std::move(*runs));
    summary_->setText(count == 0 ? QStringLiteral("No runs recorded yet.")
                                 : QStringLiteral("%1 run(s), %2 failed.").arg(count).arg(failed));
    if (count > 0) {
        list_->setCurrentIndex(model_.index(0, 0));
        showFailed(0);
    } else {
        showFailed(-1);
    }
}

void HistoryWindow::showFailed(int row) {
    QString text;
    if (row >= 0 && row < model_.rowCount()) {
        const HistoryRun& r = model_.runs()[static_cast<std::size_t>(row)];
        for (const auto& [path, reason] : r.failed) text += qs(path + ": " + reason) + '\n';
        const auto shown = static_cast<std::int64_t>(r.failed.size());
        if (r.failedCount > shown) text += QStringLiteral("and %1 more\n").arg(r.failedCount - shown);
        if (!r.archive.empty()) text.prepend(qs("Archive: " + r.archive) + '\n');
    }
    failed_->setPlainText(text);
}

void ShowHistory(const Services& services, std::int32_t sysId, const std::string& projectName, QWidget* parent) {
    HistoryWindow window(services, sysId, projectName, parent);
    window.exec();
}

}  // namespace quillet
