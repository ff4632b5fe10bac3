#include "maintenance/HousekeepingRules.h"

#include <sys/stat.h>

#include <cerrno>

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/Picture.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Folders.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

std::string trimmedLeft(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Shows a Busy lock's message; true when the folder may be changed.
bool folderFree(Dialogs& dialogs, const FolderLock& lock, const std::string& folder) {
    if (lock.state() != FolderLock::State::Busy) return true;
    dialogs.message(folderInUseText(folder, lock.holder()), FolderInUseTitle, Icon::Exclamation);
    return false;
}

}  // namespace

std::string WithLspExtension(std::string_view name) {
    std::string out(name);
    if (upperCased(out).find(".LSP") == std::string::npos) out += ".lsp";
    return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(trimRight(folder));
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

std::string NotesWithDateTime(std::string_view notes, const DateTime& now) {
    return std::string(trimRight(notes)) + "\r\n" + trimmedLeft(formatDate(now.date) + " " + formatTime(now.time));
}

Result<std::vector<FavoriteTarget>> FavoriteTargets(Catalog& catalog, const std::string& fileName) {
    using R = Result<std::vector<FavoriteTarget>>;
    if (Status opened = catalog.open(); !opened) return R::failure(opened.error());
    // The alias A_P: a handle of its own, so the caller's position in the projects stays.
    Result<std::vector<Project>> all = std::vector<Project>{};
    {
        ProjectStore projects = catalog.projects();
        const Status keyed = projects.setKey(catalog::K_Name);
        all = keyed ? projects.all() : Result<std::vector<Project>>::failure(keyed.error());
    }
    catalog.close();
    if (!all) return R::failure(all.error());
    std::vector<FavoriteTarget> out;
    for (const Project& p : *all)
        if (p.FAVORITES == 1) out.push_back({JoinPath(p.DESTINATIONPATH, fileName), p.NAME});
    return out;
}

std::string CopyTargetPath(std::string_view entry, const std::string& sourceFolder) {
    std::string name(trimRight(entry));
    name = trimmedLeft(name);
    if (name.empty()) return {};
    name = expandHome(name);
    if (name[0] != '/') name = JoinPath(sourceFolder, name);
    return WithLspExtension(FileSystem().absolutePath(name));
}

bool CopyArchiveFile(Dialogs& dialogs, const std::string& source, const std::string& target) {
    const std::string folder = folderOfFile(target);
    const FolderLock lock(folder, "");
    if (!folderFree(dialogs, lock, folder)) return false;
    WaitCursor wait(dialogs);
    if (Status copied = FileSystem().copyFile(source, target); !copied) {
        dialogs.message(copied.error(), "Copy Error", Icon::Exclamation);
        return false;
    }
    // The new name must survive a power loss as well as the data.
    syncFolder(folder);
    return true;
}

int RenameErrorNumber(int systemError) {
    switch (systemError) {
        case ENOENT:
            return rename_error::FileNotFound;
        case ENOTDIR:
            return rename_error::PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EBUSY:
            return rename_error::AccessDenied;
        case EXDEV:
            return rename_error::NotSameDevice;
        case EEXIST:
        case ENOTEMPTY:
            return rename_error::FileExists;
        case EINVAL:
        case ENAMETOOLONG:
            return rename_error::InvalidName;
        default:
            return systemError;
    }
}

std::string RenameSourcePath(const std::string& archivePath) {
    const std::string path(trimRight(archivePath));
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + WithLspExtension(fileNameOf(path));
}

std::string RenameTargetPath(const std::string& archivePath, std::string_view entry) {
    const std::string path(trimRight(archivePath));
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + WithLspExtension(trimRight(entry));
}

bool RenameArchiveFile(Dialogs& dialogs, const std::string& archivePath, std::string_view entry) {
    const std::string oldPath = RenameSourcePath(archivePath);
    const std::string newPath = RenameTargetPath(archivePath, entry);
    if (newPath == oldPath) return false;

    const auto refuse = [&](int number) {
        const std::string paths = oldPath + " " + newPath;
        switch (number) {
            case rename_error::FileNotFound:
                dialogs.message("Error! - File Not Found " + paths, RenameErrorTitle, Icon::Exclamation);
                break;
            case rename_error::AccessDenied:
                dialogs.message("Error! - Access Denied " + paths, RenameErrorTitle, Icon::Exclamation);
                break;
            case rename_error::NotSameDevice:
                dialogs.message("Error! - Not Same Device " + paths, RenameErrorTitle, Icon::Exclamation);
                break;
            default:
                dialogs.message("Error - Renaming " + std::to_string(number) + " " + paths, RenameErrorTitle,
                                Icon::None);
        }
        return false;
    };

    const std::string name(trimRight(entry));
    if (trimmedLeft(name).empty() || name.find('/') != std::string::npos) return refuse(rename_error::InvalidName);

    const std::string folder = folderOfFile(oldPath);
    const FolderLock lock(folder, "");
    if (!folderFree(dialogs, lock, folder)) return false;
    // The system's rename would replace an existing file: look first, and let the rename
    // itself refuse one that appears in between.
    struct stat existing {};
    if (::lstat(newPath.c_str(), &existing) == 0) return refuse(rename_error::FileExists);
    if (const int err = FileSystem().renameNoReplace(oldPath, newPath); err != 0) return refuse(RenameErrorNumber(err));
    syncFolder(folder);
    return true;
}

}  // namespace quillet
