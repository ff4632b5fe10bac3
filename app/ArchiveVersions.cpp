#include "app/ArchiveVersions.h"

#include <algorithm>
#include <map>
#include <set>

#include "app/RefreshBackupList.h"
#include "catalog/Catalog.h"
#include "platform/FileSystem.h"

namespace quillet {

std::vector<std::string> projectArchivePaths(FileSystem& fs, const Project& project, const std::string& programFolder) {
    BackupListState state;
    RefreshBackupList(fs, project, programFolder, state);
    std::vector<std::string> paths;
    if (!state.reachable) return paths;
    const std::string folder = destinationFolder(project.DESTINATIONPATH);
    for (const DirEntry& e : state.list) paths.push_back(folder + e.name);
    return paths;
}

std::vector<std::string> allArchivePaths(FileSystem& fs, Catalog& catalog, const std::string& programFolder) {
    std::vector<std::string> paths;
    std::set<std::string> seen;
    ProjectStore projects = catalog.projects();
    if (!projects.setKey(catalog::K_Name)) return paths;
    auto all = projects.all();
    if (!all) return paths;
    for (const Project& p : *all)
        for (std::string& path : projectArchivePaths(fs, p, programFolder))
            if (seen.insert(path).second) paths.push_back(std::move(path));
    return paths;
}

std::vector<VersionRow> groupVersions(std::vector<FoundVersion> found) {
    std::vector<VersionRow> rows;
    rows.reserve(found.size());
    // found is ordered by item and then newest archive first.
    std::size_t start = 0;
    while (start < found.size()) {
        std::size_t end = start;
        const std::string key = found[start].item.key();
        while (end < found.size() && found[end].item.key() == key) ++end;
        std::map<std::pair<std::uint64_t, std::uint32_t>, int> numbers;
        for (std::size_t i = start; i < end; ++i) {
            const auto content = std::pair{found[i].item.size, found[i].item.crc};
            const int number = numbers.emplace(content, static_cast<int>(numbers.size()) + 1).first->second;
            rows.push_back({std::move(found[i]), number});
        }
        // Each version's archives together, newest version first.
        std::stable_sort(rows.begin() + static_cast<std::ptrdiff_t>(start), rows.end(),
                         [](const VersionRow& a, const VersionRow& b) { return a.version < b.version; });
        start = end;
    }
    return rows;
}

void indexProjectArchives(const std::string& dataFolder, FileSystem& fs, const Project& project,
                          const std::string& programFolder) {
    indexArchives(dataFolder, projectArchivePaths(fs, project, programFolder));
}

void indexArchives(const std::string& dataFolder, const std::vector<std::string>& archives) {
    if (dataFolder.empty() || archives.empty()) return;
    ArchiveIndex index(dataFolder);
    (void)index.update(archives);
}

}  // namespace quillet
