#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The key SQLCipher derives from passphrase for the record file at path (whose first 16
// bytes are its salt), as the raw key text "x'...'" that SQLCipher takes as it stands.
// Derived once per passphrase and salt in a process. Empty when the file has no salt to
// read (it is new, or not there).
std::string recordFileRawKey(const std::string& path, std::string_view passphrase);

}  // namespace quillet
