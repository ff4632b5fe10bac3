#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The single masks of one component, in the order written. A mask holds at most 20
// characters; a blank mask (from two commas in a row) is kept and matches nothing.
using MaskList = std::vector<std::string>;

// Replaces the contents of masks with the single masks of a component's mask text:
// masks separated by commas or written one per line give the same list.
void SplitMaskList(std::string_view maskText, MaskList& masks);

}  // namespace quillet
