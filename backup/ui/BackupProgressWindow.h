#pragma once

#include <QDialog>
#include <QPointer>

#include "backup/BatchBackup.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace quillet {

class BackupFileModel;

// The "Backup Progress" window: folder line, status line, the file list with an icon per
// file, the per-file bar, the overall percent, the totals and one button. It drives the
// run from a timer that fires whenever the event loop is idle; the speed setting decides
// how much is packed between two returns to the loop.
class BackupProgressWindow : public QDialog, public BackupRunDriver, public BackupRunView {
    Q_OBJECT
public:
    explicit BackupProgressWindow(QWidget* parent = nullptr);
    ~BackupProgressWindow() override;

    // BackupRunDriver
    BackupRunView& view() override { return *this; }
    void drive(BackupRun& run) override;

    // RunHost
    void setStatus(const std::string& text) override;
    void setProgress(int percent) override;
    void setItemProgress(int percent) override;
    bool cancelRequested() override { return false; }  // the button reaches the run directly
    void pumpEvents() override;
    void setFolderLine(const std::string& folder) override;

    // BackupRunView
    void setCaption(const std::string& caption) override;
    void hideFolderLine() override;
    void showFiles(const BackupFileList& files) override;
    void showNoFilesRow() override;
    void fileChanged(std::size_t index) override;
    void setTotals(std::int64_t files, std::int64_t bytes) override;
    void setButtonLabel(const std::string& label) override;
    void setStatusAlert(bool alert) override;
    void showResults(double seconds, std::int64_t compressedBytes) override;
    void closeWindow() override;

    void reject() override;  // the close box and Esc act as the button

private:
    void onTimer();
    void onButton();
    void onFocusChanged(QWidget* old, QWidget* now);

    BackupRun* run_ = nullptr;
    bool stepping_ = false;
    QLabel* folderLine_;
    QLabel* statusLine_;
    QTreeView* list_;
    BackupFileModel* model_;
    QProgressBar* itemBar_;
    QProgressBar* overall_;
    QLabel* totalFiles_;
    QLabel* totalBytes_;
    QLabel* compressedLabel_;
    QLabel* compressed_;
    QLabel* secondsLabel_;
    QLabel* seconds_;
    QPushButton* button_;
    QTimer* timer_;
};

}  // namespace quillet
