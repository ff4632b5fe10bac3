#pragma once

#include <string>

namespace quillet {

// Creates a folder and its missing parents; 0 on success, else the errno of the level
// that failed. A relative path stays relative (below the process's working folder).
// Each folder it creates is synced into its parent, so that a power loss cannot take
// it away again together with what is then written into it.
int makeFolders(const std::string& folder);

// Flushes a folder's entries (new, renamed or deleted names) to disk, so they survive a
// power loss. Best effort: a folder that cannot be opened or synced is passed over.
void syncFolder(const std::string& folder);

}  // namespace quillet
