#include "backup/ScanProjectFiles.h"

#include <algorithm>
#include <optional>

#include "backup/SplitMaskList.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/RunHost.h"
#include "platform/CrashPoint.h"
#include "platform/FileSystem.h"
#include "platform/TerminationSignals.h"
#include "platform/Utf8Text.h"
#include "platform/Wildcard.h"

namespace quillet {

namespace {

constexpr std::uint8_t kNotOrdinary = attrib::System | attrib::Directory;

std::string joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + '/' + name;
}

bool endsInZip(const std::string& name) {
    return name.size() >= 4 && upperCased(std::string_view(name).substr(name.size() - 4)) == ".ZIP";
}

using Files = std::vector<DirEntry>;

// A folder's files in the list's order, in which the selection takes them quickest.
void sortByName(Files& files) {
    std::sort(files.begin(), files.end(),
              [](const DirEntry& a, const DirEntry& b) { return SortNameOrder{}(a.name, b.name); });
}

// One folder found by the walk. With keepFiles the walk also keeps the folder's
// ordinary files from its one listing, so that the scan that follows need not list and
// describe every file a second time.
struct Subfolder {
    std::string DIRNAME;
    std::uint8_t MARK = 0;
    std::string SORTFIELD;
    Files files;
};

struct WalkFailure {
    std::string folder;
    std::string reason;
};

// The system's reason out of a file-system error text ("Cannot enter the folder:
// Permission denied: /path" gives "Permission denied").
std::string reasonOf(const std::string& error) {
    std::string reason = error;
    if (const auto colon = reason.find(": "); colon != std::string::npos) reason.erase(0, colon + 2);
    if (const auto colon = reason.find(": /"); colon != std::string::npos) reason.erase(colon);
    return reason.empty() ? error : reason;
}

// Records a folder the scan leaves out, once; false when the caller keeps no such list
// and the folder must stop the scan instead.
bool skipFolder(ScanServices& s, std::string folder, const std::string& error) {
    if (!s.skipped) return false;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    for (const SkippedFolder& f : *s.skipped)
        if (f.folder == folder) return true;
    s.skipped->push_back({std::move(folder), reasonOf(error)});
    return true;
}

// The walk below one folder, depth first, one folder listing per step: the order of a
// recursive walk (a folder's subfolders from its listing's last entry to its first, each
// walked as soon as it is found), kept on an explicit stack so that a window can stop it
// between two folders.
class FolderWalk {
public:
    enum class Step {
        Listed,  // one folder was listed (a unit of work)
        Moved,   // bookkeeping only
        Done,    // subfolders() holds the result, sorted; the current folder is restored
        Failed,  // the message has been shown
    };

    FolderWalk(ScanServices& s, std::string folder, bool keepFiles)
        : s_(s), folder_(std::move(folder)), keepFiles_(keepFiles) {}

    // Enters the start folder. False (message shown) when it is not there; a start folder
    // that is there but shut is recorded as skipped and the walk is then done at once.
    bool start() {
        remembered_ = s_.fs.currentFolder();
        // The folder as given: the records keep it trimmed, and a path is never trimmed again.
        std::string root = folder_;
        if (root.empty() || root.back() != '/') root += '/';
        if (Status entered = s_.fs.setCurrentFolder(root); !entered) {
            // Only a folder that is not there stops the scan; one that is there but shut is skipped.
            if (s_.fs.folderExists(root) && skipFolder(s_, root, entered.error())) {
                rootSkipped_ = true;
                return true;
            }
            s_.dialogs.message("The Path: " + root + " not found!", "Path not found!", Icon::Exclamation, buttons::Ok);
            return false;
        }
        stack_.push_back(Frame{std::move(root), kRoot, {}, 0, {}, false});
        return true;
    }

    Step step() {
        if (stack_.empty()) return Step::Done;
        Frame& f = stack_.back();
        if (!f.listed) return list(f);
        if (f.next < f.children.size()) {
            std::string dirname = joined(f.folder, f.children[f.next++]);
            std::string sortfield = upperCased(dirname);
            subfolders_.push_back({dirname, 0, std::move(sortfield), {}});
            stack_.push_back(Frame{std::move(dirname), subfolders_.size() - 1, {}, 0, {}, false});
            return Step::Moved;
        }
        // The folder and everything below it are done.
        if (!subfolders_.empty()) s_.host.setFolderLine(subfolders_.back().DIRNAME);
        if (f.index == kRoot)
            rootFiles_ = std::move(f.files);
        else
            subfolders_[f.index].files = std::move(f.files);
        stack_.pop_back();
        return stack_.empty() ? finish() : Step::Moved;
    }

    std::vector<Subfolder>& subfolders() { return subfolders_; }
    Files& rootFiles() { return rootFiles_; }
    // The start folder exists but could not be read and has been recorded as skipped.
    bool rootSkipped() const { return rootSkipped_; }

private:
    static constexpr std::size_t kRoot = static_cast<std::size_t>(-1);

    struct Frame {
        std::string folder;
        std::size_t index;                  // in subfolders_, or kRoot
        std::vector<std::string> children;  // subfolder names, in the order they are walked
        std::size_t next;
        Files files;
        bool listed;
    };

    Step list(Frame& f) {
        f.listed = true;
        if (Status entered = s_.fs.setCurrentFolder(f.folder); !entered) return fail(f.folder, entered.error());
        // One listing of everything; the walk picks the folders out itself.
        auto listing = s_.fs.list(s_.fs.currentFolder(), "*.*", attrib::Directory);
        // A folder that can be entered but not read would silently lose its files.
        if (!listing) return fail(f.folder, listing.error());
        crashPoint(CrashPoint::ScanFolderListed);
        for (auto it = listing->rbegin(); it != listing->rend(); ++it) {
            if (!(it->attrib & attrib::Directory)) continue;  // links to folders are system entries: never followed
            if (it->shortName == "." || it->shortName == "..") continue;
            if (endsInZip(it->name)) continue;
            f.children.push_back(it->name);
        }
        if (keepFiles_) {
            for (DirEntry& e : listing.value())
                if ((e.attrib & kNotOrdinary) == 0) f.files.push_back(std::move(e));
            sortByName(f.files);
        }
        return Step::Listed;
    }

    // A folder that could not be entered or listed. It has added nothing below it yet: with
    // a list of skipped folders it is named there and left out, otherwise the walk fails.
    Step fail(const std::string& folder, const std::string& error) {
        const bool isRoot = stack_.back().index == kRoot;
        if (skipFolder(s_, folder, error)) {
            if (!isRoot) {
                subfolders_.pop_back();
                stack_.pop_back();
                return Step::Moved;
            }
            // The start folder itself could be entered but not listed.
            (void)s_.fs.setCurrentFolder(remembered_);
            stack_.clear();
            rootFiles_.clear();
            rootSkipped_ = true;
            return Step::Done;
        }
        // Named, so that a run that stops here says which folder stopped it.
        s_.dialogs.message("The Path: " + folder + " could not be read!|" + error, "Path not found!", Icon::Exclamation,
                           buttons::Ok);
        stack_.clear();
        subfolders_.clear();
        rootFiles_.clear();
        return Step::Failed;
    }

    Step finish() {
        std::sort(subfolders_.begin(), subfolders_.end(), [](const Subfolder& a, const Subfolder& b) {
            if (const int c = a.SORTFIELD.compare(b.SORTFIELD); c != 0) return c < 0;
            return a.DIRNAME < b.DIRNAME;
        });
        if (Status back = s_.fs.setCurrentFolder(remembered_); !back) {
            s_.dialogs.message("The Path: " + remembered_ + " not found!", "Path not found!", Icon::Exclamation,
                               buttons::Ok);
            subfolders_.clear();
            rootFiles_.clear();
            return Step::Failed;
        }
        return Step::Done;
    }

    ScanServices& s_;
    std::string folder_;
    bool keepFiles_;
    std::string remembered_;
    std::vector<Frame> stack_;
    std::vector<Subfolder> subfolders_;
    Files rootFiles_;
    bool rootSkipped_ = false;
};

// The user pressed Cancel: true when the stop is confirmed. A termination signal (SIGTERM,
// SIGINT, SIGHUP) stops the scan between two units without the question, as it stops the
// packing, so a walk over a large tree ends at once.
bool stopConfirmed(ScanServices& s) {
    if (terminationRequested()) return true;
    if (!s.host.cancelRequested()) return false;
    if (s.dialogs.message("Are you sure that you want to cancel?", "Cancel Pressed", Icon::Question, buttons::YesNo,
                          answer::Yes) == answer::Yes)
        return true;
    s.host.clearCancelRequest();
    return false;
}

// After each mask: let the window breathe, and stop if the user confirms a Cancel.
bool cancelConfirmed(ScanServices& s) {
    s.host.pumpEvents();
    return stopConfirmed(s);
}

enum class Pass { Include, Exclude };

struct FolderToScan {
    std::string DIRNAME;
    std::optional<Files> files;  // the walk's listing, when there was one
};

}  // namespace

struct ProjectScan::State {
    enum class Stage { NextComponent, Walking, Folders, Ended };

    State(ScanServices& services, std::string_view excludeStatus) : s(services), excludePassStatus(excludeStatus) {}

    ScanServices& s;
    std::string excludePassStatus;
    std::vector<Component> components;
    std::string remembered;
    FileSelection selection;

    Stage stage = Stage::NextComponent;
    Pass pass = Pass::Include;
    std::size_t nextComponent = 0;
    const Component* component = nullptr;
    std::optional<FolderWalk> walk;
    std::vector<FolderToScan> folders;
    std::size_t folderIndex = 0;
    bool entered = false;      // the folder at folderIndex is the current folder
    std::string folderPrefix;  // its path with one trailing '/'
    MaskList masks;
    std::size_t maskIndex = 0;

    ScanOutcome outcome = ScanOutcome::Completed;
    BackupFileList list;

    bool end(ScanOutcome how) {
        outcome = how;
        stage = Stage::Ended;
        walk.reset();
        folders.clear();
        if (how == ScanOutcome::PathNotFound) {
            selection.clear();
            list.clear();
            BackupFileEntry e;
            e.FILENAME = std::string(PathNotFoundEntry);
            list.push_back(std::move(e));
        } else {
            list = selection.take();  // in the list's final order already
        }
        return false;
    }

    // The component's folders are known: its masks are applied in each, in order.
    void beginFolders() {
        s.host.setStatus(std::string(pass == Pass::Include ? scantext::BuildingFileList : excludePassStatus));
        SplitMaskList(component->MASK, masks);
        folderIndex = 0;
        entered = false;
        stage = Stage::Folders;
    }

    void nextFolder() {
        folders[folderIndex].files.reset();  // done with this folder's listing
        ++folderIndex;
        entered = false;
    }

    void take(const DirEntry& e) {
        if (pass == Pass::Include)
            selection.add(folderPrefix + e.name, e.size, e.time);
        else
            selection.remove(folderPrefix + e.name);
    }

    bool step() {
        while (stage != Stage::Ended) {
            switch (stage) {
                case Stage::NextComponent: {
                    const std::uint8_t wanted = pass == Pass::Include ? 0 : 1;
                    while (nextComponent < components.size() && components[nextComponent].EXCLUDE != wanted)
                        ++nextComponent;
                    if (nextComponent == components.size()) {
                        if (pass == Pass::Exclude) {
                            (void)s.fs.setCurrentFolder(remembered);  // the scan's result stands even if this fails
                            return end(ScanOutcome::Completed);
                        }
                        pass = Pass::Exclude;
                        nextComponent = 0;
                        s.host.setStatus(std::string(scantext::ScanningDirectories));
                        continue;
                    }
                    component = &components[nextComponent++];
                    folders.clear();
                    if (component->RECURSE) {
                        walk.emplace(s, component->PATH, true);
                        if (!walk->start()) return end(ScanOutcome::PathNotFound);
                        stage = Stage::Walking;
                    } else {
                        folders.push_back({component->PATH, std::nullopt});
                        beginFolders();
                    }
                    continue;
                }
                case Stage::Walking: {
                    const FolderWalk::Step r = walk->step();
                    if (r == FolderWalk::Step::Failed) return end(ScanOutcome::PathNotFound);
                    if (r == FolderWalk::Step::Listed) {
                        // A scan run in one call (the backup's) lets the window breathe
                        // after every folder of a large tree too, not only per mask.
                        if (cancelConfirmed(s)) return end(ScanOutcome::Cancelled);
                        return true;
                    }
                    if (r == FolderWalk::Step::Done) {
                        std::vector<Subfolder>& below = walk->subfolders();
                        folders.reserve(below.size() + 1);
                        for (Subfolder& sub : below) folders.push_back({std::move(sub.DIRNAME), std::move(sub.files)});
                        // The component's own folder comes after all of its subfolders.
                        if (!walk->rootSkipped()) folders.push_back({component->PATH, std::move(walk->rootFiles())});
                        walk.reset();
                        beginFolders();
                    }
                    continue;
                }
                case Stage::Folders: {
                    if (folderIndex == folders.size()) {
                        stage = Stage::NextComponent;
                        continue;
                    }
                    FolderToScan& dir = folders[folderIndex];
                    if (!entered) {
                        if (Status in = s.fs.setCurrentFolder(dir.DIRNAME); !in) {
                            // A subfolder gone since the walk, or a component folder that is there but shut.
                            const bool isComponentFolder = dir.DIRNAME == component->PATH;
                            if ((!isComponentFolder || s.fs.folderExists(dir.DIRNAME)) &&
                                skipFolder(s, dir.DIRNAME, in.error())) {
                                nextFolder();
                                continue;
                            }
                            s.dialogs.beep();
                            s.dialogs.message(dir.DIRNAME, "Path Not Found", Icon::Exclamation, buttons::Ok);
                            return end(ScanOutcome::PathNotFound);
                        }
                        folderPrefix = s.fs.currentFolder();
                        s.host.setFolderLine(folderPrefix);
                        if (!folderPrefix.empty() && folderPrefix.back() == '/')
                            folderPrefix.pop_back();  // the root: one separator only
                        folderPrefix.push_back('/');
                        entered = true;
                        maskIndex = 0;
                    }
                    if (maskIndex == masks.size()) {
                        nextFolder();
                        continue;
                    }
                    const std::string& mask = masks[maskIndex++];
                    // Ordinary files only (dot-files among them): system entries and folders are never selected.
                    if (dir.files) {
                        // The same entries a listing of this mask would give, taken from the walk's
                        // listing where they stand (no copy per mask).
                        const bool everything = matchesEverything(mask);
                        for (const DirEntry& e : *dir.files)
                            if (everything || matchesMask(e.name, mask)) take(e);
                    } else {
                        auto listing = s.fs.list(s.fs.currentFolder(), mask, 0);
                        if (!listing) {
                            if (skipFolder(s, dir.DIRNAME, listing.error())) {
                                nextFolder();
                                continue;
                            }
                            // Entered but not readable: stop rather than leave its files out unnoticed.
                            s.dialogs.beep();
                            s.dialogs.message(dir.DIRNAME + "|" + listing.error(), "Path Not Found", Icon::Exclamation,
                                              buttons::Ok);
                            return end(ScanOutcome::PathNotFound);
                        }
                        sortByName(listing.value());
                        for (const DirEntry& e : listing.value()) take(e);
                    }
                    if (cancelConfirmed(s)) return end(ScanOutcome::Cancelled);
                    s.host.setFolderLine(s.fs.currentFolder());
                    return true;
                }
                case Stage::Ended:
                    break;
            }
        }
        return false;
    }
};

ProjectScan::ProjectScan(ScanServices& services, std::vector<Component> components, std::string_view excludePassStatus)
    : state_(std::make_unique<State>(services, excludePassStatus)) {
    services.host.setStatus(std::string(scantext::ScanningDirectories));
    state_->components = std::move(components);
    state_->remembered = services.fs.currentFolder();
}

ProjectScan::ProjectScan(ScanServices& services, Catalog& catalog, std::int32_t projectSysId,
                         std::string_view excludePassStatus)
    : state_(std::make_unique<State>(services, excludePassStatus)) {
    services.host.setStatus(std::string(scantext::ScanningDirectories));
    state_->remembered = services.fs.currentFolder();
    auto components = catalog.components().ofProject(projectSysId, catalog::K_Exclude);
    if (!components) {
        services.dialogs.message(components.error(), "Error", Icon::Exclamation, buttons::Ok);
        state_->end(ScanOutcome::CatalogError);
        return;
    }
    state_->components = std::move(*components);
}

ProjectScan::~ProjectScan() = default;

bool ProjectScan::step() {
    return state_->step();
}

bool ProjectScan::finished() const {
    return state_->stage == State::Stage::Ended;
}

ScanOutcome ProjectScan::outcome() const {
    return state_->outcome;
}

std::size_t ProjectScan::filesFound() const {
    return finished() ? state_->list.size() : state_->selection.size();
}

BackupFileList ProjectScan::takeFiles() {
    return std::move(state_->list);
}

bool recurse(ScanServices& s, const std::string& folder, DirectoryList& target) {
    target.clear();
    FolderWalk walk(s, folder, false);
    if (!walk.start()) return false;
    for (;;) {
        const FolderWalk::Step r = walk.step();
        if (r == FolderWalk::Step::Failed) return false;
        if (r == FolderWalk::Step::Done) break;
    }
    target.reserve(walk.subfolders().size());
    for (Subfolder& sub : walk.subfolders()) target.push_back({std::move(sub.DIRNAME), sub.MARK});
    return true;
}

namespace {

ScanOutcome runToEnd(ProjectScan& scan, BackupFileList& list) {
    while (scan.step()) {
    }
    list = scan.takeFiles();
    return scan.outcome();
}

}  // namespace

ScanOutcome ScanProjectFiles(ScanServices& s, const std::vector<Component>& components, BackupFileList& list,
                             std::string_view excludePassStatus) {
    list.clear();
    ProjectScan scan(s, components, excludePassStatus);
    return runToEnd(scan, list);
}

ScanOutcome ScanProjectFiles(ScanServices& s, Catalog& catalog, std::int32_t projectSysId, BackupFileList& list,
                             std::string_view excludePassStatus) {
    list.clear();
    ProjectScan scan(s, catalog, projectSysId, excludePassStatus);
    return runToEnd(scan, list);
}

}  // namespace quillet
