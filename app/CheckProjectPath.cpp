#include "app/CheckProjectPath.h"

#include "platform/FileSystem.h"

namespace quillet {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::optional<std::string> CheckProjectPath(FileSystem& fs, const std::string& destination,
                                            const std::string& programFolder) {
    const std::string path = trimmed(destination);
    const bool entered = !path.empty() && fs.setCurrentFolder(path).ok();
    (void)fs.setCurrentFolder(programFolder);
    if (entered) return std::nullopt;

    const DriveType type = path.empty() ? DriveType::Unknown : fs.driveType(path);
    if (type == DriveType::Removable || type == DriveType::Remote)
        return "ERROR: \r\n\r\nThe path specified for the currently selected project is not available. Check to see "
               "that the Removable Disk:" +
               fs.mountFolder(path) + " is in place";
    return "ERROR: \r\n\r\n" + path + " is unavailable!";
}

}  // namespace quillet
