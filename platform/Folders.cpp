#include "platform/Folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillet {

namespace {

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int makeFolders(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    // Create each level in turn; a level that exists already is fine.
    for (std::size_t pos = 1;; ++pos) {
        pos = folder.find('/', pos);
        const std::string level = folder.substr(0, pos);
        if (!level.empty() && level.back() != '/') {
            if (::mkdir(level.c_str(), 0777) == 0)
                syncFolder(parentOf(level));
            else if (errno != EEXIST)
                return errno;
        }
        if (pos == std::string::npos) break;
    }
    if (::stat(folder.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace quillet
