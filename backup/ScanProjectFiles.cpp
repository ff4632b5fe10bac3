#include "backup/ScanProjectFiles.h"

#include <algorithm>

#include "backup/SplitMaskList.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/RunHost.h"
#include "platform/FileSystem.h"

namespace quillet {

namespace {

std::string withoutTrailingBlanks(std::string text) {
    const auto end = text.find_last_not_of(' ');
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

std::string joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + '/' + name;
}

bool endsInZip(const std::string& name) {
    return name.size() >= 4 && upperCased(std::string_view(name).substr(name.size() - 4)) == ".ZIP";
}

struct Subfolder {
    std::string DIRNAME;
    std::uint8_t MARK = 0;
    std::string SORTFIELD;
};

struct WalkFailure {
    std::string folder;
    std::string reason;
};

// Walks one folder and everything below it, appending to subfolders as it goes.
bool walk(ScanServices& s, const std::string& folder, std::vector<Subfolder>& subfolders, WalkFailure& failure) {
    if (Status entered = s.fs.setCurrentFolder(folder); !entered) {
        failure = {folder, entered.error()};
        return false;
    }
    // One listing of everything; the walk keeps the folders itself.
    auto listing = s.fs.list(s.fs.currentFolder(), "*.*", attrib::Directory);
    if (!listing) {
        // A folder that can be entered but not read would silently lose its files.
        failure = {folder, listing.error()};
        return false;
    }
    for (auto it = listing->rbegin(); it != listing->rend(); ++it) {
        if (!(it->attrib & attrib::Directory)) continue;
        if (it->shortName == "." || it->shortName == "..") continue;
        if (endsInZip(it->name)) continue;
        std::string dirname = joined(folder, it->name);
        std::string sortfield = upperCased(dirname);
        subfolders.push_back({dirname, 0, std::move(sortfield)});
        if (!walk(s, dirname, subfolders, failure)) return false;
    }
    if (!subfolders.empty()) s.host.setFolderLine(subfolders.back().DIRNAME);
    return true;
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
    if (!s.host.cancelRequested()) return false;
    if (s.dialogs.message("Are you sure that you want to cancel?", "Cancel Pressed", Icon::Question, buttons::YesNo,
                          answer::Yes) == answer::Yes)
        return true;
    s.host.clearCancelRequest();
    return false;
}

enum class Pass { Include, Exclude };

// One component: its folders, each listed once per mask. The include pass adds files
// not yet selected; the exclude pass removes files selected under the same full path.
ScanOutcome scanComponent(ScanServices& s, const Component& component, Pass pass, std::string_view passStatus,
                          FileSelection& selection) {
    DirectoryList folders;
    if (component.RECURSE) {
        if (!recurse(s, component.PATH, folders)) return ScanOutcome::PathNotFound;
    }
    // The component's own folder comes after all of its subfolders.
    folders.push_back({component.PATH, 0});
    s.host.setStatus(std::string(passStatus));

    MaskList masks;
    SplitMaskList(component.MASK, masks);
    for (const DirectoryEntry& dir : folders) {
        if (Status entered = s.fs.setCurrentFolder(dir.DIRNAME); !entered) {
            s.dialogs.beep();
            s.dialogs.message(dir.DIRNAME, "Path Not Found", Icon::Exclamation, buttons::Ok);
            return ScanOutcome::PathNotFound;
        }
        std::string folder = s.fs.currentFolder();
        s.host.setFolderLine(folder);
        if (!folder.empty() && folder.back() == '/') folder.pop_back();  // the root: one separator only

        for (const std::string& mask : masks) {
            // Ordinary files only: hidden and system files and folders are never selected.
            auto listing = s.fs.list(s.fs.currentFolder(), mask, 0);
            if (!listing) {
                // Entered but not readable: stop rather than leave its files out unnoticed.
                s.dialogs.beep();
                s.dialogs.message(dir.DIRNAME + "|" + listing.error(), "Path Not Found", Icon::Exclamation,
                                  buttons::Ok);
                return ScanOutcome::PathNotFound;
            }
            for (const DirEntry& e : *listing) {
                std::string filename = folder + '/' + e.name;
                if (pass == Pass::Include)
                    selection.add(std::move(filename), e.size, e.time);
                else
                    selection.remove(filename);
            }
            if (cancelConfirmed(s)) return ScanOutcome::Cancelled;
            s.host.setFolderLine(s.fs.currentFolder());
        }
    }
    return ScanOutcome::Completed;
}

}  // namespace

bool recurse(ScanServices& s, const std::string& folder, DirectoryList& target) {
    const std::string remembered = s.fs.currentFolder();
    target.clear();
    std::vector<Subfolder> subfolders;

    std::string root = withoutTrailingBlanks(folder);
    if (root.empty() || root.back() != '/') root += '/';
    if (Status entered = s.fs.setCurrentFolder(root); !entered) {
        s.dialogs.message("The Path: " + root + " not found!", "Path not found!", Icon::Exclamation, buttons::Ok);
        return false;
    }

    WalkFailure failure;
    if (!walk(s, root, subfolders, failure)) {
        // Named, so that a backup that stops here says which folder stopped it.
        s.dialogs.message("The Path: " + failure.folder + " could not be read!|" + failure.reason, "Path not found!",
                          Icon::Exclamation, buttons::Ok);
        return false;
    }

    std::sort(subfolders.begin(), subfolders.end(), [](const Subfolder& a, const Subfolder& b) {
        if (const int c = a.SORTFIELD.compare(b.SORTFIELD); c != 0) return c < 0;
        return a.DIRNAME < b.DIRNAME;
    });
    target.reserve(subfolders.size());
    for (Subfolder& sub : subfolders) target.push_back({std::move(sub.DIRNAME), sub.MARK});
    subfolders.clear();

    if (Status back = s.fs.setCurrentFolder(remembered); !back) {
        target.clear();
        s.dialogs.message("The Path: " + remembered + " not found!", "Path not found!", Icon::Exclamation,
                          buttons::Ok);
        return false;
    }
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
