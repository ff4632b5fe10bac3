#pragma once

#include <QDialog>

#include "backup/BackupRun.h"
#include "framework/ui/RedrawPacer.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QTreeView;
class QVBoxLayout;

namespace quillet {

class BackupFileModel;

// What the "Backup Progress" and the "Backup Preview" window share: the folder line, the
// status line, the file list over the run's own list, the totals and the one button.
// However fast the run steps, the lines, the list's current row and whatever a window adds
// (drawPending) are redrawn at most about 30 times a second: a redraw of every file
// would cost more than packing it.
class BackupListWindow : public QDialog, public BackupRunView {
    Q_OBJECT
public:
    ~BackupListWindow() override;

    // RunHost
    void setStatus(const std::string& text) override;
    bool cancelRequested() override { return false; }  // the button reaches the run directly
    void setFolderLine(const std::string& folder) override;

    // BackupRunView
    void setCaption(const std::string& caption) override;
    void hideFolderLine() override;
    void showFiles(const BackupFileList& files) override;
    void showNoFilesRow() override;
    void fileChanged(std::size_t index) override;
    void setTotals(std::int64_t files, std::int64_t bytes) override;
    void setButtonLabel(const std::string& label) override;

    // Draws what is waiting now rather than at the next redraw.
    void flush();

protected:
    BackupListWindow(const char* objectName, const char* title, bool icons, QWidget* parent);

    bool event(QEvent* e) override;  // times the redraws
    // Draws what waits once the last redraw is old enough, else sets a timer for then.
    void scheduleFlush();
    // A window's own waiting changes (bars), drawn with the rest.
    virtual void drawPending() {}
    // Places a widget between the list and the totals.
    void addBelowList(QWidget* widget);
    // A right-aligned figure of the totals.
    QLabel* valueLabel(const char* name, const char* accessibleName);
    // The run and its list go: the rows stay on show from a copy.
    void keepRows();

    QLabel* folderLine_;
    QLabel* statusLine_;
    QTreeView* list_;
    BackupFileModel* model_;
    QGridLayout* totals_;
    QLabel* totalFiles_;
    QLabel* totalBytes_;
    QPushButton* button_;

private:
    void drawChanges();  // what flush draws

    QVBoxLayout* layout_;
    RedrawPacer pacer_;
    QString pendingFolder_, pendingStatus_;
    bool folderPending_ = false, statusPending_ = false;
    std::size_t firstChanged_ = SIZE_MAX, lastChanged_ = 0;
    std::size_t currentRow_ = SIZE_MAX;
};

}  // namespace quillet
