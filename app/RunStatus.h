#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "backup/BatchBackup.h"
#include "framework/Clock.h"
#include "framework/records/RunHistory.h"
#include "platform/Result.h"

namespace quillet {

// How a project's runs have gone, read from the run history beside the record files, so the
// tray (and any later start of the program) can tell a failed or overdue backup that nobody
// was there to see.
struct ProjectRunStatus {
    std::int32_t sysId = 0;
    std::string project;
    DateTime lastRun;                     // when the last run ended (the failed one, when one failed)
    bool lastFailed = false;              // the last backup, or the last run of any kind, did not succeed
    std::string failedKind;               // runkind:: of that failed run
    std::string failure;                  // its final status ("Completed - 2 Errors", "Cancelled", ...)
    std::int64_t failedFiles = 0;         // files and folders that failed in the last run
    std::vector<std::string> failedList;  // "path: reason", at most MaxListed of them
    DateTime lastGood;                    // when the last successful run ended; date 0 = never
    std::int64_t lastGoodFiles = 0;
    std::int64_t lastGoodBytes = 0;
    // The failure kinds a desktop notification has been sent for since the last success.
    std::vector<std::string> notified;

    static constexpr std::size_t MaxListed = 20;
};

// One run as it ended, for RunStatusStore::record.
struct RunRecord {
    std::int32_t sysId = 0;
    std::string project;
    bool succeeded = false;
    std::string finalStatus;
    std::int64_t files = 0;
    std::int64_t bytes = 0;
    std::vector<std::pair<std::string, std::string>> failedFiles;  // path, reason
};

// Failure kinds: one notification each, until a run succeeds.
namespace failurekind {
inline constexpr const char* FailedFiles = "failed files";
inline constexpr const char* RunFailed = "run failed";
}  // namespace failurekind
std::string failureKindOf(const RunRecord& run);

// The last result of each project, as a view over the run history in folder: recording a run
// writes its history row (and the notice state) in one transaction.
class RunStatusStore {
public:
    // folder ends with '/': the folder of the history file, runStatusFolder(dataFolder).
    explicit RunStatusStore(std::string folder) : folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }

    std::optional<ProjectRunStatus> read(std::int32_t sysId) const;

    struct Recorded {
        ProjectRunStatus status;
        // A failure whose kind has not been notified since the last success: the caller
        // sends one desktop notification (the kind is already marked as sent).
        bool notify = false;
    };
    // Records the end of a backup run at `at` that began at started (date 0: at). A success
    // clears the sent notifications. A failure marks its kind as notified only when
    // notifying (a run somebody watched leaves the notice to a later unattended one).
    Result<Recorded> record(const RunRecord& run, DateTime at, bool notifying = true, DateTime started = {});

private:
    std::string folder_;
};

// Told of a failed run whose kind of failure has not been notified since the last success:
// sends the one desktop notification for it.
using FailureNotice = std::function<void(const ProjectRunStatus&)>;

class RecordingBackupDriver;

// Records how a backup command ended, driven through driver, and tells notice (when set)
// of a failure not notified since the last success. False when the history could not be
// written (reported once by RunHistory::reportProblem): the run's own result stands, only
// its record is missing. started: when the command began (date 0: unknown).
bool recordBackupRun(RunStatusStore& store, const RecordingBackupDriver& driver, std::int32_t sysId,
                     const std::string& project, bool succeeded, DateTime at, const FailureNotice& notice = {},
                     DateTime started = {});

// The desktop notification of a failed run: the project, the failure and the failed files.
struct DesktopNotice {
    std::string summary;
    std::string body;  // lines separated by "\n"
};
DesktopNotice failureNotice(const ProjectRunStatus& status);

// The folder of the run history: the data folder, beside the record files.
std::string runStatusFolder(const std::string& dataFolder);

// The state of the recent projects that the tray icon shows.
enum class BackupHealth { NoProjects, Good, Overdue, Failed };

struct TrayStatus {
    BackupHealth health = BackupHealth::NoProjects;
    std::string tooltip;  // first line the icon's tip, then one line per project
};

// recent: the recent projects' names with their statuses (nothing when never recorded).
// Overdue: no successful backup within the reminder interval (never with an interval of 0).
// Failed outranks overdue, overdue outranks good.
TrayStatus trayStatus(const std::vector<std::pair<std::string, std::optional<ProjectRunStatus>>>& recent,
                      std::uint8_t intervalMinutes, DateTime now);

// A backup driver that hands the run to another driver and remembers, through its view,
// what the status file needs: the final status, the totals and every failed file.
class RecordingBackupDriver : public BackupRunDriver {
public:
    explicit RecordingBackupDriver(BackupRunDriver& inner) : view_(inner.view()), inner_(inner) {}
    BackupRunView& view() override { return view_; }
    void drive(BackupRun& run) override { inner_.drive(run); }

    // The run as it ended, for project, with its result.
    RunRecord record(std::int32_t sysId, const std::string& project, bool succeeded) const;

private:
    class View : public BackupRunView {
    public:
        explicit View(BackupRunView& inner) : inner_(inner) {}
        void setStatus(const std::string& text) override;
        void setProgress(int percent) override { inner_.setProgress(percent); }
        void setItemProgress(int percent) override { inner_.setItemProgress(percent); }
        bool cancelRequested() override { return inner_.cancelRequested(); }
        void pumpEvents() override { inner_.pumpEvents(); }
        void setFolderLine(const std::string& folder) override { inner_.setFolderLine(folder); }
        void clearCancelRequest() override { inner_.clearCancelRequest(); }
        void setCaption(const std::string& caption) override { inner_.setCaption(caption); }
        void hideFolderLine() override { inner_.hideFolderLine(); }
        void showFiles(const BackupFileList& files) override { inner_.showFiles(files); }
        void showNoFilesRow() override { inner_.showNoFilesRow(); }
        void fileChanged(std::size_t index) override { inner_.fileChanged(index); }
        void fileFailed(const std::string& path, const std::string& reason) override;
        void setTotals(std::int64_t files, std::int64_t bytes) override;
        void setButtonLabel(const std::string& label) override { inner_.setButtonLabel(label); }
        void setStatusAlert(bool alert) override { inner_.setStatusAlert(alert); }
        void showResults(double seconds, std::int64_t compressedBytes) override {
            inner_.showResults(seconds, compressedBytes);
        }
        void closeWindow() override { inner_.closeWindow(); }

        std::string lastStatus;
        std::int64_t files = 0;
        std::int64_t bytes = 0;
        std::vector<std::pair<std::string, std::string>> failed;

    private:
        BackupRunView& inner_;
    };
    View view_;
    BackupRunDriver& inner_;
};

}  // namespace quillet
