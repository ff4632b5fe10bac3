#include "backup/RotateArchives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "framework/Dialogs.h"
#include "platform/Folders.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

int percentOf(std::size_t done, std::size_t total) {
    return total == 0 ? 0 : static_cast<int>(done * 100 / total);
}

}  // namespace

std::string archiveFileName(const std::string& prefix, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return std::string(trimRight(prefix)) + digits + ".LSP";
}

int renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: look first, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void ReportRenameError(Dialogs& dialogs, int error, const std::string& oldPath, const std::string& newPath) {
    std::string text;
    switch (error) {
        case ENOENT:
            text = "Error! - File Not Found|" + oldPath + " " + newPath;
            break;
        case EACCES:
        case EPERM:
            text = "Error! - Access Denied|" + oldPath + " " + newPath;
            break;
        case EXDEV:
            text = "Error! - Not Same Device|" + oldPath + "|" + newPath;
            break;
        default:
            text = "Error - Renaming " + std::to_string(error) + "|" + oldPath + "|" + newPath;
            break;
    }
    dialogs.message(text, "Rename Error", Icon::Exclamation, buttons::Ok, 1);
}

RotationOutcome RotateArchives(const FileSystem& fs, Dialogs& dialogs, const RotationRequest& request, BackupList& list,
                               const std::function<void(int)>& bar) {
    auto showBar = [&](int percent) {
        if (bar) bar(percent);
    };
    const std::string dest(trimRight(request.destination));
    const std::string folder = dest.empty() || dest.back() == '/' ? dest : dest + "/";
    const std::string prefix(trimRight(request.prefix));
    RotationOutcome outcome;

    // Surplus archives go first, the oldest at the end of the list. A failed delete is
    // passed over; its file keeps its name and the renames below will not replace it.
    if (request.maxBackups != 0 && request.keepOlder) {
        outcome.keptOverMaximum =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(list.size()) + 1 - request.maxBackups);
    } else if (request.maxBackups != 0) {
        while (static_cast<int>(list.size()) + 1 > request.maxBackups) {
            (void)fs.removeFile(folder + list.back().name);
            list.pop_back();
        }
    }

    const std::size_t n = list.size();
    showBar(0);
    auto renameEntry = [&](std::size_t i, const std::string& newName) {
        const std::string from = folder + list[i - 1].name, to = folder + newName;
        // An archive already at its number (left by an interrupted earlier run) stays.
        const int err = from == to ? 0 : renameWithoutReplacing(from, to);
        if (err != 0) {
            ReportRenameError(dialogs, err, from, to);
            return false;
        }
        list[i - 1].name = newName;
        list[i - 1].shortName = newName;
        return true;
    };
    for (std::size_t i = n; i >= 1; --i) {
        if (!renameEntry(i, archiveFileName(prefix, static_cast<int>(i) + 1001))) {
            syncFolder(folder);  // renames and deletes so far must survive a power loss too
            return outcome;
        }
        showBar(percentOf(n - i + 1, 2 * n));
    }
    for (std::size_t i = n; i >= 1; --i) {
        if (!renameEntry(i, archiveFileName(prefix, static_cast<int>(i) + 1))) {
            syncFolder(folder);
            return outcome;
        }
        showBar(percentOf(n - i + 1, 2 * n) + 50);
    }

    const std::string temp = folder + TemporaryArchiveName;
    const std::string final = folder + archiveFileName(prefix, 1);
    const int err = renameWithoutReplacing(temp, final);
    syncFolder(folder);
    if (err != 0) {
        ReportRenameError(dialogs, err, temp, final);
        return outcome;
    }
    outcome.completed = true;
    outcome.finalPath = final;
    if (auto entry = fs.entry(final)) outcome.compressedBytes = entry->size;
    showBar(-1);
    return outcome;
}

}  // namespace quillet
