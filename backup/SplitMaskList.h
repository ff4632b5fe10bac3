#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The single masks of one component, in the order written. A mask holds at most 20
// characters; a blank mask (from two commas in a row) is kept and matches nothing.
using MaskList = std::vector<std::string>;

// The width of one mask.
inline constexpr std::size_t MaskWidth = 20;

// Replaces the contents of masks with the single masks of a component's mask text:
// masks separated by commas or written one per line give the same list.
// Each mask is cut to maskWidth characters, as the fixed-width field holds it; callers that
// check what the user typed pass SIZE_MAX to see the masks whole.
void SplitMaskList(std::string_view maskText, MaskList& masks, std::size_t maskWidth = MaskWidth);

}  // namespace quillet
