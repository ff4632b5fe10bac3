#pragma once

#include <QPointer>

#include "backup/BatchBackup.h"
#include "backup/ui/BackupListWindow.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace quillet {

// The "Backup Progress" window: folder line, status line, the file list with an icon per
// file, the per-file bar, the overall percent, the totals and one button. It drives the
// run from a timer that fires whenever the event loop is idle; the speed setting decides
// how much is packed between two returns to the loop.
class BackupProgressWindow : public BackupListWindow, public BackupRunDriver {
    Q_OBJECT
public:
    explicit BackupProgressWindow(QWidget* parent = nullptr);
    ~BackupProgressWindow() override;

    // BackupRunDriver
    BackupRunView& view() override { return *this; }
    void drive(BackupRun& run) override;

    // RunHost
    void setProgress(int percent) override;
    void setItemProgress(int percent) override;
    void pumpEvents() override;

    // BackupRunView
    void setStatusAlert(bool alert) override;
    void showResults(double seconds, std::int64_t compressedBytes) override;
    void closeWindow() override;

    void reject() override;  // the close box and Esc act as the button

private:
    void drawPending() override;
    void onTimer();
    void onButton();
    void onFocusChanged(QWidget* old, QWidget* now);

    BackupRun* run_ = nullptr;
    bool stepping_ = false;
    int progress_ = 0;
    int itemProgress_ = -1;
    QProgressBar* itemBar_;
    QProgressBar* overall_;
    QLabel* compressedLabel_;
    QLabel* compressed_;
    QLabel* secondsLabel_;
    QLabel* seconds_;
    QTimer* timer_;
};

}  // namespace quillet
