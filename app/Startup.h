#pragma once

#include <string>

namespace quillet {

class Dialogs;
class Settings;

// At first start (a blank [Defaults] DestinationPath) the working folder + "/backup"
// becomes the default destination for new projects: the folder is created quietly and the
// key is written only when CreateFolderPath accepts the path, so a refused path is tried
// again at the next start. Returns the recorded destination ("" when none).
std::string ensureDefaultDestination(Settings& settings, Dialogs& dialogs, const std::string& workingFolder);

}  // namespace quillet
