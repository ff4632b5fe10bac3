#pragma once

#include <cstdint>
#include <string>

#include "backup/BackupFileList.h"
#include "backup/ChangeWatchList.h"
#include "backup/RotateArchives.h"
#include "backup/ScanProjectFiles.h"
#include "catalog/Records.h"
#include "framework/RunHost.h"

namespace quillet {

class Catalog;
class Clock;
class Dialogs;
class FileSystem;
class Settings;
class SoundPlayer;
class lspclass;

// Texts of the backup run.
namespace backuptext {
inline constexpr const char* WindowTitle = "Backup Progress";
inline constexpr const char* CompressingFiles = "Compressing Files...";
inline constexpr const char* RenamingFiles = "Renaming Files....";
inline constexpr const char* NoErrors = "Completed - No Errors";
inline constexpr const char* CheckFailed = "Failed - The New Backup Could Not Be Read Back";
inline constexpr const char* NoFilesRow = "<No Files Match Criteria>";
inline constexpr const char* NoFilesMessage = "No Files Match Backup Criteria";
inline constexpr const char* CancelButton = "&Cancel";
inline constexpr const char* OkButton = "&OK";
inline constexpr const char* CancelPressedQuestion = "Are you sure that you want to Cancel?";
inline constexpr const char* CancelPressedTitle = "Cancel Pressed";
inline constexpr const char* StopQuestion =
    "Would you like to cancel this entire backup operation?|||**NOTE: If you are getting errors during backup "
    "where \"File Exists\", or something similar, it can be fixed by using \"FULL PATH\" in the preferences  under "
    "\"Include Path Information\". Click on FILE --> PREFERENCES to change this setting.||";
inline constexpr const char* StopTitle = "Cancel?";
}  // namespace backuptext

// Icons of the file list.
namespace fileicon {
inline constexpr std::int32_t Waiting = 1;  // "~blank.ico"
inline constexpr std::int32_t Packed = 2;   // "~ZIP-Good.ico"
inline constexpr std::int32_t Failed = 3;   // "~ZIP-bad.ico"
}  // namespace fileicon

// Files above this size show the per-file bar while they are packed.
inline constexpr std::int64_t ItemBarThreshold = 132000;

// The speed setting: bytes packed per return to the event loop, and its name.
struct SpeedSetting {
    std::int64_t limit = 0;
    const char* name = "Normal";
};
SpeedSetting speedSetting(std::int64_t speedOptimization);

// "Completed - 2 Errors", "Completed - 1 Error".
std::string completedWithErrors(std::int64_t errorCount);

// The window (or console) that shows a backup run. Besides the host services of every run
// it shows the caption, the file list with its icons, the totals, the button label and the
// figures of the end. Everything has a default that shows nothing.
class BackupRunView : public RunHost {
public:
    virtual void setCaption(const std::string& /*caption*/) {}
    virtual void hideFolderLine() {}
    // The list shows these files from now on (the engine keeps them alive).
    virtual void showFiles(const BackupFileList& /*files*/) {}
    // The list shows the single row "<No Files Match Criteria>".
    virtual void showNoFilesRow() {}
    // The file at index (from 0) is being packed or has its icon now: select and redraw it.
    virtual void fileChanged(std::size_t /*index*/) {}
    // A file or folder failed and is not in the backup; reason says why ("Permission
    // denied", "changed while being read"). A failed file of the list also has its icon.
    virtual void fileFailed(const std::string& /*path*/, const std::string& /*reason*/) {}
    virtual void setTotals(std::int64_t /*files*/, std::int64_t /*bytes*/) {}
    virtual void setButtonLabel(const std::string& /*label*/) {}
    // The status line turns red after a failure.
    virtual void setStatusAlert(bool /*alert*/) {}
    // "Seconds:" and "Bytes (Compressed):", shown at the end.
    virtual void showResults(double /*seconds*/, std::int64_t /*compressedBytes*/) {}
    // The run is over and asks its window to close.
    virtual void closeWindow() {}
};

// The services a backup run works with.
struct BackupServices {
    FileSystem& fs;
    Dialogs& dialogs;
    Settings& settings;
    const Clock& clock;
    Catalog& catalog;
    SoundPlayer& sounds;
};

// What the console hands to a backup run.
struct BackupArguments {
    Project project;                         // the project to back up
    std::string archivePath;                 // the temporary archive: destination + "QLTTemp.___"
    ChangeWatchList* changeWatch = nullptr;  // the selected files, once the run is over
    lspclass* archive = nullptr;             // ARCHIVE_NAME ends as the new archive's path
    BackupList* backupList = nullptr;        // the project's archives, renumbered by the run
    std::uint32_t packFlag = 0;              // PACK_FLAG
    std::uint16_t compMode = 2;              // COMP_MODE
    std::string tempPath;                    // TEMP_PATH
    std::string programFolder;               // where the comment file is written (Paths)
    bool countdown = false;                  // started with "-P": the window closes by itself
    // Set to true when the new archive was read back whole but a rename of the rotation
    // failed: it stays under its temporary name and must not be deleted as a leftover.
    bool* temporaryKept = nullptr;
};

// One backup run as an engine: open() selects the files, then every step() is one timer
// event of the window (packing until the speed setting's budget is spent, then the
// finishing, later the countdown). The window or console loop calls step() while
// timerRunning(); button presses and focus changes come in through their own calls.
//
// Files unchanged since the newest archive (same size, times, inode and device) are copied
// from it packed rather than packed anew; the new archive is complete on its own.
//
// The new archive is completed, given its comment item and read back before any older
// archive is renamed or deleted: if it cannot be read back whole, the run fails, the
// older archives stay as they were and the temporary archive is removed.
class BackupRun {
public:
    enum class Phase {
        NotOpened,
        Packing,       // files are handed to the library one timer event after another
        Finished,      // the end is shown; the window waits for "&OK"
        CountingDown,  // "-P": the window closes by itself
        Closed,
    };

    BackupRun(BackupServices services, BackupArguments arguments, BackupRunView& view);
    ~BackupRun();
    BackupRun(const BackupRun&) = delete;
    BackupRun& operator=(const BackupRun&) = delete;

    // The opening: speed setting, selection scan, list and caption. Ends in Packing, or
    // Closed when there is nothing to pack (the result is then 1).
    void open();
    // One timer event.
    void step();
    // The window's one button. Ends the run or, while packing, asks whether to stop (a
    // press while the library is packing a file asks it to stop that file instead).
    void buttonPressed();
    // Another control took the focus: the countdown stops and the window stays open.
    void focusMovedElsewhere();

    Phase phase() const { return phase_; }
    bool timerRunning() const { return phase_ == Phase::Packing || phase_ == Phase::CountingDown; }
    // 0 when every selected file was packed and the archive took its number; 1 otherwise.
    std::uint8_t result() const { return result_; }

    const BackupFileList& files() const { return files_; }
    // Folders the scan could not read: left out of the backup, each counted as an error.
    const SkippedFolders& skippedFolders() const { return skipped_; }
    std::size_t fileIndex() const { return fileIndex_; }
    const std::string& buttonLabel() const { return buttonLabel_; }
    bool packing() const { return inPackCall_; }
    // Files whose packed data was copied unchanged from the newest archive.
    std::int64_t copiedFiles() const { return copiedFiles_; }

    // Library callbacks (lsp/lsp.h LSP_HOST).
    void libraryProgress(int percent);
    bool libraryStopRequested();
    void libraryPump();
    int libraryAsk(const char* question, const char* title);

private:
    class ScanHost;
    bool cancelRequested();
    void clearCancelRequest();
    void setStatus(const std::string& text);
    void setButtonLabel(const std::string& label);
    void setWaitCursor(bool on);
    void packOne();
    void useNewestArchive();
    void finish();
    bool completeAndCheck(std::string& why);
    void endWithoutArchive();
    void close();
    void countdownTick();
    bool confirmCancel();

    BackupServices s_;
    BackupArguments a_;
    BackupRunView& view_;

    Phase phase_ = Phase::NotOpened;
    std::uint8_t result_ = 0;
    bool scanCancelled_ = false;
    BackupFileList files_;
    SkippedFolders skipped_;
    std::int64_t totalFiles_ = 0;
    std::int64_t totalBytes_ = 0;
    std::size_t fileIndex_ = 0;
    std::int64_t bytesSinceYield_ = 0;
    std::int64_t packedFiles_ = 0;
    std::int64_t copiedFiles_ = 0;
    // Names of the packed files: items of different names cannot have replaced each other.
    std::vector<std::uint64_t> packedNameHashes_;  // of the packed files' names, 8 bytes a file
    std::int64_t errorCount_ = 0;
    SpeedSetting speed_;
    std::int64_t startMs_ = 0;
    std::string completedSound_, errorSound_;
    std::string buttonLabel_;
    bool waitCursor_ = false;
    bool inPackCall_ = false;
    bool finishing_ = false;      // the archive is packed: a press can no longer stop the run
    bool stopRequested_ = false;  // the button was pressed while the scan or the library worked
    bool itemBar_ = false;
    int countdown_ = 0;
    std::int64_t countdownMark_ = 0;
};

}  // namespace quillet
