#include "app/ConsoleState.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <tuple>

#include "app/ArchiveVersions.h"
#include "app/RunStatus.h"
#include "catalog/ArchiveComment.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "lsp/lsp.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

constexpr const char* ExecuteTip = "Backup the currently selected project according to criteria set.";

std::string trimmed(const std::string& text) {
    return std::string(trimRight(text));
}

// Where newer compression libraries are described: the manual's section on them.
std::string librariesAddress(const Paths& paths) {
    return "file://" + paths.manualFolder + "index.html#libraries";
}

}  // namespace

void sortArchiveItems(std::vector<LSPQEntry>& items, int choice, bool reversed) {
    auto by = [reversed](auto key) {
        return [key, reversed](const LSPQEntry& a, const LSPQEntry& b) {
            return reversed ? key(b) < key(a) : key(a) < key(b);
        };
    };
    switch (choice) {
        case 2:
            std::stable_sort(items.begin(), items.end(), by([](const LSPQEntry& e) { return std::tie(e.SORTNAME); }));
            break;
        case 3:
            std::stable_sort(items.begin(), items.end(),
                             by([](const LSPQEntry& e) { return std::tie(e.EXTENSION, e.SORTNAME); }));
            break;
        case 4:
            std::stable_sort(items.begin(), items.end(),
                             by([](const LSPQEntry& e) { return std::tie(e.LAST_MOD_FILE_DATE, e.SORTNAME); }));
            break;
        case 5:
            std::stable_sort(items.begin(), items.end(),
                             by([](const LSPQEntry& e) { return std::tie(e.UNCOMPRESSED_SIZE, e.SORTNAME); }));
            break;
        case 6:
            std::stable_sort(items.begin(), items.end(),
                             by([](const LSPQEntry& e) { return std::tie(e.COMPRESSED_SIZE, e.SORTNAME); }));
            break;
        case 7:
            std::stable_sort(items.begin(), items.end(),
                             by([](const LSPQEntry& e) { return std::tie(e.SORT_PATH_NAME, e.SORTNAME); }));
            break;
        default:
            std::stable_sort(items.begin(), items.end(),
                             by([](const LSPQEntry& e) { return std::tie(e.SORT_ORIGINAL_ORDER); }));
            break;
    }
}

int sortChoiceForColumn(int column) {
    switch (column) {
        case 0:
            return 7;  // Path Name
        case 1:
            return 2;  // Filename
        case 2:
            return 3;  // Type
        case 3:
            return 4;  // Date
        case 5:
            return 5;  // Size
        case 7:
            return 6;  // Packed
        default:
            return 0;
    }
}

std::vector<PopupEntry> parsePopupText(const std::string& text) {
    std::vector<PopupEntry> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t bar = text.find('|', start);
        std::string part = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        PopupEntry e;
        if (part == "-") {
            e.separator = true;
        } else {
            if (!part.empty() && part.front() == '~') {
                e.enabled = false;
                part.erase(0, 1);
            }
            e.label = part;
        }
        out.push_back(e);
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return out;
}

std::string backupsPopupText(bool favorites) {
    std::string text =
        "Select All|Unselect All|Delete Selected|-|Test Selected Backup|Restore Selected Backup|-|Copy (Single File) "
        "to Other Directory";
    if (favorites) text += "|Rename (Single File)";
    return text;
}

// ---- ConsoleState ----

ConsoleState::ConsoleState(const Services& services, std::string commandLineProject)
    : s_(services), commandLineProject_(std::move(commandLineProject)) {
    command_.rereadSettings = [this] { rereadSettings(); };
}

ConsoleState::~ConsoleState() {
    removeTempFiles();
    if (!viewFolder_.empty()) (void)s_.fs.removeFolder(viewFolder_);
    command_.changeWatch.clear();
    if (catalogOpen_) s_.catalog.close();
}

bool ConsoleState::open() {
    if (LSP_P_VERSION() < 1700 || LSP_U_VERSION() < 1700) {
        s_.dialogs.message("LSPack Version: " + std::to_string(LSP_P_VERSION()) +
                               "  LSUnPack Version: " + std::to_string(LSP_U_VERSION()) +
                               "|You need a more recent LSP version to run this application. Go to " +
                               librariesAddress(s_.paths) + " for more information",
                           "", Icon::None, buttons::Ok, 1);
    }
    if (Status opened = s_.catalog.open(); !opened) {
        s_.dialogs.message(opened.error(), "Quillet Message", Icon::Exclamation, buttons::Ok, 1);
        return false;
    }
    catalogOpen_ = true;
    rereadSettings();
    command_.lastBacked = LastBackedList::load(s_.settings);
    reloadProjects();
    // The project backed up last is the one in hand when the console opens.
    if (const std::int32_t last = command_.lastBacked.entries[0]; last != 0) {
        for (std::size_t i = 0; i < projects_.size(); ++i)
            if (projects_[i].SYSID == last) selectProject(static_cast<int>(i));
    }
    return true;
}

void ConsoleState::rereadSettings() {
    command_.reminderSuspended = false;
    toolTipsDisabled_ = s_.settings.readFlag("Preferences", "DisableToolTips");
    startMinimized_ = s_.settings.readFlag("Preferences", "StartMinimized");
    s_.archive.LoadPreferences();
}

void ConsoleState::reloadProjects(std::int32_t selectSysId) {
    const int previous = projectRow_;
    projects_.clear();
    auto store = s_.catalog.projects();
    if (store.setKey(catalog::K_Name)) {
        if (auto all = store.all()) projects_ = std::move(*all);
    }
    int row = projects_.empty() ? -1 : std::clamp(previous < 0 ? 0 : previous, 0, int(projects_.size()) - 1);
    if (selectSysId != 0)
        for (std::size_t i = 0; i < projects_.size(); ++i)
            if (projects_[i].SYSID == selectSysId) row = static_cast<int>(i);
    projectRow_ = -2;  // forces the selection to be taken afresh
    selectProject(row);
}

const Project* ConsoleState::project() const {
    if (projectRow_ < 0 || projectRow_ >= int(projects_.size())) return nullptr;
    return &projects_[projectRow_];
}

void ConsoleState::selectProject(int row) {
    projectRow_ = (row >= 0 && row < int(projects_.size())) ? row : -1;
    const Project* p = project();
    notes_ = p ? "Notes:\r\n\r\n" + p->NOTES : std::string();
    refreshBackupList();
}

std::string ConsoleState::windowTitle() const {
    const Project* p = project();
    return "Quillet - [" + (p ? trimmed(p->NAME) : std::string("No Projects")) + "]";
}

std::vector<std::string> ConsoleState::prefixesInUse() const {
    std::vector<std::string> out;
    for (const Project& p : projects_)
        if (!trimmed(p.PREFIX).empty()) out.push_back(trimmed(p.PREFIX));
    std::sort(out.begin(), out.end());
    return out;
}

void ConsoleState::refreshBackupList() {
    const Project* p = project();
    RefreshBackupList(s_.fs, p ? std::optional<Project>(*p) : std::nullopt, s_.paths.programFolder, command_.backups);
    if (!command_.backups.reachable) {
        // The path-error text (or the no-projects text) takes the notes area's place.
        notes_ = command_.backups.pathErrorText;
    } else if (p) {
        notes_ = "Notes:\r\n\r\n" + p->NOTES;
    }
    backupMarks_.assign(command_.backups.list.size(), 0);
    selectBackup(command_.backups.list.empty() ? -1 : 0, true);
}

void ConsoleState::setBackupMark(int row, bool marked) {
    if (row >= 0 && row < int(backupMarks_.size())) backupMarks_[row] = marked ? 1 : 0;
}

const DirEntry* ConsoleState::currentBackup() const {
    if (backupRow_ < 0 || backupRow_ >= int(command_.backups.list.size())) return nullptr;
    return &command_.backups.list[backupRow_];
}

std::string ConsoleState::archivePath() const {
    const DirEntry* e = currentBackup();
    const Project* p = project();
    if (!e || !p) return {};
    return destinationFolder(p->DESTINATIONPATH) + e->shortName;
}

void ConsoleState::clearContents() {
    s_.archive.LSPQ.clear();
    s_.archive.S_COUNT_FILES = 0;
    s_.archive.S_UNCOMPRESSED_SIZE = 0;
    s_.archive.S_COMPRESSED_SIZE = 0;
    s_.archive.S_COMPRESSION_RATIO = 0;
    contentsLoaded_ = false;
}

void ConsoleState::selectBackup(int row, bool fromList) {
    clearContents();
    backupRow_ = (row >= 0 && row < int(command_.backups.list.size())) ? row : -1;
    if (!currentBackup()) {
        comment_.clear();
        return;
    }
    s_.archive.ARCHIVE_NAME = archivePath();
    // The contents are read only when they are on view.
    if (tab_ == ConsoleTab::Details) loadContents();
    if (fromList) {
        comment_ = ReadArchiveComment(s_.archive, s_.paths.programFolder);
        // Reading the comment used the item fields; the archive in hand is unchanged.
        s_.archive.ARCHIVE_NAME = archivePath();
    }
}

void ConsoleState::loadContents() {
    if (!currentBackup()) return;
    s_.archive.ARCHIVE_NAME = archivePath();
    s_.archive.ReadDirectory();
    contentsLoaded_ = true;
    if (sortChoice_ != 1 || reversed_) sortArchiveItems(s_.archive.LSPQ, sortChoice_, reversed_);
}

void ConsoleState::reloadContents() {
    clearContents();
    if (tab_ == ConsoleTab::Details) loadContents();
}

void ConsoleState::setSort(int choice, bool reversed) {
    sortChoice_ = std::clamp(choice, 1, 7);
    reversed_ = reversed;
    if (tab_ == ConsoleTab::Details) sortArchiveItems(s_.archive.LSPQ, sortChoice_, reversed_);
}

void ConsoleState::setTab(ConsoleTab tab) {
    tab_ = tab;
    sortChoice_ = 1;
    reversed_ = false;
    selectBackup(backupRow_, false);
}

ToolbarState ConsoleState::toolbar() const {
    ToolbarState t;
    const Project* p = project();
    const bool favorites = p && p->FAVORITES == 1;
    const bool haveArchives = !command_.backups.list.empty();
    const bool haveItems = !items().empty();
    t.execute.enabled = p && !favorites;
    t.execute.tip = ExecuteTip;
    t.test.tip = "Test Currently Selected Backup File";
    t.find.tip = "Find File(s) in Backup Set";
    t.copy.tip = "Copy Selected Project";
    t.contentsPopup = ContentsPopupNone;
    switch (tab_) {
        case ConsoleTab::Projects:
            t.add = {true, true, "Create a new Project"};
            t.restore = {p != nullptr, true, "Edit Selected Project"};
            t.remove = {p != nullptr, true, "Delete Selected Project"};
            t.copy = {p != nullptr && !favorites, true, "Copy Selected Project"};
            t.test.visible = false;
            t.find.visible = false;
            break;
        case ConsoleTab::Backups: {
            const bool selected = haveArchives && currentBackup() != nullptr;
            t.add = {false, true, "Create a new Project"};
            t.restore = {selected, true, "Restore currently selected backup file (single backup file only)"};
            t.remove = {haveArchives, true, "Delete Selected Backup File"};
            t.test = {haveArchives && selected, true, "Test Currently Selected Backup File"};
            t.copy = {haveArchives, true, "Copy Selected Backup File to New Destination"};
            t.find.visible = false;
            t.selectAll = t.deselectAll = haveArchives;
            break;
        }
        case ConsoleTab::Details:
            t.addsFile = true;
            t.copy = {false, true, "Copy Selected Backup File to New Destination"};
            t.restore = {haveItems, true, "Restore Seleted File(s) from Backup"};
            t.remove = {haveItems, true, "Delete Selected File(s) from Backup Set"};
            t.test = {haveItems, true, "Test Selected Files inside Backup Set"};
            t.find = {haveItems, haveItems, "Find File(s) in Backup Set"};
            t.selectAll = t.deselectAll = t.flipAll = haveItems;
            t.add = {haveArchives, true, "Add a File to Backup Set"};
            t.contentsPopup = !haveArchives ? ContentsPopupNone : haveItems ? ContentsPopupFull : ContentsPopupAddOnly;
            break;
    }
    t.tipsShown = !toolTipsDisabled_;
    return t;
}

void ConsoleState::mark(MarkAction action) {
    auto apply = [action](std::uint8_t& m) {
        m = action == MarkAction::All ? 1 : action == MarkAction::None ? 0 : (m ? 0 : 1);
    };
    if (tab_ == ConsoleTab::Details) {
        for (LSPQEntry& e : s_.archive.LSPQ) apply(e.MARK);
    } else if (tab_ == ConsoleTab::Backups && action != MarkAction::Flip) {
        for (std::uint8_t& m : backupMarks_) apply(m);
    }
}

// ---- commands ----

ConsoleState::Command::Command(ConsoleState& state) : state_(state), started_(state.busy_ == 0) {
    if (!started_) {
        state_.s_.dialogs.message("Quillet is still busy with the last command.|Please try again when it has finished.",
                                  "Quillet", Icon::Exclamation, buttons::Ok, 1);
        return;
    }
    ++state_.busy_;
    activity_.emplace(state_.runActivity_);
    // No reminder fires while a command runs.
    state_.command_.reminderSuspended = true;
}

ConsoleState::Command::~Command() {
    if (!started_) return;
    --state_.busy_;
    state_.rereadSettings();
}

ExecuteOutcome ConsoleState::executeBackup(BackupRunDriver& driver, std::int32_t sysId) {
    std::optional<Project> target;
    if (sysId != 0) {
        auto found = s_.catalog.projects().bySysId(sysId);
        if (found && found->has_value()) target = **found;
    } else if (const Project* p = project()) {
        target = *p;
    }
    command_.commandLineRun = !commandLineProject_.empty();
    // How the run ended is kept for the notification-area icon and its tip.
    RecordingBackupDriver recording(driver);
    const DateTime started = s_.clock.now();
    const ExecuteOutcome outcome = ExecuteBackup(s_, command_, target, recording);
    if (target && outcome != ExecuteOutcome::NotRun) {
        RunStatusStore store(runStatusFolder(s_.paths.dataFolder));
        (void)recordBackupRun(store, recording, target->SYSID, trimmed(target->NAME),
                              outcome == ExecuteOutcome::Succeeded, s_.clock.now(), {}, started);
    }
    // The list on view is the selected project's, whichever project was backed up.
    refreshBackupList();
    return outcome;
}

void ConsoleState::deleteArchiveFiles() {
    const Project* p = project();
    if (!p || command_.backups.list.empty()) return;
    const int reply = s_.dialogs.message("Would you like to delete the currently selected file(s)?",
                                         "Delete backup file", Icon::Exclamation, buttons::YesNo, answer::No);
    if (reply != answer::Yes) return;
    const std::string folder = destinationFolder(p->DESTINATIONPATH);
    // A backup run renumbering this folder must not see its archives vanish under it.
    const FolderLock lock(folder, trimmed(p->NAME));
    if (lock.state() == FolderLock::State::Busy) {
        s_.dialogs.message(folderInUseText(folder, lock.holder()), FolderInUseTitle, Icon::Exclamation, buttons::Ok, 1);
        return;
    }
    std::vector<std::string> deleted;
    for (std::size_t i = command_.backups.list.size(); i-- > 0;) {
        if (!backupMarks_[i]) continue;
        // A file that cannot be deleted is passed over.
        (void)s_.fs.removeFile(folder + command_.backups.list[i].shortName);
        deleted.push_back(folder + command_.backups.list[i].shortName);
        command_.backups.list.erase(command_.backups.list.begin() + static_cast<std::ptrdiff_t>(i));
        backupMarks_.erase(backupMarks_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    // The deleted archives leave the index of archive directories.
    indexArchives(s_.catalog.database().folder(), deleted);
    refreshBackupList();
}

void ConsoleState::deleteArchiveItems() {
    if (!currentBackup() || items().empty()) return;
    const int reply = s_.dialogs.message("Are you sure that you want to delete the selected files from this Backup?",
                                         "Delete files from Backup", Icon::Question, buttons::YesNo, answer::No);
    if (reply != answer::Yes) return;
    s_.archive.ARCHIVE_NAME = archivePath();
    s_.archive.SetPackFlags();
    // One rewrite of the archive for all of them: N items do not copy the archive N times.
    (void)s_.archive.DeleteMarked(1);
    const int choice = sortChoice_;
    const bool rev = reversed_;
    reloadContents();
    setSort(choice, rev);
    refreshAfterArchiveChange();
}

void ConsoleState::refreshAfterArchiveChange() {
    // The archive file's size changed: the list entry and "Size (After)" follow it.
    const int row = backupRow_;
    const Project* p = project();
    RefreshBackupList(s_.fs, p ? std::optional<Project>(*p) : std::nullopt, s_.paths.programFolder, command_.backups);
    backupMarks_.resize(command_.backups.list.size(), 0);
    backupRow_ = (row >= 0 && row < int(command_.backups.list.size())) ? row : -1;
}

void ConsoleState::offerCleanUp(const std::string& destination) {
    const int reply = s_.dialogs.message("Would you also like to delete the Backup files associated with this project?",
                                         "Clean-up", Icon::Question, buttons::YesNo, answer::No);
    if (reply != answer::Yes) return;
    const std::string folder = destinationFolder(destination);
    const FolderLock lock(folder, "");
    if (lock.state() == FolderLock::State::Busy) {
        s_.dialogs.message(folderInUseText(folder, lock.holder()), FolderInUseTitle, Icon::Exclamation, buttons::Ok, 1);
        return;
    }
    for (const DirEntry& e : command_.backups.list) (void)s_.fs.removeFile(folder + e.shortName);
}

void ConsoleState::addFileToArchive() {
    if (!currentBackup()) return;
    s_.archive.ARCHIVE_NAME = archivePath();
    s_.archive.COMPRESSION_METHOD = 2;
    // Its result does not tell a cancelled chooser from a packed file: read the archive again.
    (void)s_.archive.Add();
    const int choice = sortChoice_;
    const bool rev = reversed_;
    reloadContents();
    setSort(choice, rev);
    refreshAfterArchiveChange();
}

bool ConsoleState::prepareWholeArchive() {
    if (!currentBackup()) return false;
    if (!contentsLoaded_) loadContents();
    for (LSPQEntry& e : s_.archive.LSPQ) e.MARK = 1;
    s_.archive.USE_LSP_MESSAGE_PUMP = 1;
    return true;
}

std::string ConsoleState::viewFolder() {
    if (!viewFolder_.empty() && s_.fs.folderExists(viewFolder_)) return viewFolder_;
    std::string base = trimmed(s_.archive.TEMP_PATH);
    if (base.empty()) base = tempFolder();
    if (base.back() != '/') base.push_back('/');
    // A folder of the console's own, readable by its owner only: an item name chosen by
    // whoever made the archive never meets another user's file in a shared folder.
    std::string pattern = base + "quillet-view-XXXXXX";
    if (!::mkdtemp(pattern.data())) return {};
    viewFolder_ = pattern + "/";
    return viewFolder_;
}

void ConsoleState::ViewArchiveItem(int row, const FileViewer& viewer) {
    lspclass& a = s_.archive;
    if (row < 0 || row >= int(a.LSPQ.size())) {
        s_.dialogs.message("Error Reading the File Queue!", "Queue Error", Icon::Exclamation, buttons::Ok, 1);
        return;
    }
    const LSPQEntry& e = a.LSPQ[row];
    a.ITEM_NAME = e.FILENAME;
    a.PATH_INFO = e.ITEM_PATH_NAME;
    if (trimmed(a.TEMP_PATH).empty()) a.TEMP_PATH = tempFolder();
    const std::string folder = viewFolder();
    if (folder.empty()) {
        s_.dialogs.message("Cannot make a folder for viewing in " + a.TEMP_PATH, "Error", Icon::Exclamation,
                           buttons::Ok, 1);
        return;
    }
    a.USE_LSP_MESSAGE_PUMP = 0;
    std::int16_t status;
    {
        WaitCursor wait(s_.dialogs);
        // The folder is the console's own: a second view of the same item replaces the first.
        status = LSP_UNPACK(a.ITEM_NAME.c_str(), a.PATH_INFO.c_str(), a.ARCHIVE_NAME.c_str(), folder.c_str(),
                            LSP_UF_ALWAYS_OVERWRITE);
    }
    if (status > 1) {
        s_.dialogs.message(lspclass::ItemErrorText(status, e), "Error", Icon::Exclamation, buttons::Ok, 1);
        return;
    }
    const std::string file = folder + e.FILENAME;
    tempFiles_.insert(file);
    const OpenAttempt opened = viewer.openWithDesktop ? viewer.openWithDesktop(file) : OpenAttempt{false, true, {}};
    if (opened.opened) return;
    if (opened.noAssociation) {
        const int reply = s_.dialogs.message(
            "There is no application associated|with the given filename extension.||Would you like to open this "
            "file with a text editor?||",
            "No Associated File", Icon::Question, buttons::YesNo, answer::Yes);
        if (reply == answer::Yes && !(viewer.openInTextEditor && viewer.openInTextEditor(file))) {
            s_.dialogs.beep();
            s_.dialogs.message("No text editor could be started for " + file, "Error", Icon::Exclamation, buttons::Ok,
                               1);
        }
        return;
    }
    s_.dialogs.beep();
    s_.dialogs.message(opened.errorText, "Error", Icon::Exclamation, buttons::Ok, 1);
}

void ConsoleState::removeTempFiles() {
    for (const std::string& f : tempFiles_) (void)s_.fs.removeFile(f);
    tempFiles_.clear();
}

bool ConsoleState::saveSessionState() {
    return command_.lastBacked.save(s_.settings);
}

bool ConsoleState::closeRequested(bool platformShutdown) {
    removeTempFiles();
    command_.lastBacked.save(s_.settings);
    if (platformShutdown || !commandLineProject_.empty()) return true;
    if (!s_.settings.readFlag("Preferences", "ConfirmExit")) return true;
    return s_.dialogs.message("Are you sure that you want to quit?", "Quit Quillet", Icon::Question, buttons::YesNo,
                              answer::Yes) == answer::Yes;
}

}  // namespace quillet
