#include "platform/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <thread>

#include "platform/CrashPoint.h"
#include "platform/TerminationSignals.h"

namespace quillet {

namespace {

// The folders this process holds: the lock file's descriptor and how deeply it nests.
struct HeldFolder {
    int fd = -1;
    int depth = 0;
    std::string path;
};
std::map<std::string, HeldFolder>& heldFolders() {
    static std::map<std::string, HeldFolder> held;
    return held;
}

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

std::string holderIn(int fd) {
    char text[256];
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    std::string holder(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\0')) holder.pop_back();
    return holder;
}

}  // namespace

FolderLock::FolderLock(const std::string& folder, const std::string& holder, int waitMilliseconds) {
    const std::string path = withSlash(folder) + FolderLockName;
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0) {
        error_ = errno;
        return;
    }
    if (!S_ISDIR(dir.st_mode)) {
        error_ = ENOTDIR;
        return;
    }
    const std::string key = std::to_string(dir.st_dev) + ":" + std::to_string(dir.st_ino);
    if (auto it = heldFolders().find(key); it != heldFolders().end()) {
        ++it->second.depth;
        key_ = key;
        state_ = State::Held;
        return;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    bool waiting = false;
    while (true) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            error_ = errno;
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The holder before may have removed the file between our open and our lock:
            // then this lock is on a name nobody else will open, and it starts again.
            struct stat opened {
            }, named{};
            if (::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_ino == named.st_ino &&
                opened.st_dev == named.st_dev) {
                const std::string text = holder + "\n";
                if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, text.data(), text.size(), 0);
                heldFolders()[key] = {fd, 1, path};
                key_ = key;
                state_ = State::Held;
                return;
            }
            ::close(fd);
            continue;
        }
        const int err = errno;
        if (err != EWOULDBLOCK) {
            ::close(fd);
            error_ = err;  // a file system without locks
            return;
        }
        holder_ = holderIn(fd);
        ::close(fd);
        if (!waiting) {
            waiting = true;
            crashPoint(CrashPoint::LockWaiting);
        }
        if (std::chrono::steady_clock::now() >= deadline || terminationRequested()) {
            state_ = State::Busy;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

FolderLock::~FolderLock() {
    if (state_ != State::Held) return;
    auto it = heldFolders().find(key_);
    if (it == heldFolders().end() || --it->second.depth > 0) return;
    // Removed while still locked, so that nobody can lock the name that is going.
    ::unlink(it->second.path.c_str());
    ::close(it->second.fd);
    heldFolders().erase(it);
}

std::string folderOfFile(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string folderInUseText(const std::string& folder, const std::string& holder) {
    return "The destination folder " + withSlash(folder) + " is in use by " +
           (holder.empty() ? std::string("another Quillet run") : "Quillet for the project \"" + holder + "\"") +
           ".|Nothing has been changed there. Run this again when that has finished.";
}

}  // namespace quillet
