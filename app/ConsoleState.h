#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/ExecuteBackup.h"
#include "app/RunActivity.h"
#include "archive/lspclass.h"
#include "catalog/Records.h"
#include "framework/Services.h"

namespace quillet {

// The three tabs of the console's sheet, in order.
enum class ConsoleTab { Projects = 0, Backups = 1, Details = 2 };

// The seven orders of the Backup Details list, as numbered in its drop list.
inline constexpr const char* SortChoices = "Standard|Filename|Extension|Date|Size|Packed|Path";

// Sorts an archive's item list by choice 1..7; descending on both keys when reversed.
void sortArchiveItems(std::vector<LSPQEntry>& items, int choice, bool reversed);

// The sort choice a double-click on a heading of the contents list selects; 0 leaves the
// choice as it is (Time, Ratio and the columns after Packed).
int sortChoiceForColumn(int column);

// One entry of a pop-up menu text: "&Label", "~" greys it, "-" is a separator.
struct PopupEntry {
    std::string label;
    bool enabled = true;
    bool separator = false;
};
// Splits "Add File|~Delete File(s)|-|..." into its entries.
std::vector<PopupEntry> parsePopupText(const std::string& text);

// The state of one toolbar button.
struct ToolState {
    bool enabled = false;
    bool visible = true;
    std::string tip;
};

// What the toolbar, the matching menu items and the contents pop-up show on a tab.
struct ToolbarState {
    ToolState add;      // new project / add a file
    ToolState restore;  // change project / restore
    ToolState remove;   // delete project / archive files / items
    ToolState test;
    ToolState find;
    ToolState copy;
    ToolState execute;
    bool selectAll = false, deselectAll = false, flipAll = false;
    bool addsFile = false;  // the add button adds a file to the archive (third tab)
    bool tipsShown = true;  // [Preferences] DisableToolTips is off
    std::string contentsPopup;
};

inline constexpr const char* ContentsPopupFull =
    "Add File|Delete File(s)|Restore File(s) from Backup|-|Select All|De-Select All|Flip Selections";
inline constexpr const char* ContentsPopupAddOnly =
    "Add File|~Delete File(s)|~Restore File(s) from Backup|-|~Select All|~De-Select All|~Flip Selections";
inline constexpr const char* ContentsPopupNone =
    "~Add File|~Delete File(s)|~Restore File(s) from Backup|-|~Select All|~De-Select All|~Flip Selections";

// The pop-up of the backups list: the favourites folder's offers the rename.
std::string backupsPopupText(bool favorites);

// What opening a file with the desktop's programs gives: opened, nothing is associated
// with its kind, or the open failed for another reason (then errorText says why).
struct OpenAttempt {
    bool opened = false;
    bool noAssociation = false;
    std::string errorText;
};

// How an extracted file is shown: the desktop's associated program, and a plain-text
// editor when there is none. The window gives the desktop's; tests give their own.
struct FileViewer {
    std::function<OpenAttempt(const std::string& file)> openWithDesktop;
    std::function<bool(const std::string& file)> openInTextEditor;
};

// The console's state and commands, apart from its window: the projects, the selected
// project's archive files, the selected archive's items (read only when the Backup
// Details tab is on view), marks, sort order, the toolbar state per tab, the files
// extracted for viewing and the recently backed-up projects. Every message goes through
// the services' dialogs.
class ConsoleState {
public:
    ConsoleState(const Services& services, std::string commandLineProject = {});
    ~ConsoleState();
    ConsoleState(const ConsoleState&) = delete;
    ConsoleState& operator=(const ConsoleState&) = delete;

    const Services& services() const { return s_; }

    // Opening: the record files, the archive object, the library version check, the
    // settings and [LastBacked]. False when the record files could not be opened (said).
    bool open();

    // ---- projects ----
    const std::vector<Project>& projects() const { return projects_; }
    // Re-reads the projects in name order and selects the one with sysId when it is
    // there, else the row nearest to the previous one.
    void reloadProjects(std::int32_t selectSysId = 0);
    int projectRow() const { return projectRow_; }
    const Project* project() const;
    void selectProject(int row);
    std::string windowTitle() const;
    std::string notesText() const { return notes_; }
    // Every project's prefix, sorted (for the project form's generated prefixes).
    std::vector<std::string> prefixesInUse() const;

    // ---- archive files ----
    const BackupListState& backups() const { return command_.backups; }
    const std::vector<std::uint8_t>& backupMarks() const { return backupMarks_; }
    void setBackupMark(int row, bool marked);
    int backupRow() const { return backupRow_; }
    const DirEntry* currentBackup() const;
    // fromList: the selection came from the backups list (the comment is read again).
    void selectBackup(int row, bool fromList = true);
    void refreshBackupList();
    std::string commentText() const { return comment_; }
    std::string archivePath() const;  // [63]; empty without a selected archive

    // ---- archive contents ----
    std::vector<LSPQEntry>& items() { return s_.archive.LSPQ; }
    const std::vector<LSPQEntry>& items() const { return s_.archive.LSPQ; }
    bool contentsLoaded() const { return contentsLoaded_; }
    int sortChoice() const { return sortChoice_; }
    bool reversed() const { return reversed_; }
    void setSort(int choice, bool reversed);
    std::int64_t itemCount() const { return s_.archive.S_COUNT_FILES; }
    std::int64_t sizeBefore() const { return s_.archive.S_UNCOMPRESSED_SIZE; }
    double ratio() const { return s_.archive.S_COMPRESSION_RATIO; }
    // Re-reads the selected archive's items (after a command changed the archive).
    void reloadContents();

    // ---- tabs and toolbar ----
    ConsoleTab tab() const { return tab_; }
    // Re-selects the archive (the contents load when the third tab comes on view), and
    // resets the sort to "Standard" without "Reversed".
    void setTab(ConsoleTab tab);
    ToolbarState toolbar() const;
    bool projectCommandsEnabled() const { return !projects_.empty(); }  // change / delete project

    // Mark all, unmark all or invert the marks of the current tab's list.
    enum class MarkAction { All, None, Flip };
    void mark(MarkAction action);

    // ---- commands ----
    // True while a command runs: a second one (a key, the tray menu) is refused with a
    // message rather than nested into a library call that is pumping events.
    bool busy() const { return busy_ > 0; }
    class Command {
    public:
        explicit Command(ConsoleState& state);
        ~Command();
        explicit operator bool() const { return started_; }
        Command(const Command&) = delete;
        Command& operator=(const Command&) = delete;

    private:
        ConsoleState& state_;
        bool started_;
        std::optional<RunActivity::Scope> activity_;
    };
    // Whether a command is in progress, for the notification-area menu.
    const RunActivity& runActivity() const { return runActivity_; }

    // The backup of the selected project (or of sysId), through driver.
    ExecuteOutcome executeBackup(BackupRunDriver& driver, std::int32_t sysId = 0);
    // Deletes the marked archive files after the question.
    void deleteArchiveFiles();
    // Deletes the marked items from the selected archive after the question.
    void deleteArchiveItems();
    // After a completed project delete: the "Clean-up" question, then the archive files
    // still listed are deleted from the destination copied aside before the delete.
    void offerCleanUp(const std::string& destination);
    // Adds a file to the selected archive (the archive object's chooser).
    void addFileToArchive();
    // Loads the selected archive if it is not on view and marks every item (the second
    // tab's test and restore act on a whole archive file).
    bool prepareWholeArchive();
    // Extracts the item of row into the console's private view folder and opens it.
    void ViewArchiveItem(int row, const FileViewer& viewer);
    const std::set<std::string>& tempFiles() const { return tempFiles_; }
    // The archive file changed (items added or deleted): its listing entry follows.
    void refreshAfterArchiveChange();
    std::string searchText;  // kept between searches

    // Closing: deletes the viewed files, writes [LastBacked]; then, unless the console
    // runs for a command-line project or the platform shuts down, asks when ConfirmExit
    // is on. False: the user chose to stay.
    bool closeRequested(bool platformShutdown = false);
    // The session manager saves the session: [LastBacked] is written now, so the recent
    // projects survive however the session then ends. False when it could not be written.
    bool saveSessionState();

    LastBackedList& lastBacked() { return command_.lastBacked; }
    ChangeWatchList& changeWatch() { return command_.changeWatch; }
    bool reminderSuspended() const { return command_.reminderSuspended; }
    // Settings the console reads again after every command.
    void rereadSettings();
    bool toolTipsDisabled() const { return toolTipsDisabled_; }
    bool startMinimized() const { return startMinimized_; }

private:
    void clearContents();
    void loadContents();
    void removeTempFiles();
    std::string viewFolder();

    const Services& s_;
    std::string commandLineProject_;
    bool catalogOpen_ = false;
    std::vector<Project> projects_;
    int projectRow_ = -1;
    std::string notes_;
    BackupCommandState command_;
    std::vector<std::uint8_t> backupMarks_;
    int backupRow_ = -1;
    std::string comment_;
    bool contentsLoaded_ = false;
    int sortChoice_ = 1;
    bool reversed_ = false;
    ConsoleTab tab_ = ConsoleTab::Projects;
    int busy_ = 0;
    RunActivity runActivity_;
    std::set<std::string> tempFiles_;
    std::string viewFolder_;
    bool toolTipsDisabled_ = false;
    bool startMinimized_ = false;
};

}  // namespace quillet
