#pragma once

#include "archive/ui/ArchiveRunWindow.h"
#include "framework/Services.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;

namespace quillet {

// The "Restore File(s) from Backup" window over a RestoreRun of services.archive: the
// overwrite, sub-folder and path options bound to the archive object, the work list with
// its "Remove Selected File from Restore List" pop-up, the root destination with its
// folder picker and remembered destinations, and the run. Built without exec() it can be
// driven by tests.
class RestoreWindow : public ArchiveRunWindow {
    Q_OBJECT
public:
    RestoreWindow(const Services& services, const std::string& projectName, QWidget* parent = nullptr);

    RestoreRun& restoreRun() { return run_; }
    // The root entry was accepted (Enter, leaving it, or a remembered destination chosen).
    // False when the typed folder did not exist and was replaced.
    bool acceptRootEntry();
    // "&Restore/Extract Files".
    void startRestore();
    // The pop-up's one command and the Delete key: the selected entry leaves the list.
    void removeSelected();

protected:
    ArchiveRun& run() override { return run_; }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pickRoot();
    void showContextMenu(const QPoint& at);
    void setEditing(bool on);

    const Services& services_;
    RestoreRun run_;
    QGroupBox* overwriteGroup_;
    QRadioButton* overwrite_;
    QRadioButton* prompt_;
    QButtonGroup* overwriteButtons_;
    QCheckBox* createDirs_;
    QCheckBox* usePaths_;
    QComboBox* root_ = nullptr;
    QPushButton* pick_;
    QPushButton* restore_;
    QPushButton* help_;
    bool accepting_ = false;
};

}  // namespace quillet
