#include "maintenance/NormalizeMaskList.h"

#include <cstdint>

#include "backup/SplitMaskList.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

std::string joined(const MaskList& masks) {
    std::string text;
    for (std::size_t i = 0; i < masks.size(); ++i) {
        if (i == 0) {
            text = masks[i];
            continue;
        }
        // The text so far loses its trailing blanks before the next mask joins it.
        text = std::string(trimRight(text)) + ", " + masks[i];
    }
    return text;
}

}  // namespace

void NormalizeMaskList(std::string& text, std::size_t width) {
    MaskList masks;
    SplitMaskList(text, masks);
    text = std::string(trimRight(utf8CutChars(joined(masks), width)));
}

std::string MaskListProblem(std::string_view text, std::size_t width) {
    MaskList masks;
    SplitMaskList(text, masks, SIZE_MAX);
    for (const std::string& mask : masks)
        if (const std::size_t chars = utf8Length(mask); chars > MaskWidth)
            return "The mask \"" + mask + "\" has " + std::to_string(chars) + " characters; a mask may have at most " +
                   std::to_string(MaskWidth) + ".";
    if (const std::size_t chars = utf8Length(trimRight(joined(masks))); chars > width)
        return "The mask list has " + std::to_string(chars) + " characters; it may have at most " +
               std::to_string(width) + ". Split it over two components.";
    return {};
}

}  // namespace quillet
