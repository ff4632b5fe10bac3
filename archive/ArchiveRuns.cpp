#include "archive/ArchiveRuns.h"

#include <algorithm>
#include <utility>

#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "framework/records/RunHistory.h"
#include "lsp/lsp.h"
#include "platform/FileSystem.h"
#include "platform/TerminationSignals.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

extern "C" {
static void onProgress(void* context, int percent) {
    static_cast<ArchiveRun*>(context)->libraryProgress(percent);
}
static int onStopRequested(void* context) {
    return static_cast<ArchiveRun*>(context)->libraryStopRequested() ? 1 : 0;
}
static void onPump(void* context) {
    static_cast<ArchiveRun*>(context)->libraryPump();
}
static int onAsk(void* context, const char* question, const char* title) {
    return static_cast<ArchiveRun*>(context)->libraryAsk(question, title);
}
}

// A folder as the root entry keeps it: blanks at the end and a trailing "/" dropped.
std::string bareFolder(std::string folder) {
    folder = std::string(trimRight(folder));
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string withSlash(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

std::string errorsSummary(std::int64_t errors) {
    return "Completed - " + std::to_string(errors) + " Error(s)";
}

// ---- ArchiveRun ----------------------------------------------------------------------

ArchiveRun::ArchiveRun(ArchiveRunServices services, ArchiveRunView& view) : s_(services), view_(view) {}

ArchiveRun::~ArchiveRun() {
    // The library must not call into a run that is gone.
    LSP_UINIT_MP(nullptr);
    if (began_) s_.archive.USE_LSP_MESSAGE_PUMP = savedPump_;
    setWaitCursor(false);
}

void ArchiveRun::setWaitCursor(bool on) {
    if (on == waitCursor_) return;
    waitCursor_ = on;
    s_.dialogs.setWaitCursor(on);
}

void ArchiveRun::buildWork() {
    work_.clear();
    const auto& items = s_.archive.LSPQ;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].MARK == 0) continue;
        WorkEntry e;
        e.text = entryText(i);
        e.size = items[i].UNCOMPRESSED_SIZE;
        e.index = i;
        work_.push_back(std::move(e));
    }
}

void ArchiveRun::setButtonLabel(const std::string& label) {
    buttonLabel_ = label;
    view_.setButtonLabel(label);
}

void ArchiveRun::begin() {
    completedSound_ = s_.settings.read("Sounds", "Completed");
    errorSound_ = s_.settings.read("Sounds", "Error");
    next_ = done_ = 0;
    errors_ = 0;
    overwriteAll_ = false;
    for (WorkEntry& e : work_) {
        e.icon = workicon::Waiting;
        e.status = 0;
    }
    // Progress, stop requests and questions of every item come back through this run.
    if (!began_) savedPump_ = s_.archive.USE_LSP_MESSAGE_PUMP;
    began_ = true;
    s_.archive.USE_LSP_MESSAGE_PUMP = 1;
    const LSP_HOST host{this, onProgress, onStopRequested, onPump, onAsk};
    LSP_UINIT_MP(&host);
    setButtonLabel(archivetext::CancelButton);
    view_.setProgress(0);
    // Held for the whole run, as the backup holds it: each item's own wait cursor then
    // nests inside it instead of switching the cursor of every window twice per item.
    setWaitCursor(true);
    phase_ = Phase::Running;
    recorded_ = false;
    if (history_.clock) started_ = history_.clock->now();
}

RunHistoryTarget historyTarget(Catalog& catalog, const std::string& projectName, const std::string& archivePath,
                               const std::string& historyFolder, const Clock& clock) {
    RunHistoryTarget t;
    t.folder = historyFolder;
    t.clock = &clock;
    t.project = std::string(trimRight(projectName));
    if (!catalog.isOpen()) return t;
    if (!t.project.empty()) {
        if (auto row = catalog.projects().byName(t.project); row && *row) {
            t.sysId = (*row)->SYSID;
            return t;
        }
    }
    const std::string file = archivePath.substr(archivePath.rfind('/') + 1);
    if (file.size() >= 4) {
        if (auto row = catalog.projects().byPrefix(file.substr(0, 4)); row && *row) {
            t.sysId = (*row)->SYSID;
            t.project = std::string(trimRight((*row)->NAME));
        }
    }
    return t;
}

void ArchiveRun::recordEnd() {
    if (recorded_) return;
    if (history_.complete) std::exchange(history_.complete, nullptr)(history_);
    if (history_.folder.empty()) return;
    recorded_ = true;
    HistoryRun run;
    run.sysId = history_.sysId;
    run.project = history_.project;
    run.kind = kind();
    run.archive = s_.archive.ARCHIVE_NAME;
    run.started = started_;
    run.ended = history_.clock ? history_.clock->now() : started_;
    run.succeeded = errors_ == 0 && !cancelled_;
    run.result = summary_;
    for (std::size_t i = 0; i < done_ && i < work_.size(); ++i) {
        const WorkEntry& e = work_[i];
        if (e.status == LSP_OK) {
            ++run.files;
            run.bytes += e.size;
        } else {
            run.failed.emplace_back(e.text, lspclass::ItemErrorText(e.status, s_.archive.LSPQ[e.index]));
        }
    }
    run.failedCount = static_cast<std::int64_t>(run.failed.size());
    RunHistory history(history_.folder);
    if (auto written = history.record(run); !written) RunHistory::reportProblem(written.error());
}

void ArchiveRun::step() {
    if (phase_ != Phase::Running) return;
    // SIGTERM, SIGINT, SIGHUP stop the run as Cancel does, without the question.
    if (terminationRequested()) {
        endCancelled();
        return;
    }
    WorkEntry& entry = work_[next_];
    itemBar_ = entry.size > WorkItemBarThreshold;
    view_.setItemProgress(itemBar_ ? 0 : -1);
    inCall_ = true;
    const std::int16_t status = runItem(entry);
    inCall_ = false;

    if (confirmPending_) {
        // The button was pressed while the library worked: it has given up the item, so
        // the question comes now. "No" does the item again rather than count it as bad.
        confirmPending_ = false;
        stopRequested_ = false;
        if (!confirmCancel()) return;
        if (status == LSP_CANCELLED) return;
    }

    entry.status = status;
    entry.icon = status == LSP_OK ? workicon::Good : workicon::Bad;
    if (status != LSP_OK) ++errors_;
    ++done_;
    const std::size_t row = next_++;
    view_.entryChanged(row);
    view_.setProgress(static_cast<int>(done_ * 100 / work_.size()));
    if (done_ == work_.size()) {
        finish();
    } else if (endsRun(status) || terminationRequested()) {
        endCancelled();
    }
}

void ArchiveRun::finish() {
    view_.setProgress(100);
    phase_ = Phase::Finished;
    setWaitCursor(false);
    setButtonLabel(archivetext::CloseButton);
    if (errors_ == 0) {
        PlayEventSound(s_.sounds, completedSound_);
        summary_ = successSummary();
    } else {
        PlayEventSound(s_.sounds, errorSound_);
        summary_ = errorsSummary(errors_);
    }
    view_.setStatus(summary_);
    view_.showStatusLine();
    view_.setItemProgress(-1);
    recordEnd();
}

void ArchiveRun::endCancelled() {
    phase_ = Phase::Finished;
    setWaitCursor(false);
    cancelled_ = true;
    setButtonLabel(archivetext::CloseButton);
    summary_ = archivetext::Canceled;
    view_.setStatus(summary_);
    view_.showStatusLine();
    view_.setItemProgress(-1);
    recordEnd();
}

// true when the user confirmed: the window closes.
bool ArchiveRun::confirmCancel() {
    s_.dialogs.beep();
    const int answer = s_.dialogs.message(archivetext::CancelQuestion, archivetext::CancelTitle, Icon::Question,
                                          buttons::YesNo, answer::No);
    if (answer != answer::Yes) return false;
    cancelled_ = true;
    if (summary_.empty()) summary_ = archivetext::Canceled;
    recordEnd();
    close();
    return true;
}

void ArchiveRun::close() {
    phase_ = Phase::Closed;
    setWaitCursor(false);
    view_.closeWindow();
}

void ArchiveRun::buttonPressed() {
    switch (phase_) {
        case Phase::Closed:
            return;
        case Phase::Finished:
            close();
            return;
        case Phase::Editing:
        case Phase::Running:
            break;
    }
    if (inCall_) {
        stopRequested_ = true;
        confirmPending_ = true;
        return;
    }
    confirmCancel();
}

void ArchiveRun::libraryProgress(int percent) {
    if (itemBar_) view_.setItemProgress(percent);
}

bool ArchiveRun::libraryStopRequested() {
    return stopRequested_ || view_.cancelRequested() || terminationRequested();
}

void ArchiveRun::libraryPump() {
    view_.pumpEvents();
}

int ArchiveRun::libraryAsk(const char* question, const char* title) {
    if (overwriteAll_) return LSP_ANSWER_YES;
    const int answer = s_.dialogs.message(question ? question : "", title ? title : "", Icon::Question,
                                          archivetext::OverwriteButtons, 2);
    switch (answer) {
        case 1:
            return LSP_ANSWER_YES;
        case 3:
            overwriteAll_ = true;
            return LSP_ANSWER_YES;
        case 4:
            return LSP_ANSWER_CANCEL;
        default:
            return LSP_ANSWER_NO;
    }
}

// ---- TestRun -------------------------------------------------------------------------

TestRun::TestRun(ArchiveRunServices services, ArchiveRunView& view) : ArchiveRun(services, view) {}

void TestRun::open() {
    if (phase_ != Phase::Editing) return;
    buildWork();
    view_.showWork(work_);
    if (work_.empty()) {
        s_.dialogs.message(archivetext::NothingToTest, archivetext::NothingToTestTitle, Icon::Exclamation);
        close();
        return;
    }
    begin();
}

const char* TestRun::kind() const {
    return runkind::Test;
}

const char* RestoreRun::kind() const {
    return runkind::Restore;
}

std::string TestRun::entryText(std::size_t index) const {
    const LSPQEntry& e = s_.archive.LSPQ[index];
    return e.ITEM_PATH_NAME + e.FILENAME;
}

std::int16_t TestRun::runItem(const WorkEntry& entry) {
    // The low byte of the status, read as the signed status it was.
    return static_cast<std::int8_t>(s_.archive.Test(entry.index));
}

// ---- destinations --------------------------------------------------------------------

std::vector<std::string> loadDestinations(const Settings& settings) {
    std::vector<std::string> list;
    for (int slot = 1; slot <= DestinationSlots; ++slot) {
        std::string value(trimRight(settings.read("DestinationMRU", std::to_string(slot))));
        if (!value.empty()) list.push_back(std::move(value));
    }
    return list;
}

bool rememberDestination(Settings& settings, std::vector<std::string>& destinations, const std::string& root) {
    destinations.erase(std::remove(destinations.begin(), destinations.end(), root), destinations.end());
    destinations.insert(destinations.begin(), root);
    if (destinations.size() > static_cast<std::size_t>(DestinationSlots)) destinations.resize(DestinationSlots);
    bool ok = true;
    for (int slot = 1; slot <= DestinationSlots; ++slot) {
        const auto at = static_cast<std::size_t>(slot - 1);
        ok = settings.write("DestinationMRU", std::to_string(slot), at < destinations.size() ? destinations[at] : "") &&
             ok;
    }
    return ok;
}

// ---- RestoreRun ----------------------------------------------------------------------

RestoreRun::RestoreRun(ArchiveRunServices services, ArchiveRunView& view) : ArchiveRun(services, view) {}

void RestoreRun::open() {
    destinations_ = loadDestinations(s_.settings);
    std::string root = destinations_.empty() ? std::string() : destinations_.front();
    if (root.empty()) root = std::string(trimRight(s_.settings.read("Defaults", "ExtractionPath")));
    if (root.empty()) root = s_.archive.TEMP_PATH;
    setRoot(root);
}

void RestoreRun::setRoot(const std::string& folder) {
    root_ = bareFolder(folder);
    buildWork();
    view_.showWork(work_);
}

std::string RestoreRun::targetOf(std::size_t index) const {
    const LSPQEntry& e = s_.archive.LSPQ[index];
    // Stored paths land below the root whether the archive holds them absolute
    // ("/home/...") or relative ("docs/"), as the library writes them.
    std::string path = s_.archive.USE_PATH_INFO != 0 ? e.ITEM_PATH_NAME : std::string();
    const std::size_t start = path.find_first_not_of('/');
    path = start == std::string::npos ? std::string() : path.substr(start);
    return withSlash(root_) + path + e.FILENAME;
}

RestoreRun::RootOutcome RestoreRun::acceptRoot(const std::string& typed) {
    const std::string saved = s_.fs.currentFolder();
    std::string wanted = bareFolder(typed);
    if (!wanted.empty() && wanted.front() == '~') wanted = expandHome(wanted);
    if (!wanted.empty() && s_.fs.setCurrentFolder(wanted).ok()) {
        const std::string entered = s_.fs.currentFolder();
        (void)s_.fs.setCurrentFolder(saved);
        setRoot(entered);
        return {root_, true};
    }
    std::optional<std::string> picked = s_.dialogs.pickFolder(archivetext::PickPathTitle, saved);
    std::string replacement = picked ? *picked : s_.settings.read("Defaults", "ExtractionPath", s_.fs.currentFolder());
    if (trimRight(replacement).empty()) replacement = saved;
    (void)s_.fs.setCurrentFolder(saved);
    setRoot(replacement);
    return {root_, false};
}

std::optional<std::string> RestoreRun::pickRoot() {
    const std::string saved = s_.fs.currentFolder();
    std::optional<std::string> picked = s_.dialogs.pickFolder(archivetext::PickPathTitle, root_);
    (void)s_.fs.setCurrentFolder(saved);
    if (!picked) return std::nullopt;
    setRoot(*picked);
    return root_;
}

void RestoreRun::setOverwrite(std::uint8_t option) {
    s_.archive.UNPACK_OVERWRITE_OPTION = option;
}

void RestoreRun::setCreateDirectory(bool on) {
    s_.archive.CREATE_DIRECTORY = on ? 1 : 0;
}

void RestoreRun::setUsePathInfo(bool on) {
    s_.archive.USE_PATH_INFO = on ? 1 : 0;
    buildWork();
    view_.showWork(work_);
}

void RestoreRun::removeEntry(std::size_t row) {
    if (phase_ != Phase::Editing || row >= work_.size()) return;
    work_.erase(work_.begin() + static_cast<std::ptrdiff_t>(row));
    view_.showWork(work_);
}

void RestoreRun::start() {
    if (phase_ != Phase::Editing) return;
    if (work_.empty()) {
        s_.dialogs.message(archivetext::NothingToRestore, archivetext::NothingToDoTitle, Icon::Exclamation);
        close();
        return;
    }
    rememberDestination(s_.settings, destinations_, root_);
    shownErrors_.clear();
    begin();
}

std::int16_t RestoreRun::runItem(const WorkEntry& entry) {
    // The library takes the root with its "/"; "/" itself is the whole disk.
    // (The current folder is the file system's own and no extraction moves it.)
    s_.archive.UNPACK_DIRECTORY = withSlash(root_);
    // One box for each kind of failure: a run whose items all fail the same way (thousands
    // of them into folders that are not there) would otherwise stop at every item and
    // never come to its end. Each failed item is still marked bad and counted.
    const std::int16_t status = s_.archive.Extract(entry.index, false);
    if (status > 1 && shownErrors_.insert(status).second) {
        std::string text = lspclass::ItemErrorText(status, s_.archive.LSPQ[entry.index]);
        if (status == LSP_E_CREATE_OUTPUT && s_.archive.USE_PATH_INFO != 0 && s_.archive.CREATE_DIRECTORY == 0)
            text += archivetext::MissingFolderHint;
        s_.dialogs.message(text, "Error", Icon::Exclamation);
    }
    return status;
}

bool RestoreRun::endsRun(std::int16_t status) const {
    return status == LSP_CANCELLED || status == LSP_INTERRUPTED;
}

}  // namespace quillet
