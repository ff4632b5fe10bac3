#include "catalog/ItemChanges.h"

#include <algorithm>
#include <unordered_map>

namespace quillet {

std::string ItemChange::reasons() const {
    std::string text;
    auto add = [&](bool on, const char* word) {
        if (!on) return;
        if (!text.empty()) text += ", ";
        text += word;
    };
    add(sizeChanged, "size");
    add(timeChanged, "time");
    add(crcChanged, "CRC");
    return text;
}

ItemChanges compareItems(const std::vector<IndexedItem>& before, const std::vector<IndexedItem>& after,
                         bool compareCrc) {
    ItemChanges out;
    // The last of equal keys counts, as a listing of the archive finds it.
    std::unordered_map<std::string, const IndexedItem*> older;
    older.reserve(before.size());
    for (const IndexedItem& i : before) older[i.key()] = &i;

    std::unordered_map<std::string, bool> seen;
    seen.reserve(after.size());
    for (const IndexedItem& now : after) {
        const std::string key = now.key();
        if (!seen.emplace(key, true).second) continue;
        const auto it = older.find(key);
        if (it == older.end()) {
            out.added.push_back({{}, now});
            continue;
        }
        const IndexedItem& was = *it->second;
        ItemChange c{was, now};
        c.sizeChanged = was.size != now.size;
        const std::int64_t drift = was.mtime > now.mtime ? was.mtime - now.mtime : now.mtime - was.mtime;
        c.timeChanged = was.exactTime && now.exactTime ? drift != 0 || was.nanos != now.nanos : drift >= 2;
        c.crcChanged = compareCrc && was.crc != now.crc;
        if (c.sizeChanged || c.timeChanged || c.crcChanged) out.changed.push_back(std::move(c));
    }
    for (const auto& [key, item] : older)
        if (!seen.count(key)) out.removed.push_back({*item, {}});

    auto byKey = [](const IndexedItem& a, const IndexedItem& b) {
        return a.path != b.path ? a.path < b.path : a.name < b.name;
    };
    std::sort(out.added.begin(), out.added.end(), [&](const ItemChange& a, const ItemChange& b) {
        return a.after.size != b.after.size ? a.after.size > b.after.size : byKey(a.after, b.after);
    });
    std::sort(out.changed.begin(), out.changed.end(),
              [&](const ItemChange& a, const ItemChange& b) { return byKey(a.after, b.after); });
    std::sort(out.removed.begin(), out.removed.end(),
              [&](const ItemChange& a, const ItemChange& b) { return byKey(a.before, b.before); });
    return out;
}

}  // namespace quillet
