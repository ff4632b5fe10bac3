#include "app/RefreshBackupList.h"

#include <algorithm>

#include "app/CheckProjectPath.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Utf8Text.h"
#include "platform/Wildcard.h"

namespace quillet {

namespace {

// Whether name is prefix + four characters + ".lsp". The listing's wildcard match folds
// the case of accented letters and reads '*' and '?' in the prefix as wildcards, but
// prefixes are kept unique with only A-Z folded: so "éCRI" and "ÉCRI" are two
// projects, and a prefix read as a pattern could name another project's archives, which
// the rotation would then renumber and delete. The prefix is compared as text.
bool isArchiveOf(const std::string& name, const std::string& prefix) {
    if (name.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = name[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return matchesMask(std::string_view(name).substr(prefix.size()), "????.lsp");
}

}  // namespace

std::string destinationFolder(const std::string& destination) {
    std::string folder = destination;
    while (!folder.empty() && folder.back() == ' ') folder.pop_back();
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

void RefreshBackupList(FileSystem& fs, const std::optional<Project>& project, const std::string& programFolder,
                       BackupListState& state, Dialogs* dialogs) {
    state.count = 0;
    state.totalBytes = 0;
    state.list.clear();
    state.reachable = false;
    state.pathErrorText.clear();

    if (!project) {
        state.pathErrorText = NoProjectsText;
        return;
    }
    if (auto error = CheckProjectPath(fs, project->DESTINATIONPATH, programFolder)) {
        state.pathErrorText = *error;
        return;
    }
    state.reachable = true;

    const std::string folder = destinationFolder(project->DESTINATIONPATH);
    if (fs.fileExists(folder + RotationPlanName)) {
        // Not waiting: a run that holds the folder finishes the rotation itself.
        const FolderLock lock(folder, std::string(trimRight(project->NAME)), 0);
        if (lock.state() == FolderLock::State::Held) (void)CompleteInterruptedRotation(dialogs, folder);
    }

    std::string prefix = project->PREFIX;
    while (!prefix.empty() && prefix.back() == ' ') prefix.pop_back();
    const std::string mask = project->FAVORITES == 1 ? "*.lsp" : prefix + "????.lsp";
    auto listed = fs.list(folder, mask, 0);
    if (!listed) return;
    state.list = std::move(*listed);
    if (project->FAVORITES != 1)
        std::erase_if(state.list, [&](const DirEntry& e) { return !isArchiveOf(e.name, prefix); });
    // Names match without regard to case, so they are ordered that way too: the position
    // in the list must be the archive's number whatever case its name was written in.
    std::sort(state.list.begin(), state.list.end(), [](const DirEntry& a, const DirEntry& b) {
        const std::string ua = upperCased(a.name), ub = upperCased(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    });
    state.count = static_cast<std::int64_t>(state.list.size());
    for (const DirEntry& e : state.list) state.totalBytes += e.size;
}

}  // namespace quillet
