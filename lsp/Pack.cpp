// Entry points of the packing library, and the batch that stays open between pack calls.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "lsp/ArchiveWriter.h"
#include "lsp/Lookahead.h"
#include "lsp/Shared.h"
#include "lsp/ZipDirectory.h"
#include "lsp/lsp.h"
#include "platform/CrashPoint.h"
#include "platform/Folders.h"

namespace {

using namespace lsp;
using quillet::makeFolders;
using quillet::syncFolder;

// An archive being written: the temporary file that will take the archive's place.
struct Session {
    std::string archive;  // absolute path
    ArchiveWriter writer;
    bool existed = false;    // replaces a finished archive
    mode_t archiveMode = 0;  // permissions of the archive it replaces
    dev_t tempDevice = 0;    // identity of the temporary file
    ino_t tempInode = 0;
};

std::unique_ptr<Session> g_batch;
std::string g_relativeBase;
bool g_relativeOn = false;

// The earlier archive whose unchanged items are copied instead of packed anew. Its
// directory is kept as the records stored in it, an item parsed only when a file of its
// name comes to be packed: a backup of 100,000 files has 100,000 items here, beside the
// new archive's own directory.
struct Reference : DirectorySink {
    std::string path;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    DirectoryReading reading;  // entries lie before reading.start
    RecordStore records;
    // The items' records by the hash of their ZIP names, sorted; equal names in stored order.
    std::vector<std::pair<std::size_t, std::string_view>> byName;
    ZipEntry found;  // what find() gave last
    // Its items are copied in the order they were written: read through one window.
    std::unique_ptr<ReadWindow> window;

    ~Reference() override {
        if (fd >= 0) ::close(fd);
    }
    void begin(const DirectoryReading& r) override {
        reading = r;
        records = RecordStore{};
        byName.clear();
        byName.reserve(r.count);
    }
    void add(ZipEntry&& e, std::string_view record) override {
        if (!e.isFolder) byName.emplace_back(std::hash<std::string_view>{}(e.zipName), records.store(record));
    }
    // The item stored under zipName (the last of equal names, as a listing shows), valid
    // until the next call; null when there is none.
    const ZipEntry* find(std::string_view zipName) {
        const std::size_t hash = std::hash<std::string_view>{}(zipName);
        auto [from, to] = std::equal_range(byName.begin(), byName.end(), std::pair(hash, std::string_view()),
                                           [](const auto& a, const auto& b) { return a.first < b.first; });
        for (; to != from; --to) {
            const std::string_view record = std::prev(to)->second;
            const auto p = reinterpret_cast<const unsigned char*>(record.data());
            if (record.substr(kCentralHeaderSize, get16(p + 28)) != zipName) continue;
            std::string why;
            found = ZipEntry{};
            return parseCentralRecord(record, reading, found, why) == LSP_OK ? &found : nullptr;
        }
        return nullptr;
    }
};
std::unique_ptr<Reference> g_reference;
std::uint32_t g_copied = 0;

// The reference's item for this request, when the file is the very one it was packed
// from, unchanged, and would be packed the same way now.
const ZipEntry* unchangedItem(const PackSpec& request, const PackSource& source, std::uint32_t externalAttr) {
    if (!g_reference || !S_ISREG(source.st.st_mode)) return nullptr;
    const ZipEntry* e = g_reference->find(request.zipName);
    if (!e || !e->hasSource) return nullptr;
    const struct stat& st = source.st;
    return e->unpackedSize == static_cast<std::uint64_t>(st.st_size) && e->mtimeSeconds == st.st_mtim.tv_sec &&
                   e->mtimeNanos == static_cast<std::uint32_t>(st.st_mtim.tv_nsec) &&
                   e->ctimeSeconds == st.st_ctim.tv_sec &&
                   e->ctimeNanos == static_cast<std::uint32_t>(st.st_ctim.tv_nsec) &&
                   e->inode == static_cast<std::uint64_t>(st.st_ino) &&
                   e->device == static_cast<std::uint64_t>(st.st_dev) && e->askedMethod == request.method &&
                   e->ownEngine == request.engine && e->ownFlags == request.ownFlags &&
                   e->externalAttr == externalAttr && (e->method == 0 || e->method == 8) &&
                   !(e->flags & (kFlagEncrypted | kFlagStrongEncryption)) && e->comment.empty()
               ? e
               : nullptr;
}

std::string folderOf(const std::string& absolute) {
    const std::size_t slash = absolute.rfind('/');
    return slash == 0 ? "/" : absolute.substr(0, slash);
}

std::string nameOf(const std::string& absolute) {
    return absolute.substr(absolute.rfind('/') + 1);
}

// Copies a finished temporary archive that lives on another file system next to the
// archive, then renames it into place. A failure leaves the archive as it was.
std::int16_t copyAcross(Session& s) {
    ArchiveWriter sibling;
    if (sibling.create(folderOf(s.archive), nameOf(s.archive)) != LSP_OK) return LSP_E_CREATE_TEMP;
    std::vector<char> chunk(1 << 20);
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(s.writer.fd(), chunk.data(), chunk.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return LSP_E_OPEN_TEMP;
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w =
                ::pwrite(sibling.fd(), chunk.data() + done, static_cast<std::size_t>(n - done), at + done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return writeFailure(w < 0 ? errno : ENOSPC);
            done += w;
        }
        at += n;
    }
    // The mode first, so that the sync takes it along.
    if (s.existed) ::fchmod(sibling.fd(), s.archiveMode);
    if (::fsync(sibling.fd()) != 0) return writeFailure(errno);
    if (::rename(sibling.tempPath().c_str(), s.archive.c_str()) != 0) return LSP_E_REPLACE_FAILED;
    sibling.release();
    return LSP_OK;
}

// Writes the directory, flushes, and puts the temporary file in the archive's place.
// Statuses: write failures (20, 28) with the archive unchanged, or 17.
std::int16_t commit(Session& s) {
    ArchiveWriter* writer = &s.writer;
    ArchiveWriter compact;
    if (writer->hasGaps()) {
        // Items replaced within the batch left dead data behind: copy the live ones.
        if (const auto st = writer->flush(); st != LSP_OK) return st;
        const std::uint64_t limit = writer->offset();
        const std::string folder = folderOf(writer->tempPath());
        if (compact.create(folder, nameOf(s.archive)) != LSP_OK) return LSP_E_CREATE_TEMP;
        Progress none(packHost(), false, 0);
        std::uint64_t done = 0;
        ReadWindow live(writer->fd(), limit);
        for (std::size_t i = 0; i < writer->entryCount(); ++i) {
            if (writer->isDeleted(i)) continue;
            ZipEntry e;
            if (const auto st = writer->entry(i, e); st != LSP_OK) return st;
            if (const auto st = compact.copyEntry(live, e, none, done); st != LSP_OK) return st;
        }
        writer = &compact;
    }
    // The mode first, so that the sync in finish() takes it along.
    if (s.existed) ::fchmod(writer->fd(), s.archiveMode);
    if (const auto st = writer->finish(); st != LSP_OK) return st;
    forgetArchive();
    if (::rename(writer->tempPath().c_str(), s.archive.c_str()) != 0) {
        if (errno != EXDEV) return LSP_E_REPLACE_FAILED;
        if (const auto st = copyAcross(s); st != LSP_OK) return st;
        // The temporary file in the other folder is removed with its writer.
    } else {
        writer->release();
    }
    quillet::crashPoint(quillet::CrashPoint::ArchiveRenamed);
    syncFolderLettingEventsThrough(folderOf(s.archive), packHost());
    quillet::crashPoint(quillet::CrashPoint::ArchiveFolderSynced);
    return LSP_OK;
}

std::int16_t completeOpenBatch() {
    if (!g_batch) return LSP_OK;
    std::unique_ptr<Session> s = std::move(g_batch);
    return commit(*s);
}

std::int16_t completeHook(const std::string* archive) {
    // LSP_RESETDLL ends the look-ahead too.
    if (!archive) lookaheadStop();
    if (!g_batch || (archive && *archive != g_batch->archive)) return LSP_OK;
    return completeOpenBatch();
}

// A batch still open when the process ends is completed then.
struct CompleteAtExit {
    ~CompleteAtExit() {
        EntryGuard guard;
        if (guard.reentered()) return;
        completeOpenBatch();
    }
};

// Starts writing the archive: a new temporary file, holding the items of the finished
// archive (if there is one) that keep(entry) accepts.
template <class Keep>
std::int16_t openSession(std::unique_ptr<Session>& s, const std::string& archive, const char* tempFolder,
                         std::uint32_t flags, const OpenArchive* existing, Keep keep) {
    s = std::make_unique<Session>();
    s->archive = archive;
    const bool useTemp = (flags & LSP_PF_TEMP_FOLDER) && tempFolder && *tempFolder;
    const std::string folder = useTemp ? absolutePath(tempFolder) : folderOf(archive);
    // New folders are synced into their parents, or a power loss could take the folder,
    // and the archive in it, away again.
    if (!existing && makeFolders(folderOf(archive)) != 0) return LSP_E_CREATE_TEMP;
    if (const auto st = s->writer.create(folder, nameOf(archive)); st != LSP_OK) return st;
    if (struct stat temp{}; ::fstat(s->writer.fd(), &temp) == 0) {
        s->tempDevice = temp.st_dev;
        s->tempInode = temp.st_ino;
    }
    if (!existing) return LSP_OK;
    s->existed = true;
    struct stat st {};
    s->archiveMode = ::fstat(existing->fd, &st) == 0 ? (st.st_mode & 07777) : 0644;
    std::uint64_t total = 0, done = 0;
    for (const auto& e : existing->directory.entries) total += e.packedSize;
    Progress progress(packHost(), (flags & LSP_PF_PUMP) != 0, total);
    ReadWindow items(existing->fd, existing->directory.entriesEnd);
    for (const auto& e : existing->directory.entries) {
        if (!keep(e)) continue;
        if (const auto r = s->writer.copyEntry(items, e, progress, done); r != LSP_OK) return r;
    }
    return LSP_OK;
}

struct Level {
    int level;
    std::uint8_t engine;
};

bool levelFor(std::uint16_t method, std::uint32_t flags, Level& out) {
    switch (method) {
        case LSP_METHOD_NORMAL:
            out = {3, 0};
            return true;
        case LSP_METHOD_STORED:
            out = {0, 0};
            return true;
        case LSP_METHOD_SUPERIOR:
            out = (flags & LSP_PF_FAST) ? Level{1, 1} : (flags & LSP_PF_MAXIMUM) ? Level{9, 2} : Level{6, 0};
            return true;
        default:
            return false;
    }
}

// The item path of a file in folder (absolute): empty without paths, relative to the
// base when that is on and the folder lies below it, else absolute; always with "/".
std::string itemPathFor(const std::string& folder, std::uint32_t flags) {
    if (!(flags & LSP_PF_STORE_PATHS)) return {};
    const std::string withSlash = folder == "/" ? "/" : folder + "/";
    if (g_relativeOn && !(flags & LSP_PF_ABSOLUTE_PATHS)) {
        const std::string base = g_relativeBase == "/" ? "/" : g_relativeBase + "/";
        if (withSlash.compare(0, base.size(), base) == 0) return withSlash.substr(base.size());
    }
    return withSlash;
}

// The name an item is stored under: its path without the leading "/", then its name.
std::string zipNameOf(const std::string& itemPath, const std::string& name) {
    return (!itemPath.empty() && itemPath.front() == '/' ? itemPath.substr(1) : itemPath) + name;
}

// Whether the reference archive holds this very file, unchanged: then the packer will copy
// it, and compressing it ahead would only cost the second core and memory. A wrong guess
// costs nothing but speed, since the packer checks everything again.
bool likelyCopied(const std::string& filePath, std::uint32_t flags) {
    if (!g_reference) return false;
    const ZipEntry* found = g_reference->find(zipNameOf(itemPathFor(folderOf(filePath), flags), nameOf(filePath)));
    if (!found || !found->hasSource) return false;
    const ZipEntry& e = *found;
    struct stat st {};
    return ::lstat(filePath.c_str(), &st) == 0 && e.unpackedSize == static_cast<std::uint64_t>(st.st_size) &&
           e.mtimeSeconds == st.st_mtim.tv_sec && e.mtimeNanos == static_cast<std::uint32_t>(st.st_mtim.tv_nsec) &&
           e.ctimeSeconds == st.st_ctim.tv_sec && e.ctimeNanos == static_cast<std::uint32_t>(st.st_ctim.tv_nsec) &&
           e.inode == static_cast<std::uint64_t>(st.st_ino) && e.device == static_cast<std::uint64_t>(st.st_dev);
}

// Size, modification and change time of the open file against what they were when it
// was opened: any difference means the packed data may mix two states of the file.
bool changedWhileRead(const PackSource& source) {
    struct stat now {};
    if (::fstat(source.fd, &now) != 0) return true;
    const auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return now.st_size != source.st.st_size || !same(now.st_mtim, source.st.st_mtim) ||
           !same(now.st_ctim, source.st.st_ctim);
}

// Whether a change to the file from now on must move its change time: not when it was
// changed within the clock tick still running, since a write in that tick would keep both
// times (a change time in the future is not trusted either). Only such files are recorded
// for copying into a later backup.
bool settled(const struct stat& st) {
    timespec now{};
    if (::clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0) return false;
    return st.st_ctim.tv_sec < now.tv_sec || (st.st_ctim.tv_sec == now.tv_sec && st.st_ctim.tv_nsec < now.tv_nsec);
}

// Opens the file afresh (it may have been replaced under its name meanwhile).
bool reopen(PackSource& source, const std::string& filePath) {
    ::close(source.fd);
    source.fd = ::open(filePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    return source.fd >= 0 && ::fstat(source.fd, &source.st) == 0 && S_ISREG(source.st.st_mode);
}

bool isWriteFailure(std::int16_t s) {
    return s == LSP_E_DISK_FULL || s == LSP_E_WRITE || s == LSP_E_CREATE_TEMP || s == LSP_E_OPEN_TEMP ||
           s == LSP_E_UNEXPECTED_EOF || s == LSP_E_HEADER;
}

// Packs one file into the open batch or a new session; a new session is committed
// unless the batch flag keeps it open.
std::int16_t packOne(const char* file, const std::string& archivePath, const char* tempFolder, std::uint16_t method,
                     std::uint32_t flags, const Level& level, bool& replacing) {
    // Name and path of the item.
    const std::string filePath = absolutePath(file);
    const std::string name = nameOf(filePath);
    const std::string itemPath = itemPathFor(folderOf(filePath), flags);
    // A name over 255 bytes cannot exist here; a longer path travels beside the record.
    if (name.empty() || name.size() > kMaxItemText || itemPath.size() > LSP_TEXT_MAX) return LSP_E_BAD_COMMAND;

    // The file itself: a regular file, or with the system flag a link as a link.
    PackSource source;
    if (::lstat(filePath.c_str(), &source.st) != 0) return LSP_E_OPEN_SOURCE;
    struct FdGuard {
        int& fd;
        ~FdGuard() {
            if (fd >= 0) ::close(fd);
        }
    } closeSource{source.fd};
    const bool isLink = S_ISLNK(source.st.st_mode) && (flags & LSP_PF_SYSTEM);
    // A regular file that the reference archive may hold unchanged is opened only once it
    // has to be read: what lstat says of it decides a copy.
    const bool openLater = !isLink && g_reference && S_ISREG(source.st.st_mode);
    if (isLink) {
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(filePath.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return LSP_E_OPEN_SOURCE;
        target.resize(static_cast<std::size_t>(n));
        source.linkTarget = target;
    } else if (!openLater) {
        source.fd = ::open(filePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (source.fd < 0 || ::fstat(source.fd, &source.st) != 0 || !S_ISREG(source.st.st_mode))
            return LSP_E_OPEN_SOURCE;
    }
    const auto dosOf = [&](const struct stat& st) {
        std::uint8_t bits = LSP_ATTR_ARCHIVE | (isLink ? LSP_ATTR_SYSTEM : 0);
        if ((flags & LSP_PF_READ_ONLY) && !(st.st_mode & S_IWUSR)) bits |= LSP_ATTR_READ_ONLY;
        if ((flags & LSP_PF_HIDDEN) && name.front() == '.') bits |= LSP_ATTR_HIDDEN;
        return bits;
    };
    const std::uint8_t dos = dosOf(source.st);

    // Packing the archive into itself (or into its own temporary file) does nothing.
    struct stat archiveStat {};
    const bool archiveExists = ::stat(archivePath.c_str(), &archiveStat) == 0;
    const auto isOwnArchive = [&](const struct stat& st) {
        return (archiveExists && archiveStat.st_dev == st.st_dev && archiveStat.st_ino == st.st_ino) ||
               (g_batch && g_batch->tempDevice == st.st_dev && g_batch->tempInode == st.st_ino);
    };
    if (!isLink && isOwnArchive(source.st)) return LSP_SAME_ARCHIVE;

    PackSpec request;
    request.itemName = name;
    request.itemPath = itemPath;
    request.zipName = zipNameOf(itemPath, name);
    request.level = level.level;
    request.method = static_cast<std::uint8_t>(method);
    request.engine = method == LSP_METHOD_SUPERIOR ? level.engine : 0;
    request.ownFlags =
        static_cast<std::uint8_t>((!itemPath.empty() && itemPath.front() == '/' ? kOwnAbsolutePath : 0) |
                                  ((flags & LSP_PF_RETAIN) ? kOwnRetainMode : 0) | (isLink ? kOwnLink : 0));
    request.dosAttributes = dos;

    // Is there an item of that name and path already, and may it be replaced?
    std::shared_ptr<const OpenArchive> existing;
    const ZipEntry* existingEntry = nullptr;
    long batchIndex = -1;
    if (g_batch) {
        batchIndex = g_batch->writer.find(request.zipName);
    } else if (archiveExists) {
        std::int16_t status = LSP_OK;
        std::string why;
        existing = openArchive(archivePath, status, why);
        if (!existing) return status;
        for (const auto& e : existing->directory.entries)
            if (e.zipName == request.zipName) existingEntry = &e;
    }
    replacing = batchIndex >= 0 || existingEntry;
    if (replacing) {
        if (flags & LSP_PF_PROMPT) {
            if ((flags & LSP_PF_QUIET) || !packHost().ask) return LSP_ITEM_EXISTS;
            const int answer = askHost(packHost(), false,
                                       itemPath + name + " already exists in the archive.|Replace it?", "Item Exists");
            if (answer == LSP_ANSWER_CANCEL) return LSP_CANCELLED;
            if (answer != LSP_ANSWER_YES) return LSP_ANSWERED_NO;
        } else if (!(flags & LSP_PF_UPDATE)) {
            return LSP_ITEM_EXISTS;
        }
    }
    const auto failed = [&](std::int16_t s) {
        return replacing && isWriteFailure(s) ? static_cast<std::int16_t>(LSP_E_UPDATE_RESTORED) : s;
    };

    std::unique_ptr<Session> fresh;
    Session* session = g_batch.get();
    if (!session) {
        // The item being replaced is left out (with any others stored under its name).
        const auto keep = [&](const ZipEntry& e) { return !existingEntry || e.zipName != existingEntry->zipName; };
        if (const auto s = openSession(fresh, archivePath, tempFolder, flags, existing.get(), keep); s != LSP_OK)
            return failed(s);
        session = fresh.get();
    }
    ArchiveWriter& w = session->writer;
    const std::uint64_t mark = w.offset();
    const std::size_t count = w.entryCount();
    if (batchIndex >= 0) w.markDeleted(static_cast<std::size_t>(batchIndex), true);
    // The item is abandoned: the archive stays as it was before it.
    const auto abandon = [&](std::int16_t s) {
        w.rollback(mark, count);
        if (batchIndex >= 0) w.markDeleted(static_cast<std::size_t>(batchIndex), false);
        return failed(s);
    };
    // An unchanged file is copied packed from the reference archive. A copy that fails
    // its check is undone and the file packed anew; the damaged archive is never used again.
    bool copied = false;
    const std::uint32_t externalAttr = (static_cast<std::uint32_t>(source.st.st_mode & 0xffff) << 16) | dos;
    if (const ZipEntry* unchanged = unchangedItem(request, source, externalAttr)) {
        Progress progress(packHost(), (flags & LSP_PF_PUMP) != 0, unchanged->packedSize);
        std::uint64_t done = 0;
        const auto s = w.copyEntry(*g_reference->window, *unchanged, progress, done, true);
        if (s == LSP_OK) {
            copied = true;
            ++g_copied;
            progress.finish();
        } else if (s == LSP_CANCELLED || s == LSP_E_DISK_FULL || s == LSP_E_WRITE) {
            return abandon(s);
        } else {
            w.rollback(mark, count);
            g_reference.reset();
        }
    }
    if (!copied && openLater) {
        const struct stat seen = source.st;
        source.fd = ::open(filePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (source.fd < 0 || ::fstat(source.fd, &source.st) != 0 || !S_ISREG(source.st.st_mode))
            return abandon(LSP_E_OPEN_SOURCE);
        // Replaced since it was looked at: the checks and attributes are the new file's.
        if ((source.st.st_dev != seen.st_dev || source.st.st_ino != seen.st_ino) && isOwnArchive(source.st))
            return abandon(LSP_SAME_ARCHIVE);
        request.dosAttributes = dosOf(source.st);
    }
    // Read and compressed ahead, if the host announced the file and it is as it was then.
    PreparedFile ahead;
    bool prepared =
        !copied && source.fd >= 0 && request.level > 0 && lookaheadTake(filePath, request.level, source.st, ahead);
    // A file that changed while it was read is packed once more from the start, over the
    // same place in the archive; a second change leaves it out.
    for (int attempt = 0; !copied; ++attempt) {
        Progress progress(packHost(), (flags & LSP_PF_PUMP) != 0, static_cast<std::uint64_t>(source.st.st_size));
        if (const auto s = w.addFile(source, request, progress, prepared ? &ahead : nullptr); s != LSP_OK)
            return abandon(s);
        if (source.fd < 0 || !changedWhileRead(source)) {
            if (source.fd >= 0 && settled(source.st)) {
                if (const auto s = w.recordSource(w.entryCount() - 1, source.st, request.method); s != LSP_OK)
                    return abandon(s);
            }
            break;
        }
        if (attempt == 1) return abandon(LSP_E_CHANGED);
        prepared = false;
        w.rollback(mark, count);
        if (!reopen(source, filePath)) return abandon(LSP_E_OPEN_SOURCE);
    }

    if (fresh) {
        if (flags & LSP_PF_BATCH) {
            g_batch = std::move(fresh);
            static CompleteAtExit atExit;
            setBatchCompleter(&completeHook);
            return LSP_OK;
        }
        return failed(commit(*fresh));
    }
    return LSP_OK;
}

}  // namespace

extern "C" {

uint16_t LSP_P_VERSION(void) {
    return LSP_VERSION;
}

void LSP_PINIT_MP(const LSP_HOST* host) {
    EntryGuard guard;
    if (guard.reentered()) return;
    packHost() = host ? *host : LSP_HOST{};
}

void LSP_RELATIVEPATH(const char* base, int on) {
    EntryGuard guard;
    if (guard.reentered()) return;
    g_relativeOn = on != 0 && base && *base;
    g_relativeBase = g_relativeOn ? absolutePath(base) : std::string();
}

int16_t LSP_PACK(const char* file, const char* archive, const char* tempFolder, uint16_t method, uint32_t flags) {
    EntryGuard guard;
    if (guard.reentered()) return LSP_INTERRUPTED;
    Level level{};
    if (!file || !*file || !archive || !*archive || !levelFor(method, flags, level)) return LSP_E_BAD_COMMAND;
    const std::string archivePath = absolutePath(archive);
    if (g_batch && g_batch->archive != archivePath) {
        if (const auto s = completeOpenBatch(); s != LSP_OK) return s;
    }
    bool replacing = false;
    const std::int16_t status = packOne(file, archivePath, tempFolder, method, flags, level, replacing);
    // A call without the batch flag completes the batch, whatever became of its own item.
    if (!(flags & LSP_PF_BATCH) && g_batch) {
        if (const auto s = completeOpenBatch(); s != LSP_OK)
            return replacing && isWriteFailure(s) ? static_cast<std::int16_t>(LSP_E_UPDATE_RESTORED) : s;
    }
    return status;
}

void LSP_LOOKAHEAD(const char* const* files, uint32_t count, uint16_t method, uint32_t flags) {
    EntryGuard guard;
    if (guard.reentered()) return;
    Level level{};
    if (!files || count == 0 || !levelFor(method, flags, level)) {
        lookaheadStop();
        return;
    }
    AheadList list;
    list.paths.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!files[i] || !*files[i]) continue;
        std::string path = absolutePath(files[i]);
        if (likelyCopied(path, flags)) continue;
        if (path == files[i]) {
            list.paths.push_back(files[i]);
        } else {
            list.owned.push_back(std::move(path));
            list.paths.push_back(list.owned.back().c_str());
        }
    }
    lookaheadStart(std::move(list), level.level);
}

int16_t LSP_REFERENCE(const char* archive) {
    EntryGuard guard;
    if (guard.reentered()) return LSP_INTERRUPTED;
    g_reference.reset();
    g_copied = 0;
    if (!archive || !*archive) return LSP_OK;
    auto r = std::make_unique<Reference>();
    r->path = absolutePath(archive);
    r->fd = ::open(r->path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (r->fd < 0 || ::fstat(r->fd, &st) != 0 || !S_ISREG(st.st_mode)) return LSP_E_OPEN_ARCHIVE;
    r->device = st.st_dev;
    r->inode = st.st_ino;
    std::string why;
    if (const auto s = readDirectory(r->fd, static_cast<std::uint64_t>(st.st_size), *r, why); s != LSP_OK) return s;
    std::stable_sort(r->byName.begin(), r->byName.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    r->window = std::make_unique<ReadWindow>(r->fd, r->reading.start);
    g_reference = std::move(r);
    return LSP_OK;
}

uint32_t LSP_REFERENCECOPIED(void) {
    EntryGuard guard;
    return g_copied;
}

int16_t LSP_DELETEITEM(const char* itemName, const char* itemPath, const char* archive, const char* tempFolder,
                       uint32_t flags) {
    EntryGuard guard;
    if (guard.reentered()) return LSP_INTERRUPTED;
    if (!itemName || !*itemName || !archive || !*archive) return LSP_E_BAD_COMMAND;
    const std::string archivePath = absolutePath(archive);
    if (const auto s = completeOpenBatch(); s != LSP_OK) return s;
    std::int16_t status = LSP_OK;
    std::string why;
    const auto existing = openArchive(archivePath, status, why);
    if (!existing) return status;
    const ZipEntry* victim = existing->directory.find(itemPath ? itemPath : "", itemName);
    if (!victim) return LSP_E_NOT_FOUND;

    std::unique_ptr<Session> s;
    const auto keep = [victim](const ZipEntry& e) { return &e != victim; };
    if (const auto r = openSession(s, archivePath, tempFolder, flags, existing.get(), keep); r != LSP_OK)
        return r == LSP_CANCELLED ? r : static_cast<std::int16_t>(LSP_E_DELETE_RESTORED);
    const auto r = commit(*s);
    return r == LSP_OK || r == LSP_E_REPLACE_FAILED ? r : static_cast<std::int16_t>(LSP_E_DELETE_RESTORED);
}

int16_t LSP_DELETEITEMS(const char* const* itemNames, const char* const* itemPaths, uint32_t count, const char* archive,
                        const char* tempFolder, uint32_t flags) {
    EntryGuard guard;
    if (guard.reentered()) return LSP_INTERRUPTED;
    if (!itemNames || count == 0 || !archive || !*archive) return LSP_E_BAD_COMMAND;
    const std::string archivePath = absolutePath(archive);
    if (const auto s = completeOpenBatch(); s != LSP_OK) return s;
    std::int16_t status = LSP_OK;
    std::string why;
    const auto existing = openArchive(archivePath, status, why);
    if (!existing) return status;
    std::unordered_set<const ZipEntry*> victims;
    for (uint32_t i = 0; i < count; ++i) {
        if (!itemNames[i] || !*itemNames[i]) return LSP_E_BAD_COMMAND;
        const char* path = itemPaths && itemPaths[i] ? itemPaths[i] : "";
        if (const ZipEntry* victim = existing->directory.find(path, itemNames[i])) victims.insert(victim);
    }
    if (victims.empty()) return LSP_E_NOT_FOUND;

    std::unique_ptr<Session> s;
    const auto keep = [&victims](const ZipEntry& e) { return victims.count(&e) == 0; };
    if (const auto r = openSession(s, archivePath, tempFolder, flags, existing.get(), keep); r != LSP_OK)
        return r == LSP_CANCELLED ? r : static_cast<std::int16_t>(LSP_E_DELETE_RESTORED);
    const auto r = commit(*s);
    return r == LSP_OK || r == LSP_E_REPLACE_FAILED ? r : static_cast<std::int16_t>(LSP_E_DELETE_RESTORED);
}

}  // extern "C"
