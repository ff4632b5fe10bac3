#include "app/LastBackedList.h"

#include <algorithm>
#include <string>

#include "framework/Settings.h"

namespace quillet {

void LastBackedList::record(std::int32_t sysId) {
    if (slots[0] == sysId) return;
    std::array<std::int32_t, 5> next{};
    next[0] = sysId;
    std::size_t n = 1;
    for (const std::int32_t id : slots) {
        if (id == sysId || n == next.size()) continue;
        next[n++] = id;
    }
    slots = next;
}

LastBackedList LastBackedList::load(const Settings& settings) {
    LastBackedList list;
    for (std::size_t i = 0; i < list.slots.size(); ++i)
        list.slots[i] = static_cast<std::int32_t>(settings.readInt("LastBacked", std::to_string(i + 1)));
    return list;
}

bool LastBackedList::save(Settings& settings) const {
    bool ok = true;
    for (std::size_t i = 0; i < slots.size(); ++i)
        ok = settings.write("LastBacked", std::to_string(i + 1), static_cast<std::int64_t>(slots[i])) && ok;
    return ok;
}

}  // namespace quillet
