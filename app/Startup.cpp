#include "app/Startup.h"

#include "framework/CreateFolderPath.h"
#include "framework/Settings.h"

namespace quillet {

namespace {
bool isBlank(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }
}  // namespace

std::string ensureDefaultDestination(Settings& settings, Dialogs& dialogs, const std::string& workingFolder) {
    const std::string current = settings.read("Defaults", "DestinationPath", "");
    if (!isBlank(current)) return current;

    std::string folder = workingFolder;
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    const std::string path = folder + "/backup";
    if (!CreateFolderPath(path, true, dialogs)) return {};
    settings.write("Defaults", "DestinationPath", path);
    return path;
}

}  // namespace quillet
