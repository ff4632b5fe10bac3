#pragma once

#include <string_view>

namespace quillet {

// File-name masks with the classic rules: '*' matches any run of characters (dots
// included), '?' exactly one character, and the comparison ignores letter case (ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic letters). A mask ending in ".*" also
// matches names without a dot ("*.*" matches every name, "report.*" matches "report"),
// and a mask ending in a single "." matches only names without a dot ("*." finds
// "README" but not "a.txt"). Names and masks are UTF-8; '?' takes one character, not one
// byte. A blank mask matches nothing.
bool matchesMask(std::string_view name, std::string_view mask);

// True when the mask matches every name ("*", "*.*"), so a listing can skip matching.
bool matchesEverything(std::string_view mask);

// Text compare without regard to letter case, with the same folding as the masks.
bool sameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace quillet
