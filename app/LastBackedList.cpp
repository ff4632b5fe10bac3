#include "app/LastBackedList.h"

#include <algorithm>
#include <string>

#include "framework/Settings.h"

namespace quillet {

void LastBackedList::record(std::int32_t sysId) {
    if (entries[0] == sysId) return;
    std::array<std::int32_t, 5> next{};
    next[0] = sysId;
    std::size_t n = 1;
    for (const std::int32_t id : entries) {
        if (id == sysId || n == next.size()) continue;
        next[n++] = id;
    }
    entries = next;
}

LastBackedList LastBackedList::load(const Settings& settings) {
    LastBackedList list;
    for (std::size_t i = 0; i < list.entries.size(); ++i)
        list.entries[i] = static_cast<std::int32_t>(settings.readInt("LastBacked", std::to_string(i + 1)));
    return list;
}

bool LastBackedList::save(Settings& settings) const {
    bool ok = true;
    for (std::size_t i = 0; i < entries.size(); ++i)
        ok = settings.write("LastBacked", std::to_string(i + 1), static_cast<std::int64_t>(entries[i])) && ok;
    return ok;
}

}  // namespace quillet
