#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// The width of a component's or theme's mask text.
inline constexpr std::size_t MaskTextWidth = 500;

// Rewrites a user-typed list of masks in place as one canonical comma list: the single
// masks of SplitMaskList (commas and line breaks both separate, each mask at most 20
// characters) joined as "first, second, third". The result keeps to width characters and
// never ends in half a character.
void NormalizeMaskList(std::string& text, std::size_t width);

}  // namespace quillet
