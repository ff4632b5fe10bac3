#include "platform/AtomicWrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/CrashPoint.h"
#include "platform/Folders.h"

namespace quillet {

std::string systemErrorText(const std::string& what, const std::string& path, int err) {
    return what + ": " + std::strerror(err) + ": " + path;
}

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

void removeLeftoverTemporaries(const std::string& path) {
    const std::string folder = folderOf(path);
    const auto slash = path.rfind('/');
    const std::string lead = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, lead.size(), lead) != 0) continue;
        // "<pid>-<n>", digits only: nothing else is ours.
        const std::string rest = name.substr(lead.size());
        const auto dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || dash + 1 == rest.size() || dash > 9 ||
            rest.find_first_not_of("0123456789-") != std::string::npos || rest.find('-', dash + 1) != std::string::npos)
            continue;
        const long pid = std::strtol(rest.c_str(), nullptr, 10);
        if (pid <= 0 || pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        const std::string file = folder + "/" + name;
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(file.c_str());
    }
    ::closedir(dir);
}

Status writeFileAtomically(const std::string& requested, std::string_view content) {
    std::string path = requested;
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists) {
        // Replace the file a link points to, not the link.
        struct stat lst {};
        if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
            char real[PATH_MAX];
            if (::realpath(path.c_str(), real)) path = real;
        }
        if (S_ISDIR(st.st_mode)) return Status::failure(systemErrorText("Cannot write the file", requested, EISDIR));
    } else {
        const std::string folder = folderOf(path);
        if (const int err = makeFolders(folder); err != 0)
            return Status::failure(systemErrorText("Cannot create the folder", folder, err));
    }

    const std::string temp = temporaryNameFor(path);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return Status::failure(systemErrorText("Cannot write the file", requested, errno));
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        return Status::failure(systemErrorText("Cannot write the file", requested, err));
    };
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) return fail(errno);
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Status::failure(systemErrorText("Cannot write the file", requested, err));
    }
    crashPoint(CrashPoint::FileWriteSynced);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Status::failure(systemErrorText("Cannot write the file", requested, err));
    }
    // The new name must survive a power loss too: sync the folder that holds it. The file
    // is already in place, so a failure here is not reported.
    crashPoint(CrashPoint::FileWriteRenamed);
    syncFolder(folderOf(path));
    return {};
}

}  // namespace quillet
