#include "app/RefreshBackupList.h"

#include <algorithm>

#include "app/CheckProjectPath.h"
#include "backup/BackupFileList.h"
#include "platform/FileSystem.h"

namespace quillet {

std::string destinationFolder(const std::string& destination) {
    std::string folder = destination;
    while (!folder.empty() && folder.back() == ' ') folder.pop_back();
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

void RefreshBackupList(FileSystem& fs, const std::optional<Project>& project, const std::string& programFolder,
                       BackupListState& state) {
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

    std::string prefix = project->PREFIX;
    while (!prefix.empty() && prefix.back() == ' ') prefix.pop_back();
    const std::string mask = project->FAVORITES == 1 ? "*.lsp" : prefix + "????.lsp";
    auto listed = fs.list(destinationFolder(project->DESTINATIONPATH), mask, 0);
    if (!listed) return;
    state.list = std::move(*listed);
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
