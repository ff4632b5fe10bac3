#pragma once

// How the stored bytes of an entry name become the UTF-8 name this system lists.

#include <cstdint>
#include <string>
#include <string_view>

namespace lsp {

// True when s is valid UTF-8 and holds at least one character beyond ASCII.
bool validUtf8NonAscii(std::string_view s);

// The bytes of s read as code page 437 (the ZIP names' own code page), in UTF-8.
std::string cp437ToUtf8(std::string_view s);

// The name of an entry in UTF-8. A name with the UTF-8 flag, or written by this library
// (ownExtra: the bytes of a Linux file name, whatever they are), is taken as stored; then
// unicodePath, the name of a Unicode path extra field that matches the stored name (or
// empty); then a name that is all ASCII, and valid UTF-8 from a Unix or macOS host (tools
// there store the bytes of the file name without the flag). Anything else is code page 437.
std::string entryName(std::string_view stored, std::uint16_t flags, std::uint16_t madeBy, bool ownExtra,
                      std::string_view unicodePath);

}  // namespace lsp
