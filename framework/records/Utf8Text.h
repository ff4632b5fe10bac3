#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

// Small UTF-8 helpers for fixed-width text: widths are counted in characters, and a value
// cut to fit must never end in half a character.

// True when text is well-formed UTF-8 (no stray continuation bytes, no overlong forms,
// no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);

// Number of characters (code points) of well-formed UTF-8 text.
std::size_t utf8Length(std::string_view text);

// The longest start of text that is at most maxBytes long and ends on a character boundary.
std::string_view utf8CutBytes(std::string_view text, std::size_t maxBytes);

// The first maxChars characters of text.
std::string_view utf8CutChars(std::string_view text, std::size_t maxChars);

// Latin-1 (ISO 8859-1) bytes as UTF-8: every byte is one character.
std::string latin1ToUtf8(std::string_view bytes);

// text without trailing spaces (fixed-width fields are space-padded).
std::string_view trimRight(std::string_view text);

}  // namespace quillet
