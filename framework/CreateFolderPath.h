#pragma once

#include <string>

namespace quillet {

class Dialogs;

// Creates a folder and every missing folder above it. The path must be absolute; a
// trailing "/" is ignored. Levels that cannot be created (normally because they exist)
// are passed over. When the full path itself cannot be created (also when it already
// exists) the message "Cannot Create Directory : " + path is shown, unless quiet is set.
// Returns false only for a path that is not absolute, after saying so whatever quiet
// says; true otherwise, even when the folder could not be created.
bool CreateFolderPath(std::string path, bool quiet, Dialogs& dialogs);

}  // namespace quillet
