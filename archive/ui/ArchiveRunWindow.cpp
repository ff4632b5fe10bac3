#include "archive/ui/ArchiveRunWindow.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include "archive/ui/WorkListModel.h"
#include "catalog/Catalog.h"
#include "framework/ui/RunBars.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {
constexpr int SliceMs = 10;  // work between two returns to the event loop
}  // namespace

ArchiveRunWindow::ArchiveRunWindow(QString heading, QString sizeHeading, QWidget* parent)
    : QDialog(parent), pacer_(this, [this] { drawChanges(); }) {
    setModal(true);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName("statusLine");
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setAccessibleName("Status");

    model_ = new WorkListModel(heading, sizeHeading, this);
    list_ = new QTreeView(this);
    list_->setObjectName("workList");
    list_->setAccessibleName(QString(heading).remove('&'));
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    if (!sizeHeading.isEmpty()) {
        list_->header()->setSectionResizeMode(1, QHeaderView::Fixed);
        list_->header()->resizeSection(1, fontMetrics().horizontalAdvance("00,000,000,000") + 12);
    }

    overall_ = new QProgressBar(this);
    overall_->setObjectName("overallPercent");
    overall_->setAccessibleName("Overall Progress");
    overall_->setRange(0, 100);
    overall_->setValue(0);
    overall_->setFormat("0%");
    itemBar_ = new QProgressBar(this);
    itemBar_->setObjectName("itemBar");
    itemBar_->setAccessibleName("Item Progress");
    itemBar_->setRange(0, 100);
    // Showing and hiding the bar for every other item must not move the rest of the window.
    QSizePolicy keepRoom = itemBar_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    itemBar_->setSizePolicy(keepRoom);
    itemBar_->setVisible(false);

    button_ = new QPushButton(archivetext::CancelButton, this);
    button_->setObjectName("cancelButton");
    button_->setAccessibleName("Cancel");

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &ArchiveRunWindow::onTimer);
    connect(button_, &QPushButton::clicked, this, &ArchiveRunWindow::onButton);
}

ArchiveRunWindow::~ArchiveRunWindow() {
    timer_->stop();
    model_->setWork(nullptr);  // the run and its list may go first
}

void ArchiveRunWindow::startTimer0() {
    timer_->start(0);
}

void ArchiveRunWindow::onTimer() {
    if (stepping_) return;  // a step pumps events; the timer must not re-enter it
    stepping_ = true;
    // Small items take microseconds: a few milliseconds of them per return to the event
    // loop keep the window as quick to answer as one item would, without a loop turn each.
    QElapsedTimer slice;
    slice.start();
    do {
        run().step();
    } while (run().timerRunning() && slice.elapsed() < SliceMs);
    stepping_ = false;
    if (!run().timerRunning()) timer_->stop();
}

void ArchiveRunWindow::onButton() {
    if (run().phase() == ArchiveRun::Phase::Closed) {
        done(0);
        return;
    }
    run().buttonPressed();
}

void ArchiveRunWindow::reject() {
    onButton();
}

bool ArchiveRunWindow::event(QEvent* e) {
    return pacer_.handle(e, [&] { return QDialog::event(e); });
}

void ArchiveRunWindow::flush() {
    pacer_.flushNow();
}

void ArchiveRunWindow::drawChanges() {
    if (firstChanged_ != SIZE_MAX) {
        model_->rowsChanged(firstChanged_, lastChanged_);
        firstChanged_ = SIZE_MAX;
        lastChanged_ = 0;
    }
    if (currentRow_ != SIZE_MAX && currentRow_ < static_cast<std::size_t>(model_->rowCount())) {
        const QModelIndex row = model_->index(static_cast<int>(currentRow_), 0);
        list_->setCurrentIndex(row);
        list_->scrollTo(row);
        currentRow_ = SIZE_MAX;
    }
    // The bars last: the text set above goes along in their one redraw.
    showRunBars(itemBar_, itemProgress_, overall_, progress_);
}

void ArchiveRunWindow::setStatus(const std::string& text) {
    statusLine_->setText(QString::fromStdString(text));
    // Named "Status" for screen readers, the line's text reaches them as its description.
    statusLine_->setAccessibleDescription(statusLine_->text());
}

void ArchiveRunWindow::setProgress(int percent) {
    progress_ = percent;
    pacer_.request();
}

void ArchiveRunWindow::setItemProgress(int percent) {
    itemProgress_ = percent;
    pacer_.request();
}

void ArchiveRunWindow::pumpEvents() {
    pump_();
}

void ArchiveRunWindow::showWork(const WorkList& work) {
    firstChanged_ = SIZE_MAX;
    currentRow_ = SIZE_MAX;
    model_->setWork(&work);
}

void ArchiveRunWindow::entryChanged(std::size_t row) {
    firstChanged_ = std::min(firstChanged_, row);
    lastChanged_ = std::max(lastChanged_, row);
    currentRow_ = row;
    pacer_.request();
}

void ArchiveRunWindow::setButtonLabel(const std::string& label) {
    button_->setText(QString::fromStdString(label));
    button_->setAccessibleName(QString::fromStdString(label).remove('&'));
}

void ArchiveRunWindow::showStatusLine() {
    flush();
    statusLine_->setVisible(true);
    button_->setFocus();
}

void ArchiveRunWindow::closeWindow() {
    timer_->stop();
    flush();
    done(0);
}

std::string projectAndArchive(Catalog& catalog, const std::string& projectName, const std::string& archivePath) {
    std::string name(trimRight(projectName));
    if (name.empty() && catalog.isOpen()) {
        const std::string file = archivePath.substr(archivePath.rfind('/') + 1);
        if (file.size() >= 4) {
            const auto row = catalog.projects().byPrefix(file.substr(0, 4));
            if (row && *row) name = std::string(trimRight((*row)->NAME));
        }
    }
    return name + " - " + archivePath;
}

}  // namespace quillet
