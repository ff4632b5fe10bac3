#include "backup/PreviewChanges.h"

#include <unordered_map>

#include "backup/RotateArchives.h"
#include "catalog/ArchiveIndex.h"
#include "platform/FileSystem.h"
#include "platform/Utf8Text.h"

namespace quillet {

std::optional<std::string> newestArchiveOf(const FileSystem& fs, const Project& project) {
    if (project.FAVORITES == 1) return std::nullopt;
    std::string folder(trimRight(project.DESTINATIONPATH));
    if (folder.empty()) return std::nullopt;
    if (folder.back() != '/') folder.push_back('/');
    const std::string wanted = archiveFileName(project.PREFIX, 1);
    auto listed = fs.list(folder, wanted, 0);
    if (!listed) return std::nullopt;
    // The listing reads wildcards in the prefix; the name itself must be the one asked for.
    for (const DirEntry& e : *listed)
        if (upperCased(e.name) == upperCased(wanted)) return folder + e.name;
    return std::nullopt;
}

ItemChanges changesAgainst(const FileSystem& fs, const BackupFileList& files, const std::vector<IndexedItem>& newest) {
    std::unordered_multimap<std::string, const IndexedItem*> byName;
    byName.reserve(newest.size());
    for (const IndexedItem& i : newest) byName.emplace(i.name, &i);

    std::vector<IndexedItem> now;
    now.reserve(files.size());
    for (const BackupFileEntry& f : files) {
        const std::string& full = f.FILENAME;
        const auto slash = full.rfind('/');
        IndexedItem item;
        item.path = full.substr(0, slash + 1);
        item.name = full.substr(slash + 1);
        const auto [first, last] = byName.equal_range(item.name);
        for (auto it = first; it != last; ++it) {
            const IndexedItem& stored = *it->second;
            const std::string key = stored.key();
            const bool same = !stored.path.empty() && stored.path.front() == '/'
                                  ? key == full
                                  : full.size() > key.size() &&
                                        full.compare(full.size() - key.size(), key.size(), key) == 0 &&
                                        full[full.size() - key.size() - 1] == '/';
            if (!same) continue;
            item.path = stored.path;
            break;
        }
        item.size = static_cast<std::uint64_t>(f.SIZE);
        if (auto stamp = fs.modificationTime(full)) {
            item.mtime = stamp->seconds;
            item.nanos = static_cast<std::uint32_t>(stamp->nanoseconds);
            item.exactTime = true;
        }
        now.push_back(std::move(item));
    }
    return compareItems(newest, now, false);
}

PreviewChanges previewChanges(const FileSystem& fs, ArchiveIndex& index, const Project& project,
                              const BackupFileList& files) {
    PreviewChanges out;
    std::vector<IndexedItem> newest;
    if (auto archive = newestArchiveOf(fs, project)) {
        out.newestArchive = *archive;
        auto items = index.update({*archive}) ? index.items(*archive) : ArchiveIndex::readItems(*archive);
        if (!items) items = ArchiveIndex::readItems(*archive);
        if (items) newest = std::move(*items);
    }
    out.changes = changesAgainst(fs, files, newest);
    return out;
}

}  // namespace quillet
