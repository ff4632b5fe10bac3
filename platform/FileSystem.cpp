#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/AtomicWrite.h"
#include "platform/DateCodes.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "platform/Wildcard.h"

namespace quillet {

namespace {

constexpr std::uint8_t kFilteredBits = attrib::System | attrib::Directory;

std::string parentOf(const std::string& absolute) {
    const auto slash = absolute.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return absolute.substr(0, slash);
}

std::string baseNameOf(const std::string& absolute) {
    const auto slash = absolute.rfind('/');
    return slash == std::string::npos ? absolute : absolute.substr(slash + 1);
}

void stampTimes(const struct stat& st, DirEntry& e) {
    localDateAndTimeOf(st.st_mtim.tv_sec, static_cast<int>(st.st_mtim.tv_nsec / 10000000), e.date, e.time);
}

// Fills the attributes, times and size of one entry from the file system. dtype is the
// readdir type (DT_UNKNOWN when not known). False when the entry is gone.
bool describe(int dirFd, const char* path, unsigned char dtype, DirEntry& e) {
    struct stat st {};
    bool link = dtype == DT_LNK;
    if (dtype == DT_UNKNOWN) {
        if (::fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
        link = S_ISLNK(st.st_mode);
    }
    // No hidden bit: Linux has none, and ".gitignore" or ".env" is an ordinary file.
    e.attrib = 0;
    if (link) {
        struct stat target {};
        if (::fstatat(dirFd, path, &target, 0) == 0 && S_ISREG(target.st_mode)) {
            st = target;  // a link to a file stands for the file
        } else {
            // Broken links, links to folders (never followed by a walk) and to anything else.
            if (::fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
            e.attrib |= attrib::System;
            stampTimes(st, e);
            return true;
        }
    } else if (dtype != DT_UNKNOWN && ::fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    if (S_ISREG(st.st_mode)) {
        e.attrib |= attrib::Archive;
        e.size = st.st_size;
    } else if (S_ISDIR(st.st_mode)) {
        e.attrib |= attrib::Directory;
    } else {
        e.attrib |= attrib::System;
    }
    if (!(st.st_mode & S_IWUSR)) e.attrib |= attrib::ReadOnly;
    stampTimes(st, e);
    return true;
}

bool passesFilter(std::uint8_t bits, std::uint8_t wanted) {
    return (bits & kFilteredBits) == 0 || (bits & wanted & kFilteredBits) != 0;
}

// The deepest existing folder at or above an absolute path, with links resolved, plus
// the part below it that does not exist yet.
std::string resolvedPath(const std::string& absolute) {
    std::string head = absolute, tail;
    char real[PATH_MAX];
    while (true) {
        if (::realpath(head.c_str(), real)) {
            std::string out = real;
            if (!tail.empty()) out += (out == "/" ? "" : "/") + tail;
            return out;
        }
        if (head == "/") return absolute;
        const std::string base = baseNameOf(head);
        tail = tail.empty() ? base : base + "/" + tail;
        head = parentOf(head);
    }
}

std::string existingAncestor(const std::string& absolute) {
    std::string p = absolute;
    struct stat st {};
    while (p != "/" && ::stat(p.c_str(), &st) != 0) p = parentOf(p);
    return p;
}

Status copyContents(int in, int out) {
    // copy_file_range lets the kernel (or the file system) do the work; plain reads and
    // writes where it cannot.
    bool kernelCopy = true;
    std::unique_ptr<char[]> buffer;
    while (true) {
        if (kernelCopy) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n > 0) continue;
            if (n == 0) return {};
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return Status::failure(std::strerror(errno));
            kernelCopy = false;
            buffer = std::make_unique<char[]>(1 << 20);
        }
        const ssize_t n = ::read(in, buffer.get(), 1 << 20);
        if (n == 0) return {};
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::failure(std::strerror(errno));
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer.get() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return Status::failure(std::strerror(errno));
            }
            done += w;
        }
    }
}

// rename that refuses an existing target.
int renameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: check, then rename (a small race, the best there is).
    struct stat st {};
    if (::lstat(to, &st) == 0) return EEXIST;
    return ::rename(from, to) == 0 ? 0 : errno;
}

}  // namespace

FileSystem::FileSystem() {
    char buffer[PATH_MAX];
    current_ = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
}

FileSystem::FileSystem(std::string currentFolder) : current_("/") {
    current_ = absolutePath(currentFolder);
}

std::string FileSystem::absolutePath(const std::string& path) const {
    std::string out;
    // The root's own "/" is not kept, or every path below it would begin with "//".
    if ((path.empty() || path[0] != '/') && current_ != "/") out = current_;
    out.reserve(out.size() + path.size() + 1);
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t end = path.find('/', i);
        if (end == std::string::npos) end = path.size();
        const std::string_view part(path.data() + i, end - i);
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            const auto slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else {
            out.push_back('/');
            out.append(part);
        }
        i = end + 1;
    }
    return out.empty() ? "/" : out;
}

Status FileSystem::setCurrentFolder(const std::string& folder) {
    const std::string target = absolutePath(folder);
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0)
        return Status::failure(systemErrorText("Cannot enter the folder", target, errno));
    if (!S_ISDIR(st.st_mode)) return Status::failure(systemErrorText("Cannot enter the folder", target, ENOTDIR));
    if (::access(target.c_str(), X_OK) != 0)
        return Status::failure(systemErrorText("Cannot enter the folder", target, errno));
    current_ = target;
    return {};
}

Result<std::vector<DirEntry>> FileSystem::list(const std::string& folder, const std::string& mask,
                                               std::uint8_t wanted) const {
    const std::string dirPath = absolutePath(folder);
    const int fd = ::open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Result<std::vector<DirEntry>>::failure(systemErrorText("Cannot list the folder", dirPath, errno));
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int err = errno;
        ::close(fd);
        return Result<std::vector<DirEntry>>::failure(systemErrorText("Cannot list the folder", dirPath, err));
    }
    std::vector<DirEntry> entries;
    const bool everything = matchesEverything(mask);
    const bool plainOnly = (wanted & kFilteredBits) == 0;
    int err = 0;
    while (true) {
        errno = 0;  // readdir tells its end from an error only through errno
        const dirent* d = ::readdir(dir);
        if (!d) {
            err = errno;
            break;
        }
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        // Cheap refusals first, so a plain file listing costs one stat per listed file.
        if (plainOnly && d->d_type != DT_UNKNOWN && d->d_type != DT_REG && d->d_type != DT_LNK) continue;
        if (!everything && !matchesMask(n, mask)) continue;
        DirEntry e;
        e.name = n;
        if (!describe(fd, n, d->d_type, e)) continue;  // vanished meanwhile
        if (!passesFilter(e.attrib, wanted)) continue;
        e.shortName = e.name;
        entries.push_back(std::move(e));
    }
    ::closedir(dir);
    if (err != 0)
        return Result<std::vector<DirEntry>>::failure(systemErrorText("Cannot list the folder", dirPath, err));
    return entries;
}

Result<std::vector<DirEntry>> FileSystem::list(const std::string& pattern, std::uint8_t wanted) const {
    const auto slash = pattern.rfind('/');
    if (slash == std::string::npos) return list(current_, pattern, wanted);
    return list(slash == 0 ? "/" : pattern.substr(0, slash), pattern.substr(slash + 1), wanted);
}

Result<DirEntry> FileSystem::entry(const std::string& path) const {
    const std::string full = absolutePath(path);
    DirEntry e;
    e.name = baseNameOf(full);
    if (!describe(AT_FDCWD, full.c_str(), DT_UNKNOWN, e))
        return Result<DirEntry>::failure(systemErrorText("Cannot read the file", full, errno));
    e.shortName = e.name;
    return e;
}

Status FileSystem::createFolder(const std::string& folder) const {
    const std::string full = absolutePath(folder);
    if (::mkdir(full.c_str(), 0777) != 0)
        return Status::failure(systemErrorText("Cannot create the folder", full, errno));
    return {};
}

Status FileSystem::createFolders(const std::string& folder) const {
    const std::string full = absolutePath(folder);
    if (const int err = makeFolders(full); err != 0)
        return Status::failure(systemErrorText("Cannot create the folder", full, err));
    return {};
}

Status FileSystem::move(const std::string& fromPath, const std::string& toPath) const {
    const std::string from = absolutePath(fromPath), to = absolutePath(toPath);
    const int err = renameNoReplace(from.c_str(), to.c_str());
    if (err == 0) return {};
    if (err == EEXIST) return Status::failure("Cannot move " + from + " to " + to + ": the target already exists");
    if (err == EXDEV && fileExists(from)) {
        // Another file system: copy, then delete the original; on failure the original stays.
        if (Status s = copyFile(from, to, true); !s) return s;
        if (::unlink(from.c_str()) != 0) {
            const int unlinkErr = errno;
            ::unlink(to.c_str());
            return Status::failure(systemErrorText("Cannot move the file", from, unlinkErr));
        }
        return {};
    }
    return Status::failure("Cannot move " + from + " to " + to + ": " + std::strerror(err));
}

int FileSystem::renameNoReplace(const std::string& fromPath, const std::string& toPath) const {
    return quillet::renameNoReplace(absolutePath(fromPath).c_str(), absolutePath(toPath).c_str());
}

Status FileSystem::removeFile(const std::string& path) const {
    const std::string full = absolutePath(path);
    struct stat st {};
    if (::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Status::failure(systemErrorText("Cannot delete the file", full, EISDIR));
    if (::unlink(full.c_str()) != 0) return Status::failure(systemErrorText("Cannot delete the file", full, errno));
    return {};
}

Status FileSystem::removeFolder(const std::string& path) const {
    const std::string full = absolutePath(path);
    if (::rmdir(full.c_str()) != 0) return Status::failure(systemErrorText("Cannot remove the folder", full, errno));
    return {};
}

Status FileSystem::copyFile(const std::string& fromPath, const std::string& toPath, bool failIfExists) const {
    const std::string from = absolutePath(fromPath), to = absolutePath(toPath);
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Status::failure(systemErrorText("Cannot copy the file", from, errno));
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno ? errno : EINVAL;
        ::close(in);
        return Status::failure(systemErrorText("Cannot copy the file", from, err));
    }
    if (failIfExists) {
        struct stat existing {};
        if (::lstat(to.c_str(), &existing) == 0) {
            ::close(in);
            return Status::failure("Cannot copy " + from + " to " + to + ": the target already exists");
        }
    }
    const std::string temp = temporaryNameFor(to);
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return Status::failure(systemErrorText("Cannot copy the file", to, err));
    }
    Status copied = copyContents(in, out);
    ::close(in);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (copied && (::fchmod(out, st.st_mode & 07777) != 0 || ::futimens(out, times) != 0 || ::fsync(out) != 0))
        copied = Status::failure(std::strerror(errno));
    if (::close(out) != 0 && copied) copied = Status::failure(std::strerror(errno));
    if (copied) {
        const int err = failIfExists ? renameNoReplace(temp.c_str(), to.c_str())
                                     : (::rename(temp.c_str(), to.c_str()) == 0 ? 0 : errno);
        if (err == EEXIST)
            copied = Status::failure("the target already exists");
        else if (err != 0)
            copied = Status::failure(std::strerror(err));
    }
    if (!copied) {
        ::unlink(temp.c_str());
        return Status::failure("Cannot copy " + from + " to " + to + ": " + copied.error());
    }
    return {};
}

bool FileSystem::fileExists(const std::string& path) const {
    struct stat st {};
    return ::stat(absolutePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileSystem::folderExists(const std::string& path) const {
    struct stat st {};
    return ::stat(absolutePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Result<std::int64_t> FileSystem::fileSize(const std::string& path) const {
    const std::string full = absolutePath(path);
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0)
        return Result<std::int64_t>::failure(systemErrorText("Cannot read the file", full, errno));
    return static_cast<std::int64_t>(st.st_size);
}

Result<FileStamp> FileSystem::modificationTime(const std::string& path) const {
    const std::string full = absolutePath(path);
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0)
        return Result<FileStamp>::failure(systemErrorText("Cannot read the file", full, errno));
    FileStamp s;
    s.seconds = st.st_mtim.tv_sec;
    s.nanoseconds = st.st_mtim.tv_nsec;
    s.date = localDateOf(st.st_mtim.tv_sec);
    s.time = localTimeOf(st.st_mtim.tv_sec, static_cast<int>(st.st_mtim.tv_nsec / 10000000));
    return s;
}

Status FileSystem::setModificationTime(const std::string& path, std::int64_t seconds, std::int64_t nanoseconds) const {
    const std::string full = absolutePath(path);
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<std::time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(nanoseconds);
    if (::utimensat(AT_FDCWD, full.c_str(), times, 0) != 0)
        return Status::failure(systemErrorText("Cannot set the time of the file", full, errno));
    return {};
}

Result<std::int64_t> FileSystem::freeSpace(const std::string& path) const {
    if (freeSpaceProbe_) return freeSpaceProbe_(path);
    // A folder that is still to be created lands on the file system of its nearest parent.
    const std::string where = existingAncestor(absolutePath(path));
    struct statvfs vfs {};
    if (::statvfs(where.c_str(), &vfs) != 0)
        return Result<std::int64_t>::failure(systemErrorText("Cannot read the free space", where, errno));
    return static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
}

DriveType FileSystem::driveType(const std::string& path) const {
    const MountTable table = MountTable::current();
    if (table.entries().empty()) return DriveType::Unknown;
    return table.driveType(resolvedPath(absolutePath(path)));
}

std::string FileSystem::mountFolder(const std::string& path) const {
    const MountTable table = MountTable::current();
    const MountEntry* m = table.mountOf(resolvedPath(absolutePath(path)));
    return m ? m->folder : "/";
}

std::string tempFolder() {
    const char* t = std::getenv("TMPDIR");
    std::string folder = (t && *t) ? t : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string expandHome(const std::string& path) {
    if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/')) return path;
    std::string home = homeFolder();
    if (home.size() > 1 && home.back() == '/') home.pop_back();
    if (path.size() == 1) return home;
    return (home == "/" ? "" : home) + path.substr(1);
}

}  // namespace quillet
