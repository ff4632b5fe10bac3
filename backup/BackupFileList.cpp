#include "backup/BackupFileList.h"

#include <algorithm>

#include "platform/Utf8Text.h"

namespace quillet {

void sortBySortName(BackupFileList& list) {
    std::sort(list.begin(), list.end(), [](const BackupFileEntry& a, const BackupFileEntry& b) {
        if (const int c = a.SORTNAME.compare(b.SORTNAME); c != 0) return c < 0;
        return a.FILENAME < b.FILENAME;
    });
}

bool FileSelection::add(std::string filename, std::int64_t size, std::int32_t time) {
    return files_.try_emplace(std::move(filename), Found{size, time}).second;
}

bool FileSelection::remove(const std::string& filename) {
    return files_.erase(filename) != 0;
}

BackupFileList FileSelection::take() {
    BackupFileList list;
    list.reserve(files_.size());
    while (!files_.empty()) {
        auto node = files_.extract(files_.begin());
        BackupFileEntry e;
        e.SORTNAME = upperCased(node.key());
        e.FILENAME = std::move(node.key());
        e.SIZE = node.mapped().size;
        e.TIME = node.mapped().time;
        list.push_back(std::move(e));
    }
    return list;
}

}  // namespace quillet
