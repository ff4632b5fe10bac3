#include "maintenance/MaskBuilder.h"

#include <algorithm>
#include <cstdint>

#include "backup/SplitMaskList.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

// Mask order: without regard to case, then by the exact bytes so the order is total.
bool before(const MarkedMask& entry, std::string_view mask) {
    const std::string a = upperCased(entry.MASK), b = upperCased(mask);
    if (a != b) return a < b;
    return false;
}

}  // namespace

MaskBuilder::MaskBuilder(std::string_view text) {
    MaskList masks;
    // Whole masks: an overlong one is carried through for the form to refuse, never cut.
    SplitMaskList(text, masks, SIZE_MAX);
    for (const std::string& mask : masks)
        if (!std::string_view(trimRight(mask)).empty()) setMarked(trimRight(mask), true);
}

std::vector<MarkedMask>::iterator MaskBuilder::find(std::string_view mask, bool& found) {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), mask, before);
    found = it != entries_.end() && upperCased(it->MASK) == upperCased(mask);
    return it;
}

bool MaskBuilder::isMarked(std::string_view mask) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), mask, before);
    return it != entries_.end() && upperCased(it->MASK) == upperCased(mask) && it->MARK != 0;
}

void MaskBuilder::setMarked(std::string_view mask, bool marked) {
    bool found = false;
    auto it = find(mask, found);
    if (found) {
        it->MARK = marked ? 1 : 0;
        return;
    }
    if (!marked) return;  // never marked: nothing to keep
    entries_.insert(it, MarkedMask{std::string(mask), 1});
}

std::string MaskBuilder::text() const {
    std::string out;
    for (const MarkedMask& e : entries_) {
        if (!e.MARK) continue;
        // Each next mask joins the text without its trailing blanks after ", ".
        out = out.empty() ? e.MASK : std::string(trimRight(out)) + ", " + e.MASK;
    }
    return out;
}

}  // namespace quillet
