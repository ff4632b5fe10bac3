#pragma once

#include <optional>
#include <string>

namespace quillet {

class FileSystem;

// Tries to enter a project's destination folder, then makes programFolder current again.
// Nothing when the folder can be entered; otherwise the text the console shows in its
// notes area: a removable or network disk is named by the folder where it is mounted.
std::optional<std::string> CheckProjectPath(FileSystem& fs, const std::string& destination,
                                            const std::string& programFolder);

}  // namespace quillet
