#pragma once

#include <string>
#include <vector>

#include "catalog/ArchiveIndex.h"

namespace quillet {

// What differs between two lists of items, keyed by item path and name.
struct ItemChange {
    IndexedItem before;  // empty for an added item
    IndexedItem after;   // empty for a removed item
    bool sizeChanged = false;
    bool timeChanged = false;
    bool crcChanged = false;

    // "size, time, CRC": what changed, for a listing.
    std::string reasons() const;
};

struct ItemChanges {
    std::vector<ItemChange> added;    // largest first
    std::vector<ItemChange> changed;  // by path and name
    std::vector<ItemChange> removed;  // by path and name
    bool empty() const { return added.empty() && changed.empty() && removed.empty(); }
};

// Compares an older list with a newer one: items only in the newer are added, only in the
// older removed, in both with another size, time or CRC changed. Times without their
// exact value (two-second steps) count as equal within two seconds. compareCrc false
// when the newer list has no CRCs (files not yet read).
ItemChanges compareItems(const std::vector<IndexedItem>& before, const std::vector<IndexedItem>& after,
                         bool compareCrc = true);

}  // namespace quillet
