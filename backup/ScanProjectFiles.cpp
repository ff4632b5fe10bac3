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
    bool stopped = false;  // a termination signal, not the folder
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

// Walks one folder and everything below it, depth first, appending to subfolders as it goes.
bool walk(ScanServices& s, const std::string& folder, std::vector<Subfolder>& subfolders, bool keepFiles,
          Files& filesOfFolder, WalkFailure& failure) {
    if (Status entered = s.fs.setCurrentFolder(folder); !entered) {
        failure = {folder, entered.error()};
        return false;
    }
    // One listing of everything; the walk picks the folders out itself.
    auto listing = s.fs.list(s.fs.currentFolder(), "*.*", attrib::Directory);
    if (!listing) {
        // A folder that can be entered but not read would silently lose its files.
        failure = {folder, listing.error()};
        return false;
    }
    // SIGTERM, SIGINT, SIGHUP: a walk over a large tree stops at once, not when it is done.
    crashPoint(CrashPoint::ScanFolderListed);
    if (terminationRequested()) {
        failure = {folder, "", true};
        return false;
    }
    if (keepFiles) {
        for (DirEntry& e : listing.value())
            if ((e.attrib & kNotOrdinary) == 0) filesOfFolder.push_back(std::move(e));
    }
    for (auto it = listing->rbegin(); it != listing->rend(); ++it) {
        if (!(it->attrib & attrib::Directory)) continue;  // links to folders are system entries: never followed
        if (it->shortName == "." || it->shortName == "..") continue;
        if (endsInZip(it->name)) continue;
        std::string dirname = joined(folder, it->name);
        std::string sortfield = upperCased(dirname);
        subfolders.push_back({dirname, 0, std::move(sortfield), {}});
        const std::size_t index = subfolders.size() - 1;  // the vector grows below
        Files files;
        if (!walk(s, dirname, subfolders, keepFiles, files, failure)) {
            // A subfolder that cannot be entered or listed failed before adding anything
            // below it: with a list of skipped folders it is named there and left out.
            if (failure.stopped || subfolders.size() != index + 1 || !skipFolder(s, failure.folder, failure.reason))
                return false;
            subfolders.pop_back();
            continue;
        }
        subfolders[index].files = std::move(files);
    }
    if (!subfolders.empty()) s.host.setFolderLine(subfolders.back().DIRNAME);
    return true;
}

// recurse, optionally keeping each folder's files (rootFiles gets the start folder's).
// rootSkipped tells that the start folder exists but could not be read and has been
// recorded as skipped (nothing below it is then returned).
std::optional<std::vector<Subfolder>> walkBelow(ScanServices& s, const std::string& folder, bool keepFiles,
                                                Files& rootFiles, bool& rootSkipped) {
    const std::string remembered = s.fs.currentFolder();
    std::vector<Subfolder> subfolders;
    rootSkipped = false;

    // The folder as given: the records keep it trimmed, and a path is never trimmed again.
    std::string root = folder;
    if (root.empty() || root.back() != '/') root += '/';
    if (Status entered = s.fs.setCurrentFolder(root); !entered) {
        // Only a folder that is not there stops the scan; one that is there but shut is skipped.
        if (s.fs.folderExists(root) && skipFolder(s, root, entered.error())) {
            rootSkipped = true;
            return subfolders;
        }
        s.dialogs.message("The Path: " + root + " not found!", "Path not found!", Icon::Exclamation, buttons::Ok);
        return std::nullopt;
    }

    WalkFailure failure;
    if (!walk(s, root, subfolders, keepFiles, rootFiles, failure)) {
        if (failure.stopped) {
            (void)s.fs.setCurrentFolder(remembered);
            rootFiles.clear();
            return std::nullopt;
        }
        if (subfolders.empty() && skipFolder(s, failure.folder, failure.reason)) {
            // The start folder itself could be entered but not listed.
            (void)s.fs.setCurrentFolder(remembered);
            rootFiles.clear();
            rootSkipped = true;
            return subfolders;
        }
        // Named, so that a run that stops here says which folder stopped it.
        s.dialogs.message("The Path: " + failure.folder + " could not be read!|" + failure.reason, "Path not found!",
                          Icon::Exclamation, buttons::Ok);
        rootFiles.clear();
        return std::nullopt;
    }

    std::sort(subfolders.begin(), subfolders.end(), [](const Subfolder& a, const Subfolder& b) {
        if (const int c = a.SORTFIELD.compare(b.SORTFIELD); c != 0) return c < 0;
        return a.DIRNAME < b.DIRNAME;
    });

    if (Status back = s.fs.setCurrentFolder(remembered); !back) {
        s.dialogs.message("The Path: " + remembered + " not found!", "Path not found!", Icon::Exclamation, buttons::Ok);
        rootFiles.clear();
        return std::nullopt;
    }
    return subfolders;
}

ScanOutcome pathNotFound(BackupFileList& list, FileSelection& selection) {
    selection.clear();
    list.clear();
    BackupFileEntry e;
    e.FILENAME = std::string(PathNotFoundEntry);
    e.SORTNAME = upperCased(e.FILENAME);
    list.push_back(std::move(e));
    return ScanOutcome::PathNotFound;
}

// After each mask: let the window breathe, and stop if the user confirms a Cancel.
bool cancelConfirmed(ScanServices& s) {
    s.host.pumpEvents();
    // A termination signal stops the scan without the question, as it stops the packing.
    if (terminationRequested()) return true;
    if (!s.host.cancelRequested()) return false;
    if (s.dialogs.message("Are you sure that you want to cancel?", "Cancel Pressed", Icon::Question, buttons::YesNo,
                          answer::Yes) == answer::Yes)
        return true;
    s.host.clearCancelRequest();
    return false;
}

enum class Pass { Include, Exclude };

struct FolderToScan {
    std::string DIRNAME;
    std::optional<Files> files;  // the walk's listing, when there was one
};

// One component: its folders, each listed once per mask. The include pass adds files
// not yet selected; the exclude pass removes files selected under the same full path.
ScanOutcome scanComponent(ScanServices& s, const Component& component, Pass pass, std::string_view passStatus,
                          FileSelection& selection) {
    std::vector<FolderToScan> folders;
    if (component.RECURSE) {
        Files rootFiles;
        bool rootSkipped = false;
        auto below = walkBelow(s, component.PATH, true, rootFiles, rootSkipped);
        if (!below) return terminationRequested() ? ScanOutcome::Cancelled : ScanOutcome::PathNotFound;
        folders.reserve(below->size() + 1);
        for (Subfolder& sub : *below) folders.push_back({std::move(sub.DIRNAME), std::move(sub.files)});
        // The component's own folder comes after all of its subfolders.
        if (!rootSkipped) folders.push_back({component.PATH, std::move(rootFiles)});
    } else {
        folders.push_back({component.PATH, std::nullopt});
    }
    s.host.setStatus(std::string(passStatus));

    MaskList masks;
    SplitMaskList(component.MASK, masks);
    for (FolderToScan& dir : folders) {
        if (Status entered = s.fs.setCurrentFolder(dir.DIRNAME); !entered) {
            // A subfolder gone since the walk, or a component folder that is there but shut.
            const bool isComponentFolder = dir.DIRNAME == component.PATH;
            if ((!isComponentFolder || s.fs.folderExists(dir.DIRNAME)) && skipFolder(s, dir.DIRNAME, entered.error()))
                continue;
            s.dialogs.beep();
            s.dialogs.message(dir.DIRNAME, "Path Not Found", Icon::Exclamation, buttons::Ok);
            return ScanOutcome::PathNotFound;
        }
        std::string folder = s.fs.currentFolder();
        s.host.setFolderLine(folder);
        if (!folder.empty() && folder.back() == '/') folder.pop_back();  // the root: one separator only
        folder.push_back('/');

        auto take = [&](const DirEntry& e) {
            if (pass == Pass::Include)
                selection.add(folder + e.name, e.size, e.time);
            else
                selection.remove(folder + e.name);
        };
        for (const std::string& mask : masks) {
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
                    if (skipFolder(s, dir.DIRNAME, listing.error())) break;
                    // Entered but not readable: stop rather than leave its files out unnoticed.
                    s.dialogs.beep();
                    s.dialogs.message(dir.DIRNAME + "|" + listing.error(), "Path Not Found", Icon::Exclamation,
                                      buttons::Ok);
                    return ScanOutcome::PathNotFound;
                }
                for (const DirEntry& e : *listing) take(e);
            }
            if (cancelConfirmed(s)) return ScanOutcome::Cancelled;
            s.host.setFolderLine(s.fs.currentFolder());
        }
        dir.files.reset();  // done with this folder's listing
    }
    return ScanOutcome::Completed;
}

}  // namespace

bool recurse(ScanServices& s, const std::string& folder, DirectoryList& target) {
    target.clear();
    Files unused;
    bool rootSkipped = false;
    auto below = walkBelow(s, folder, false, unused, rootSkipped);
    if (!below) return false;
    target.reserve(below->size());
    for (Subfolder& sub : *below) target.push_back({std::move(sub.DIRNAME), sub.MARK});
    return true;
}

ScanOutcome ScanProjectFiles(ScanServices& s, const std::vector<Component>& components, BackupFileList& list,
                             std::string_view excludePassStatus) {
    s.host.setStatus(std::string(scantext::ScanningDirectories));
    list.clear();
    const std::string remembered = s.fs.currentFolder();
    FileSelection selection;

    for (const Component& component : components) {
        if (component.EXCLUDE != 0) continue;
        const ScanOutcome r = scanComponent(s, component, Pass::Include, scantext::BuildingFileList, selection);
        if (r == ScanOutcome::PathNotFound) return pathNotFound(list, selection);
        if (r == ScanOutcome::Cancelled) {
            list = selection.take();
            return r;
        }
    }

    s.host.setStatus(std::string(scantext::ScanningDirectories));
    for (const Component& component : components) {
        if (component.EXCLUDE != 1) continue;
        const ScanOutcome r = scanComponent(s, component, Pass::Exclude, excludePassStatus, selection);
        if (r == ScanOutcome::PathNotFound) return pathNotFound(list, selection);
        if (r == ScanOutcome::Cancelled) {
            list = selection.take();
            return r;
        }
    }

    (void)s.fs.setCurrentFolder(remembered);  // the scan's result stands even if this fails
    list = selection.take();
    sortBySortName(list);
    return ScanOutcome::Completed;
}

ScanOutcome ScanProjectFiles(ScanServices& s, Catalog& catalog, std::int32_t projectSysId, BackupFileList& list,
                             std::string_view excludePassStatus) {
    auto components = catalog.components().ofProject(projectSysId, catalog::K_Exclude);
    if (!components) {
        s.host.setStatus(std::string(scantext::ScanningDirectories));
        list.clear();
        s.dialogs.message(components.error(), "Error", Icon::Exclamation, buttons::Ok);
        return ScanOutcome::CatalogError;
    }
    return ScanProjectFiles(s, *components, list, excludePassStatus);
}

}  // namespace quillet
