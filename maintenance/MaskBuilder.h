#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One mask of the builder's marked-mask list.
struct MarkedMask {
    std::string MASK;
    std::uint8_t MARK = 0;
};

// The mask builder's marked-mask list: one entry per mask that is marked or was marked
// since the builder opened, kept in mask order (letter case aside, as the pick list's key
// orders). Masks compare without regard to case, as they match; a mask is kept as typed,
// never cut, so that the form that receives the text can refuse what does not fit.
class MaskBuilder {
public:
    // The first fill: every single mask of text is marked, masks not in any pick list too.
    explicit MaskBuilder(std::string_view text);

    bool isMarked(std::string_view mask) const;
    // Marks or unmarks a mask; an unmarked mask keeps its entry.
    void setMarked(std::string_view mask, bool marked);

    // The marked masks in the list's order, joined "first, second".
    std::string text() const;
    const std::vector<MarkedMask>& entries() const { return entries_; }

private:
    std::vector<MarkedMask>::iterator find(std::string_view mask, bool& found);
    std::vector<MarkedMask> entries_;
};

}  // namespace quillet
