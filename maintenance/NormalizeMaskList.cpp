#include "maintenance/NormalizeMaskList.h"

#include "backup/SplitMaskList.h"
#include "framework/records/Utf8Text.h"

namespace quillet {

void NormalizeMaskList(std::string& text, std::size_t width) {
    MaskList masks;
    SplitMaskList(text, masks);
    text.clear();
    for (std::size_t i = 0; i < masks.size(); ++i) {
        if (i == 0) {
            text = masks[i];
            continue;
        }
        // The text so far loses its trailing blanks before the next mask joins it.
        text = std::string(trimRight(text)) + ", " + masks[i];
    }
    text = std::string(trimRight(utf8CutChars(text, width)));
}

}  // namespace quillet
