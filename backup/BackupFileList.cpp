#include "backup/BackupFileList.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quillet {

namespace {

unsigned char raised(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// upperCased(a).compare(upperCased(b)) without the copies: the same ASCII letters raised,
// the bytes compared unsigned, a prefix first. Paths share long folder prefixes, so the
// equal stretch is passed eight bytes at a time.
int compareUpperCased(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n) {
        // The first differing byte, found eight at a time (little-endian: the lowest set
        // bit of the difference is in the first byte that differs).
        while (i + 8 <= n) {
            std::uint64_t x, y;
            std::memcpy(&x, a.data() + i, 8);
            std::memcpy(&y, b.data() + i, 8);
            if (x != y) {
                if constexpr (std::endian::native == std::endian::little)
                    i += static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
                break;
            }
            i += 8;
        }
        for (; i < n && a[i] == b[i]; ++i) {
        }
        if (i == n) break;
        const unsigned char x = raised(a[i]), y = raised(b[i]);
        if (x != y) return x < y ? -1 : 1;
        ++i;  // the same letter in another case
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

bool SortNameOrder::operator()(std::string_view a, std::string_view b) const {
    if (const int c = compareUpperCased(a, b); c != 0) return c < 0;
    return a < b;
}

bool FileSelection::add(std::string filename, std::int64_t size, std::int32_t time) {
    // Files mostly come in the list's order (a folder's names sorted, the folders in
    // order): the place after the last one added is tried first, which costs two
    // comparisons where a search costs seventeen among 100,000 paths.
    const std::size_t before = files_.size();
    const auto hint = hasLast_ ? std::next(last_) : files_.end();
    last_ = files_.try_emplace(hint, std::move(filename), Found{size, time});
    hasLast_ = true;
    return files_.size() != before;
}

bool FileSelection::remove(const std::string& filename) {
    const auto at = files_.find(filename);
    if (at == files_.end()) return false;
    if (hasLast_ && at == last_) hasLast_ = false;
    files_.erase(at);
    return true;
}

void FileSelection::clear() {
    files_.clear();
    hasLast_ = false;
}

BackupFileList FileSelection::take() {
    hasLast_ = false;
    BackupFileList list;
    list.reserve(files_.size());
    while (!files_.empty()) {
        auto node = files_.extract(files_.begin());
        BackupFileEntry e;
        e.FILENAME = std::move(node.key());
        e.SIZE = node.mapped().size;
        e.TIME = node.mapped().time;
        list.push_back(std::move(e));
    }
    return list;
}

}  // namespace quillet
