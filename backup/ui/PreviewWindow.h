#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include "backup/PreviewRun.h"

class QLabel;
class QPushButton;
class QTimer;
class QTreeView;

namespace quillet {

class BackupFileModel;

// The "Backup Preview" window: folder line, status line, the list of names and sizes, the
// totals and one button. It drives the preview's scan from a timer that fires whenever the
// event loop is idle, a few milliseconds of scanning per turn, so input (the button among
// it) is handled while the scan works; the folder and status lines are redrawn at most
// about 30 times a second however fast the scan steps.
class PreviewWindow : public QDialog, public BackupRunView {
    Q_OBJECT
public:
    explicit PreviewWindow(QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Opens the run once the window is on screen and shows the window until it closes.
    void drive(PreviewRun& run);
    // Shows the run's state without driving it (the manual's pictures).
    void attach(PreviewRun* run) { run_ = run; }
    // Shows what is waiting to be drawn at once (after stepping an attached run by hand).
    void showNow() {
        showPending(true);
        showSkipped();
        showChanges();
    }
    // How long one timer turn may scan before the loop gets control back; 0 is one unit.
    void setSliceMilliseconds(int ms) { sliceMs_ = ms; }

    // RunHost
    void setStatus(const std::string& text) override;
    void setProgress(int) override {}
    void setItemProgress(int) override {}
    bool cancelRequested() override { return false; }  // the button reaches the run directly
    void pumpEvents() override {}                      // the timer returns to the loop between units
    void setFolderLine(const std::string& folder) override;

    // BackupRunView
    void setCaption(const std::string& caption) override;
    void hideFolderLine() override;
    void showFiles(const BackupFileList& files) override;
    void showNoFilesRow() override;
    void setTotals(std::int64_t files, std::int64_t bytes) override;
    void setButtonLabel(const std::string& label) override;
    void closeWindow() override;

    void reject() override;  // the close box and Esc act as the button

private:
    void onTimer();
    void onButton();
    void showPending(bool now);
    void showSkipped();
    void showChanges();

    PreviewRun* run_ = nullptr;
    bool stepping_ = false;
    int sliceMs_ = 8;
    QString pendingFolder_, pendingStatus_;
    bool folderPending_ = false, statusPending_ = false;
    QElapsedTimer sinceShown_;
    QLabel* folderLine_;
    QLabel* statusLine_;
    QTreeView* list_;
    BackupFileModel* model_;
    QLabel* totalFiles_;
    QLabel* totalBytes_;
    QLabel* skippedLine_;
    QLabel* changesLine_;
    QPushButton* button_;
    QTimer* timer_;
};

}  // namespace quillet
