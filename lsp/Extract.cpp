#include "lsp/Extract.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "lsp/EntryData.h"
#include "platform/DateCodes.h"
#include "platform/Folders.h"

namespace lsp {

namespace {

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& o) noexcept : fd(o.fd) { o.fd = -1; }
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            fd = o.fd;
            o.fd = -1;
        }
        return *this;
    }
    ~Fd() { reset(); }
    void reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return parts;
}

// A link stays inside the destination when, read from the link's own folder (depth
// folders below the destination), it never climbs above the destination.
bool linkStaysInside(const std::string& target, std::size_t depth) {
    if (target.empty() || target.front() == '/') return false;
    long level = static_cast<long>(depth);
    for (const auto& part : splitPath(target)) {
        level += part == ".." ? -1 : 1;
        if (level < 0) return false;
    }
    return true;
}

bool allZero(const unsigned char* d, std::size_t n) {
    return n > 0 && d[0] == 0 && std::memcmp(d, d + 1, n - 1) == 0;
}

// The folder below dirFd at the relative path, opened in one call that refuses a link
// anywhere on the way and anything that would leave dirFd's tree; -1 with errno otherwise.
// ENOSYS where the kernel (or a sandbox) lacks openat2: the caller then walks level by level.
int openBeneath(int dirFd, const std::string& relative) {
    static bool unsupported = false;
    if (unsupported) {
        errno = ENOSYS;
        return -1;
    }
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, dirFd, relative.c_str(), &how, sizeof how);
    if (fd < 0 && (errno == ENOSYS || errno == EPERM || errno == E2BIG)) {
        unsupported = true;
        errno = ENOSYS;
    }
    return static_cast<int>(fd);
}

// A free name beside the target for writing before the rename.
Fd createTemporary(int dirFd, const std::string& name, std::string& tempName, bool forLink, const std::string& link,
                   mode_t mode = 0666) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = "." + name.substr(0, 200) + ".lsp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        if (forLink) {
            if (::symlinkat(link.c_str(), dirFd, tempName.c_str()) == 0) return Fd();
            if (errno != EEXIST) break;
            continue;
        }
        const int fd = ::openat(dirFd, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) return Fd(fd);
        if (errno != EEXIST) break;
    }
    tempName.clear();
    return Fd();
}

// The process id in a temporary name ".NAME.lsp-PID-N" (createTemporary), or 0.
pid_t temporaryOwner(std::string_view name) {
    if (name.size() < 9 || name.front() != '.') return 0;
    const std::size_t tag = name.rfind(".lsp-");
    if (tag == std::string_view::npos || tag < 2) return 0;
    std::string_view rest = name.substr(tag + 5);
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() || dash > 9) return 0;
    pid_t pid = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (i == dash) continue;
        if (rest[i] < '0' || rest[i] > '9') return 0;
        if (i < dash) pid = pid * 10 + (rest[i] - '0');
    }
    return pid;
}

// Removes what killed restores left in a folder: temporary files and links of ours whose
// process is gone. A live process's temporary, ours or anyone's, and other users' files
// are left alone.
void removeDeadTemporaries(int dirFd) {
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const uid_t me = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
        const pid_t owner = temporaryOwner(entry->d_name);
        if (owner <= 0 || owner == ::getpid()) continue;
        if (::kill(owner, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to know
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if ((!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) || st.st_uid != me) continue;
        ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// Each folder that existed before this process wrote to it is cleaned once.
void cleanFolderOnce(int dirFd) {
    static std::set<std::pair<dev_t, ino_t>> cleaned;
    struct stat st {};
    if (::fstat(dirFd, &st) != 0) return;
    if (cleaned.insert({st.st_dev, st.st_ino}).second) removeDeadTemporaries(dirFd);
}

}  // namespace

std::int16_t extractEntry(const OpenArchive& a, const ZipEntry& e, const std::string& destination,
                          const ExtractOptions& options, const LSP_HOST& host, Progress& progress) {
    // An item path or name that climbs out is refused before anything is touched; an
    // absolute path counts from the destination.
    const std::vector<std::string> folders = options.usePaths ? splitPath(e.itemPath) : std::vector<std::string>();
    for (const auto& part : folders)
        if (part == "..") return LSP_E_STRUCTURE;
    if (e.itemName.empty() || e.itemName == "." || e.itemName == ".." || e.itemName.find('/') != std::string::npos)
        return LSP_E_STRUCTURE;
    if (destination.empty()) return LSP_E_CREATE_OUTPUT;

    Fd dir(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0 && errno == ENOENT && options.createFolders) {
        if (quillet::makeFolders(destination) != 0) return LSP_E_CREATE_FOLDER;
        dir = Fd(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (dir.fd < 0) return LSP_E_CREATE_OUTPUT;
    // Most items go into a folder that is there already: one call enters it. Otherwise the
    // walk, one level at a time, creates what is missing and tells a link from a file.
    std::string below;
    for (const auto& part : folders) below += (below.empty() ? "" : "/") + part;
    if (const int fd = below.empty() ? -1 : openBeneath(dir.fd, below); fd >= 0) {
        dir = Fd(fd);
    } else {
        for (const auto& part : folders) {
            int next = ::openat(dir.fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0 && errno == ENOENT) {
                if (!options.createFolders) return LSP_E_CREATE_OUTPUT;
                if (::mkdirat(dir.fd, part.c_str(), 0777) != 0 && errno != EEXIST) return LSP_E_CREATE_FOLDER;
                next = ::openat(dir.fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            }
            if (next < 0) return LSP_E_CREATE_OUTPUT;  // a link or a file where a folder should be
            dir = Fd(next);
        }
    }

    cleanFolderOnce(dir.fd);

    const std::string& name = e.itemName;
    struct stat existing {};
    const bool exists = ::fstatat(dir.fd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode)) return LSP_E_CREATE_OUTPUT;
        if (options.neverOverwrite) return LSP_ANSWERED_NO;
        if (!options.alwaysOverwrite) {
            std::string shown;
            for (const auto& part : folders) shown += part + "/";
            const int answer =
                askHost(host, options.quiet, "The file " + shown + name + " already exists.|Overwrite it?",
                        "Confirm Overwrite");
            if (answer == LSP_ANSWER_CANCEL) return LSP_CANCELLED;
            if (answer != LSP_ANSWER_YES) return LSP_ANSWERED_NO;
        }
    }

    timespec times[2];
    // Without an exact time, the DOS words; 1 January 1980 when they are damaged.
    const std::time_t dosTime = quillet::toTimeTFromDos(e.dosDate, e.dosTime);
    times[1].tv_sec = e.hasTime      ? static_cast<time_t>(e.mtimeSeconds)
                      : dosTime >= 0 ? dosTime
                                     : quillet::toTimeTFromDos((1 << 5) | 1, 0);
    times[1].tv_nsec = e.hasTime ? static_cast<long>(e.mtimeNanos) : 0;
    times[0] = times[1];

    if (e.isLink()) {
        std::string target;
        const auto s = decodeEntry(
            a.fd, a.directory.entriesEnd, e,
            [&](const unsigned char* d, std::size_t n) -> std::int16_t {
                if (target.size() + n > 4095) return LSP_E_STRUCTURE;
                target.append(reinterpret_cast<const char*>(d), n);
                return LSP_OK;
            },
            progress);
        if (s != LSP_OK) return s;
        if (target.find('\0') != std::string::npos || !linkStaysInside(target, folders.size()))
            return LSP_E_CREATE_OUTPUT;
        std::string temp;
        createTemporary(dir.fd, name, temp, true, target);
        if (temp.empty()) return LSP_E_CREATE_OUTPUT;
        ::utimensat(dir.fd, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
        if (::renameat(dir.fd, temp.c_str(), dir.fd, name.c_str()) != 0) {
            ::unlinkat(dir.fd, temp.c_str(), 0);
            return LSP_E_CREATE_OUTPUT;
        }
        return LSP_OK;
    }

    // Every file is written under a new name beside the target and renamed into place once
    // its CRC-32 checked out: a process killed halfway leaves no cut-off file under the
    // item's name, and a file it would replace stays as it was.
    // A file with recorded permissions is created for its owner alone until they are set,
    // so that a file only its owner could read is never readable by others on its way back.
    const mode_t recordedMode = static_cast<mode_t>(e.unixMode() & 07777 & ~(S_ISUID | S_ISGID));
    const mode_t createMode = recordedMode ? 0600 : 0666;
    std::string temp;
    Fd out = createTemporary(dir.fd, name, temp, false, {}, createMode);
    if (out.fd < 0) return errno == ENOSPC || errno == EDQUOT ? LSP_E_DISK_FULL : LSP_E_CREATE_OUTPUT;
    const std::string& written = temp;

    // Runs of zeros (the holes of a sparse file, mostly) are skipped rather than written:
    // the new file reads back the same and takes no room for them.
    std::uint64_t length = 0;
    bool endsInHole = false;
    std::int16_t status = decodeEntry(
        a.fd, a.directory.entriesEnd, e,
        [&](const unsigned char* d, std::size_t n) -> std::int16_t {
            length += n;
            endsInHole = allZero(d, n);
            if (endsInHole) {
                if (::lseek(out.fd, static_cast<off_t>(n), SEEK_CUR) < 0) return writeFailure(errno);
                return LSP_OK;
            }
            while (n > 0) {
                const ssize_t w = ::write(out.fd, d, n);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) return writeFailure(w < 0 ? errno : ENOSPC);
                d += w;
                n -= static_cast<std::size_t>(w);
            }
            return LSP_OK;
        },
        progress);
    if (status == LSP_OK && endsInHole && ::ftruncate(out.fd, static_cast<off_t>(length)) != 0)
        status = writeFailure(errno);
    if (status == LSP_OK) {
        // The recorded permissions come back (never the set-user/group-ID bits).
        if (recordedMode) ::fchmod(out.fd, recordedMode);
        ::futimens(out.fd, times);
        const int fd = out.fd;
        out.fd = -1;
        if (::close(fd) != 0) status = writeFailure(errno);
    }
    out.reset();
    if (status != LSP_OK) {
        ::unlinkat(dir.fd, written.c_str(), 0);
        return status;
    }
    // A name that was free when the item began is not taken from a file that appeared since.
    int renamed = exists ? ::renameat(dir.fd, temp.c_str(), dir.fd, name.c_str())
                         : ::renameat2(dir.fd, temp.c_str(), dir.fd, name.c_str(), RENAME_NOREPLACE);
    if (renamed != 0 && !exists && errno == EINVAL)  // a file system without the no-replace rename
        renamed = ::renameat(dir.fd, temp.c_str(), dir.fd, name.c_str());
    if (renamed != 0) {
        ::unlinkat(dir.fd, temp.c_str(), 0);
        return LSP_E_CREATE_OUTPUT;
    }
    return LSP_OK;
}

}  // namespace lsp
