#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "backup/BackupFileList.h"
#include "backup/BackupRun.h"
#include "backup/PreviewChanges.h"
#include "backup/ScanProjectFiles.h"
#include "catalog/Records.h"

namespace quillet {

class Catalog;
class Dialogs;
class FileSystem;

// Texts of the preview.
namespace previewtext {
inline constexpr const char* WindowTitle = "Backup Preview";
inline constexpr const char* CaptionPrefix = "Preview ";
inline constexpr const char* Ready = "These are the files that will be backed up according to the given criteria....";
}  // namespace previewtext

// What a preview works with. It writes nothing: no record, no setting, no file.
struct PreviewServices {
    FileSystem& fs;
    Dialogs& dialogs;
    Catalog& catalog;
};

// The preview of one project's backup as an engine: open() starts the selection scan,
// every step() does one unit of it (one folder listing or one mask in one folder), and at
// its end the list, the totals and the "&OK" button are shown. The window calls step()
// from its timer while timerRunning(); the command line calls it in a loop; both get the
// same list the backup run selects, in the same order.
class PreviewRun {
public:
    enum class Phase {
        NotOpened,
        Scanning,
        Listed,   // the list is on show; the button reads "&OK"
        Stopped,  // a folder was not found or the components could not be read; the button still cancels
        Closed,
    };

    PreviewRun(PreviewServices services, Project project, BackupRunView& view);
    ~PreviewRun();
    PreviewRun(const PreviewRun&) = delete;
    PreviewRun& operator=(const PreviewRun&) = delete;

    // Wait cursor, caption "Preview " + NAME, zero totals, and the scan started.
    void open();
    // One unit of the scan; after the last one the result is shown.
    void step();
    // The window's one button (its close box and Esc too).
    void buttonPressed();

    Phase phase() const { return phase_; }
    bool timerRunning() const { return phase_ == Phase::Scanning; }
    ScanOutcome outcome() const { return outcome_; }
    // The selected files once listed, in SORTNAME order (the backup's order).
    const BackupFileList& files() const { return files_; }
    // Folders that exist but cannot be read: a backup leaves them out and names them.
    const SkippedFolders& skippedFolders() const { return skipped_; }
    std::int64_t totalFiles() const { return totalFiles_; }
    std::int64_t totalBytes() const { return totalBytes_; }
    const std::string& buttonLabel() const { return buttonLabel_; }
    // Once listed: what the backup would change relative to the newest archive, worked
    // out on the first call (it reads every file's time and the archive's directory).
    const PreviewChanges& changes();

private:
    class ScanHost;
    void endScan();
    void setButtonLabel(const std::string& label);
    void setWaitCursor(bool on);
    void close();

    PreviewServices s_;
    Project project_;
    BackupRunView& view_;
    std::unique_ptr<ScanHost> host_;
    SkippedFolders skipped_;
    std::unique_ptr<ScanServices> scanServices_;
    std::unique_ptr<ProjectScan> scan_;

    Phase phase_ = Phase::NotOpened;
    ScanOutcome outcome_ = ScanOutcome::Completed;
    BackupFileList files_;
    std::int64_t totalFiles_ = 0;
    std::int64_t totalBytes_ = 0;
    std::string buttonLabel_;
    bool pressed_ = false;  // the button was pressed while the scan worked
    bool waitCursor_ = false;
    std::optional<PreviewChanges> changes_;
};

}  // namespace quillet
