#pragma once

#include <QDialog>

#include "archive/ArchiveRuns.h"
#include "framework/ui/EventPump.h"
#include "framework/ui/RedrawPacer.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace quillet {

class WorkListModel;

// What the test and the restore window share: the work list, the status line, the overall
// bar with its percentage, the per-item bar and the Cancel/Close button, and the timer
// that steps the run whenever the event loop is idle. However fast the run steps, the
// list and the bars are redrawn at most about 30 times a second.
class ArchiveRunWindow : public QDialog, public ArchiveRunView {
    Q_OBJECT
public:
    ~ArchiveRunWindow() override;

    // RunHost
    void setStatus(const std::string& text) override;
    void setProgress(int percent) override;
    void setItemProgress(int percent) override;
    void pumpEvents() override;
    // ArchiveRunView
    void showWork(const WorkList& work) override;
    void entryChanged(std::size_t row) override;
    void setButtonLabel(const std::string& label) override;
    void showStatusLine() override;
    void closeWindow() override;

    void reject() override;  // the close box and Esc act as the button

    // Starts stepping the run (the window's timer at its shortest interval).
    void startTimer0();
    // Redraws what has changed now rather than at the next redraw.
    void flush();

protected:
    ArchiveRunWindow(QString heading, QString sizeHeading, QWidget* parent);
    virtual ArchiveRun& run() = 0;
    void onButton();
    bool event(QEvent* e) override;  // times the redraws

    QLabel* statusLine_;
    QTreeView* list_;
    WorkListModel* model_;
    QProgressBar* overall_;
    QProgressBar* itemBar_;
    QPushButton* button_;

private:
    void onTimer();
    void drawChanges();  // what flush draws

    QTimer* timer_;
    RedrawPacer pacer_;
    EventPump pump_;
    bool stepping_ = false;
    int progress_ = 0;
    int itemProgress_ = -1;
    std::size_t firstChanged_ = SIZE_MAX, lastChanged_ = 0;
    std::size_t currentRow_ = SIZE_MAX;
};

// "NAME - PATH" of a window title: the project's name, else the one whose prefix the
// archive's file name begins with.
class Catalog;
std::string projectAndArchive(Catalog& catalog, const std::string& projectName, const std::string& archivePath);

}  // namespace quillet
