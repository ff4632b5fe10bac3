#pragma once

#include "backup/PreviewRun.h"
#include "backup/ui/BackupListWindow.h"

class QLabel;
class QTimer;

namespace quillet {

// The "Backup Preview" window: folder line, status line, the list of names and sizes, the
// totals and one button. It drives the preview's scan from a timer that fires whenever the
// event loop is idle, a few milliseconds of scanning per turn, so input (the button among
// it) is handled while the scan works.
class PreviewWindow : public BackupListWindow {
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
        flush();
        showSkipped();
        showChanges();
    }
    // How long one timer turn may scan before the loop gets control back; 0 is one unit.
    void setSliceMilliseconds(int ms) { sliceMs_ = ms; }

    // RunHost
    void setProgress(int) override {}
    void setItemProgress(int) override {}
    void pumpEvents() override {}  // the timer returns to the loop between units

    // BackupRunView
    void closeWindow() override;

    void reject() override;  // the close box and Esc act as the button

private:
    void onTimer();
    void onButton();
    void showSkipped();
    void showChanges();  // the counts of new, changed and vanished files, once listed

    PreviewRun* run_ = nullptr;
    bool stepping_ = false;
    int sliceMs_ = 8;
    QLabel* skippedLine_;
    QLabel* changesLine_;
    QTimer* timer_;
};

}  // namespace quillet
