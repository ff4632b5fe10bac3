#include "framework/CreateFolderPath.h"

#include <sys/stat.h>

#include "framework/Dialogs.h"

namespace quillet {

namespace {
constexpr const char* kTitle = "Directory Creation Error";
}

bool CreateFolderPath(std::string path, bool quiet, Dialogs& dialogs) {
    // The root keeps its one "/": it is a full path in its own right.
    if (path.size() > 1 && path.back() == '/') path.pop_back();

    if (path.empty() || path.front() != '/') {
        dialogs.message("You must give a full path beginning with / for the folder", kTitle, Icon::Exclamation);
        return false;
    }

    // Each level is the previous one, "/" and the next name; empty names from doubled
    // slashes add nothing.
    std::string level;
    bool lastCreated = false;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) {
            level += '/';
            level.append(path, start, slash - start);
            lastCreated = ::mkdir(level.c_str(), 0777) == 0;
        }
        start = slash + 1;
    }
    if (level.empty()) lastCreated = ::mkdir(path.c_str(), 0777) == 0;  // the root alone

    if (!lastCreated && !quiet) dialogs.message("Cannot Create Directory : " + path, kTitle, Icon::Exclamation);
    return true;
}

}  // namespace quillet
