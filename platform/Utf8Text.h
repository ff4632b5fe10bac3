#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

// The program's text helpers. Widths are counted in characters, and a value cut to fit
// must never end in half a character.
//
// Where trimming applies, decided here once: record fields and settings values are
// space-padded fixed-width texts and are trimmed (trimRight) where they are read or
// stored. File names and paths are never trimmed, cut or upper-cased on their way to a
// file or to the library pair: on Linux "trail ", " lead", "a\nb" and "*?[" are names
// like any other, and any byte but "/" and NUL may stand in them.

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

// text without trailing spaces: for record fields and settings only (see above).
std::string_view trimRight(std::string_view text);

// text with a-z upper-cased and every other byte as it is: the key of the sort and
// search orders that ignore case.
std::string upperCased(std::string_view text);

}  // namespace quillet
