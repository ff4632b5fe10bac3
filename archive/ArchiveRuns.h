#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/Clock.h"
#include "framework/RunHost.h"

namespace quillet {

class Catalog;
class Dialogs;
class FileSystem;
class Settings;
class SoundPlayer;
class lspclass;

// Texts of the test and restore runs.
namespace archivetext {
inline constexpr const char* TestTitle = "Test Backup Integrity: ";
inline constexpr const char* RestoreTitle = "Restore File(s) from Backup: ";
inline constexpr const char* NothingToTest =
    "There is nothing to test. Did you forget to mark some records? Perhaps there is nothing in the backup file.";
inline constexpr const char* NothingToTestTitle = "Nothing to Test";
inline constexpr const char* NothingToRestore = "There are no files in queue to restore!";
inline constexpr const char* NothingToDoTitle = "Nothing to Do";
inline constexpr const char* TestsOk = "Completed - Archive Tests OK";
inline constexpr const char* NoErrors = "Completed - No Errors";
inline constexpr const char* Canceled = "Operation Canceled";
inline constexpr const char* CancelButton = "&Cancel";
inline constexpr const char* CloseButton = "&Close";
inline constexpr const char* CancelQuestion = "Are you sure that you want to cancel?";
inline constexpr const char* CancelTitle = "Cancel";
inline constexpr const char* PickPathTitle = "Pick a path";
inline constexpr const char* RemoveFromList = "Remove Selected File from Restore List";
// The overwrite question of "&Prompt user": the library's Yes, No and Cancel, and "All",
// which answers Yes for the rest of the run.
inline constexpr const char* OverwriteButtons = "&Yes|&No|&All|&Cancel";
// Added to "Error creating output file" when stored paths are used without creating folders.
inline constexpr const char* MissingFolderHint =
    "||The item's folder may be missing below the root folder. \"Create Sub-Directories\" creates missing "
    "folders; the other items that fail this way are marked without another message.";
}  // namespace archivetext

// "Completed - 3 Error(s)".
std::string errorsSummary(std::int64_t errors);

// Icons of the work lists.
namespace workicon {
inline constexpr std::int32_t Waiting = 1;  // "~blank.ico"
inline constexpr std::int32_t Good = 2;     // "~ZIP-Good.ico"
inline constexpr std::int32_t Bad = 3;      // "~ZIP-bad.ico"
}  // namespace workicon

// Items above this size show the per-item bar while they are tested or restored.
inline constexpr std::int64_t WorkItemBarThreshold = 132000;

// One line of a work list: a marked entry of the archive object's item list.
struct WorkEntry {
    std::string text;  // test: stored path + name; restore: the target path
    std::int32_t icon = workicon::Waiting;
    std::int64_t size = 0;    // UNCOMPRESSED_SIZE
    std::size_t index = 0;    // position in LSPQ
    std::int16_t status = 0;  // the library's answer once done (0 good)
};
using WorkList = std::vector<WorkEntry>;

// The window (or console) that shows a test or restore run.
class ArchiveRunView : public RunHost {
public:
    bool cancelRequested() override { return false; }  // the button reaches the run directly
    void pumpEvents() override {}
    // The list shows these entries from now on (the run keeps them alive).
    virtual void showWork(const WorkList& /*work*/) {}
    // The entry at row (from 0) has its icon now: select and redraw it.
    virtual void entryChanged(std::size_t /*row*/) {}
    virtual void setButtonLabel(const std::string& /*label*/) {}
    // The status line, hidden until the end, is shown with the summary.
    virtual void showStatusLine() {}
    // The run is over and asks its window to close.
    virtual void closeWindow() {}
};

// The services a test or restore run works with.
struct ArchiveRunServices {
    FileSystem& fs;
    Dialogs& dialogs;
    Settings& settings;
    SoundPlayer& sounds;
    lspclass& archive;  // lists the archive and its marked entries; keeps the restore options
};

// Where a test or restore run is recorded once it has ended.
struct RunHistoryTarget {
    std::string folder;  // of the history file; empty: the run is not recorded
    std::int32_t sysId = 0;
    std::string project;
    const Clock* clock = nullptr;
    // Where set, fills in sysId and project when the run ends, not before it begins (the
    // command line opens the record files meanwhile).
    std::function<void(RunHistoryTarget&)> complete;
};

// The target of a run over archivePath: the project named, else the one whose prefix begins
// the archive's file name (none found: the run is recorded without a project).
RunHistoryTarget historyTarget(Catalog& catalog, const std::string& projectName, const std::string& archivePath,
                               const std::string& historyFolder, const Clock& clock);

// What the test and the restore run share: the work list of the marked entries, one item
// per step() through the library with its progress, stop requests and questions coming
// back through the host callbacks, the Cancel/Close button and the summary at the end.
class ArchiveRun {
public:
    enum class Phase {
        Editing,   // the restore window before "&Restore/Extract Files"
        Running,   // one item per timer event
        Finished,  // the summary is shown; the button reads "&Close"
        Closed,
    };

    virtual ~ArchiveRun();
    ArchiveRun(const ArchiveRun&) = delete;
    ArchiveRun& operator=(const ArchiveRun&) = delete;

    // One timer event: one item.
    void step();
    // The "&Cancel"/"&Close" button, the close box and Esc. While an item is in the
    // library the press asks it to stop; the question follows when it has returned.
    void buttonPressed();

    Phase phase() const { return phase_; }
    bool timerRunning() const { return phase_ == Phase::Running; }
    const WorkList& work() const { return work_; }
    std::size_t done() const { return done_; }
    std::int64_t errors() const { return errors_; }
    const std::string& buttonLabel() const { return buttonLabel_; }
    const std::string& summary() const { return summary_; }
    bool cancelled() const { return cancelled_; }
    // The item in hand while the library works on it.
    bool inLibraryCall() const { return inCall_; }

    // Library callbacks (lsp/lsp.h LSP_HOST).
    void libraryProgress(int percent);
    bool libraryStopRequested();
    void libraryPump();
    int libraryAsk(const char* question, const char* title);

    // Records every run that starts from now on in the history when it ends: completed,
    // cancelled or stopped. A history that cannot be written is reported once and changes
    // nothing about the run.
    void recordIn(RunHistoryTarget target) { history_ = std::move(target); }

protected:
    explicit ArchiveRun(ArchiveRunServices services, ArchiveRunView& view);
    // The work list from the marked entries, text by entryText.
    void buildWork();
    virtual std::string entryText(std::size_t index) const = 0;
    // Tests or restores one entry; the library's status.
    virtual std::int16_t runItem(const WorkEntry& entry) = 0;
    // A status that ends the run early with "Operation Canceled".
    virtual bool endsRun(std::int16_t status) const = 0;
    virtual const char* successSummary() const = 0;
    virtual const char* kind() const = 0;  // runkind::
    // Into Running: the library's callbacks go to this run.
    void begin();
    void close();

    ArchiveRunServices s_;
    ArchiveRunView& view_;
    WorkList work_;
    Phase phase_ = Phase::Editing;

private:
    void setButtonLabel(const std::string& label);
    void finish();
    void endCancelled();
    bool confirmCancel();
    void recordEnd();
    void setWaitCursor(bool on);

    std::size_t next_ = 0;
    std::size_t done_ = 0;
    std::int64_t errors_ = 0;
    std::string buttonLabel_;
    std::string summary_;
    std::string completedSound_, errorSound_;
    bool inCall_ = false;
    bool itemBar_ = false;
    bool stopRequested_ = false;
    bool confirmPending_ = false;
    bool cancelled_ = false;
    bool overwriteAll_ = false;
    bool began_ = false;
    bool waitCursor_ = false;
    std::uint8_t savedPump_ = 0;  // the archive object's pump flag before the run
    RunHistoryTarget history_;
    DateTime started_;
    bool recorded_ = true;  // the run that began last is in the history (or none began)
};

// BatchTest's run: checks each marked item without writing anything. open() ends in
// Running, or Closed after "Nothing to Test" when nothing is marked.
class TestRun : public ArchiveRun {
public:
    TestRun(ArchiveRunServices services, ArchiveRunView& view);
    void open();

protected:
    std::string entryText(std::size_t index) const override;
    std::int16_t runItem(const WorkEntry& entry) override;
    bool endsRun(std::int16_t) const override { return false; }
    const char* successSummary() const override { return archivetext::TestsOk; }
    const char* kind() const override;
};

// The restore destinations remembered in [DestinationMRU] 1 to 20, most recent first.
inline constexpr int DestinationSlots = 20;
std::vector<std::string> loadDestinations(const Settings& settings);
// Moves root to the top (exact comparison), drops what falls beyond 20 and writes all 20
// keys (blank where the list is shorter). False when the settings file cannot be written.
bool rememberDestination(Settings& settings, std::vector<std::string>& destinations, const std::string& root);

// BatchExtract's run: restores each marked item below the root folder. It opens in
// Editing, where the options, the root and the list can be changed; start() runs it.
class RestoreRun : public ArchiveRun {
public:
    RestoreRun(ArchiveRunServices services, ArchiveRunView& view);

    // The destinations list, the root folder (the newest destination, else [Defaults]
    // ExtractionPath, else the archive object's TEMP_PATH) and the work list.
    void open();

    // The root folder as the entry shows it and the destinations remember it: no
    // trailing "/" except for "/" itself. Targets are this followed by "/" and the item.
    const std::string& root() const { return root_; }
    const std::vector<std::string>& destinations() const { return destinations_; }

    // What became of a root typed into the entry.
    struct RootOutcome {
        std::string root;       // what the entry shows now
        bool accepted = false;  // false: the folder did not exist and was replaced
    };
    // The typed root is taken when it is a folder that can be entered; otherwise the
    // folder picker is offered, and when that is cancelled [Defaults] ExtractionPath (the
    // current folder by default) takes its place. The list is rebuilt either way.
    RootOutcome acceptRoot(const std::string& typed);
    // The "..." button: the folder picker; nothing when it is cancelled.
    std::optional<std::string> pickRoot();

    // The options of the restore window, kept in the archive object.
    void setOverwrite(std::uint8_t option);  // 1 overwrite, 2 prompt user
    void setCreateDirectory(bool on);
    void setUsePathInfo(bool on);  // rebuilds the list

    // "Remove Selected File from Restore List" and the Delete key.
    void removeEntry(std::size_t row);

    // "&Restore/Extract Files": complains and closes when the list is empty; otherwise
    // remembers the root among the destinations and starts the run.
    void start();

    // The target of LSPQ entry index below the current root.
    std::string targetOf(std::size_t index) const;

protected:
    std::string entryText(std::size_t index) const override { return targetOf(index); }
    std::int16_t runItem(const WorkEntry& entry) override;
    bool endsRun(std::int16_t status) const override;
    const char* successSummary() const override { return archivetext::NoErrors; }
    const char* kind() const override;

private:
    void setRoot(const std::string& folder);

    std::string root_;
    std::vector<std::string> destinations_;
    std::set<std::int16_t> shownErrors_;  // failures of the run whose box has been shown
};

}  // namespace quillet
