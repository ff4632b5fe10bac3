#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

// The width of a component's or theme's mask text.
inline constexpr std::size_t MaskTextWidth = 500;

// Rewrites a user-typed list of masks in place as one canonical comma list: the single
// masks of SplitMaskList (commas and line breaks both separate, each mask at most 20
// characters) joined as "first, second, third". The result keeps to width characters and
// never ends in half a character.
void NormalizeMaskList(std::string& text, std::size_t width);

// Why a typed mask list cannot be stored as it stands (a mask over 20 characters, or a
// list over width characters once normalised), or empty when it can: what the user typed
// is refused, never shortened, so no mask is silently lost.
std::string MaskListProblem(std::string_view text, std::size_t width);

}  // namespace quillet
