#include "catalog/ArchiveIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <tuple>

#include "archive/lspclass.h"
#include "lsp/ZipDirectory.h"
#include "platform/DateCodes.h"
#include "platform/Wildcard.h"

namespace quillet {

namespace {

constexpr int SchemaVersion = 1;

const char* const Schema =
    "CREATE TABLE IF NOT EXISTS archives(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, size INTEGER, "
    "mtime INTEGER, device INTEGER, inode INTEGER);"
    "CREATE TABLE IF NOT EXISTS names(id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS folders(id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS items(archive INTEGER NOT NULL, seq INTEGER NOT NULL, folder INTEGER NOT NULL, "
    "name INTEGER NOT NULL, size INTEGER, packed INTEGER, mtime INTEGER, crc INTEGER, exact INTEGER, nanos INTEGER);"
    "CREATE INDEX IF NOT EXISTS items_name ON items(name);"
    "CREATE INDEX IF NOT EXISTS items_archive ON items(archive, seq);";

// What tells one archive file from another without reading it.
struct Identity {
    std::int64_t size = -1;
    std::int64_t mtime = 0;  // nanoseconds
    std::int64_t device = 0;
    std::int64_t inode = 0;
    bool operator==(const Identity&) const = default;
    auto tie() const { return std::tie(size, mtime, device, inode); }
    bool operator<(const Identity& o) const { return tie() < o.tie(); }
};

bool identityOf(const std::string& path, Identity& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out.size = static_cast<std::int64_t>(st.st_size);
    out.mtime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    out.device = static_cast<std::int64_t>(st.st_dev);
    out.inode = static_cast<std::int64_t>(st.st_ino);
    return true;
}

std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}

Status sqlFailure(SqlDatabase& db) {
    return Status::failure(db.lastError());
}

}  // namespace

std::string isoDateOf(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return buf;
}

std::string isoTimeOf(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string crcText(std::uint32_t crc) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", crc);
    return buf;
}

ArchiveIndex::ArchiveIndex(std::string dataFolder) : dataFolder_(std::move(dataFolder)) {
    if (!dataFolder_.empty() && dataFolder_.back() != '/') dataFolder_.push_back('/');
}

ArchiveIndex::~ArchiveIndex() = default;

Status ArchiveIndex::openDatabase() {
    if (db_.isOpen()) return {};
    if (Status s = db_.open(filePath()); !s) return s;
    auto version = db_.prepare("PRAGMA user_version");
    if (!version) return Status::failure(version.error());
    const std::int64_t found = version->step() ? version->int64(0) : -1;
    if (found != 0 && found != SchemaVersion) return Status::failure("an index of another layout");
    if (Status s = db_.exec(std::string("PRAGMA synchronous=NORMAL;") + Schema +
                            "PRAGMA user_version=" + std::to_string(SchemaVersion));
        !s)
        return s;
    return {};
}

Status ArchiveIndex::recreate() {
    db_.close();
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::unlink((filePath() + suffix).c_str());
    return openDatabase();
}

Status ArchiveIndex::guarded(const std::function<Status()>& work) {
    Status s = openDatabase();
    if (s) s = work();
    if (s) return s;
    // The index only repeats what the archives hold: start it afresh rather than fail.
    names_.reset();
    folders_.reset();
    if (Status again = recreate(); !again) return again;
    return work();
}

Status ArchiveIndex::update(const std::vector<std::string>& archives) {
    return guarded([&] { return updateNow(archives); });
}

Status ArchiveIndex::updateNow(const std::vector<std::string>& archives) {
    struct Row {
        std::int64_t id;
        std::string path;
        Identity identity;
    };
    std::set<std::string> folders;
    for (const std::string& a : archives) folders.insert(folderOf(a));

    // The indexed archives of those folders.
    std::map<std::string, Row> byPath;
    {
        auto q = db_.prepare("SELECT id, path, size, mtime, device, inode FROM archives");
        if (!q) return Status::failure(q.error());
        while (q->step()) {
            Row r{q->int64(0), q->text(1), {q->int64(2), q->int64(3), q->int64(4), q->int64(5)}};
            if (folders.count(folderOf(r.path))) byPath.emplace(r.path, r);
        }
        if (q->failed()) return sqlFailure(db_);
    }

    if (Status s = db_.exec("BEGIN IMMEDIATE"); !s) return s;
    auto fail = [&]() {
        const Status s = sqlFailure(db_);
        (void)db_.exec("ROLLBACK");
        names_.reset();
        folders_.reset();
        return s;
    };
    auto setPath = db_.prepare("UPDATE archives SET path = ? WHERE id = ?");
    auto drop = db_.prepare("DELETE FROM archives WHERE id = ?");
    auto dropItems = db_.prepare("DELETE FROM items WHERE archive = ?");
    auto add = db_.prepare("INSERT INTO archives(path, size, mtime, device, inode) VALUES(?, ?, ?, ?, ?)");
    auto setIdentity = db_.prepare("UPDATE archives SET size = ?, mtime = ?, device = ?, inode = ? WHERE id = ?");
    if (!setPath || !drop || !dropItems || !add || !setIdentity) return fail();

    // Rows whose file is no longer what they describe give up their path, so a file moved
    // into it (the rotation renumbers every archive) can take it; they wait, by identity,
    // for the file they describe to turn up under another name.
    std::map<Identity, std::int64_t> moved;
    std::set<std::string> current;
    for (auto& [path, row] : byPath) {
        Identity now;
        if (identityOf(path, now) && now == row.identity) {
            current.insert(path);
            continue;
        }
        moved[row.identity] = row.id;
        setPath->reset();
        setPath->bind(1, "\x01moved " + std::to_string(row.id));
        setPath->bind(2, row.id);
        setPath->step();
        if (setPath->failed()) return fail();
    }

    for (const std::string& path : archives) {
        if (current.count(path)) continue;
        Identity now;
        if (!identityOf(path, now)) continue;
        if (auto it = moved.find(now); it != moved.end()) {
            setPath->reset();
            setPath->bind(1, path);
            setPath->bind(2, it->second);
            setPath->step();
            if (setPath->failed()) return fail();
            moved.erase(it);
            current.insert(path);
            continue;
        }
        add->reset();
        add->bind(1, path);
        add->bind(2, now.size);
        add->bind(3, now.mtime);
        add->bind(4, now.device);
        add->bind(5, now.inode);
        add->step();
        if (add->failed()) return fail();
        const std::int64_t id = db_.lastInsertId();
        if (Status s = readInto(id, path); !s) return fail();
        // The file may have changed while it was read: then the next update reads it again.
        Identity after;
        if (!identityOf(path, after) || !(after == now)) {
            setIdentity->reset();
            setIdentity->bind(1, std::int64_t{-1});
            setIdentity->bind(2, std::int64_t{0});
            setIdentity->bind(3, std::int64_t{0});
            setIdentity->bind(4, std::int64_t{0});
            setIdentity->bind(5, id);
            setIdentity->step();
        }
        current.insert(path);
    }

    for (const auto& [identity, id] : moved) {
        (void)identity;
        for (SqlStatement* q : {&dropItems.value(), &drop.value()}) {
            q->reset();
            q->bind(1, id);
            q->step();
            if (q->failed()) return fail();
        }
    }
    if (Status s = db_.exec("COMMIT"); !s) {
        (void)db_.exec("ROLLBACK");
        return s;
    }
    names_.reset();
    folders_.reset();
    return {};
}

Result<std::int64_t> ArchiveIndex::idOf(const char* table, const std::string& text) {
    auto& loaded = std::string_view(table) == "names" ? names_ : folders_;
    if (!loaded) {
        auto q = db_.prepare(std::string("SELECT id, text FROM ") + table);
        if (!q) return Result<std::int64_t>::failure(q.error());
        loaded.emplace();
        while (q->step()) loaded->emplace(q->text(1), q->int64(0));
        if (q->failed()) return Result<std::int64_t>::failure(db_.lastError());
    }
    auto& cache = *loaded;
    if (auto it = cache.find(text); it != cache.end()) return it->second;
    auto ins = db_.prepare(std::string("INSERT INTO ") + table + "(text) VALUES(?)");
    if (!ins) return Result<std::int64_t>::failure(ins.error());
    ins->bind(1, text);
    ins->step();
    if (ins->failed()) return Result<std::int64_t>::failure(db_.lastError());
    const std::int64_t id = db_.lastInsertId();
    cache.emplace(text, id);
    return id;
}

namespace {

// The items of a directory as they are read: the directory itself is not kept, which for
// 100,000 items would be several times the size of what the index takes from it.
class ItemCollector : public lsp::DirectorySink {
public:
    explicit ItemCollector(std::vector<IndexedItem>& out) : out_(out) {}
    void begin(const lsp::DirectoryReading& reading) override {
        out_.clear();
        out_.reserve(static_cast<std::size_t>(reading.count));
    }
    void add(lsp::ZipEntry&& e, std::string_view) override {
        if (e.isFolder) return;
        // The program's own comment item is not one of the user's files.
        if (e.itemPath.empty() && e.itemName == ArchiveCommentItemName) return;
        IndexedItem i;
        i.path = std::move(e.itemPath);
        i.name = std::move(e.itemName);
        i.size = e.unpackedSize;
        i.packed = e.packedSize;
        i.crc = e.crc;
        i.exactTime = e.hasOwn;  // nanoseconds; other stamps hold whole or even seconds
        i.mtime = e.mtimeSeconds;
        i.nanos = e.hasOwn ? e.mtimeNanos : 0;
        if (!e.hasTime) {
            const std::time_t t = toTimeTFromDos(e.dosDate, e.dosTime);
            i.mtime = t < 0 ? 0 : static_cast<std::int64_t>(t);
        }
        out_.push_back(std::move(i));
    }

private:
    std::vector<IndexedItem>& out_;
};

}  // namespace

Result<std::vector<IndexedItem>> ArchiveIndex::readItems(const std::string& path) {
    using R = Result<std::vector<IndexedItem>>;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return R::failure(path + ": " + std::strerror(errno));
    struct stat st {};
    std::string why;
    std::vector<IndexedItem> out;
    ItemCollector collect(out);
    const bool read =
        ::fstat(fd, &st) == 0 && lsp::readDirectory(fd, static_cast<std::uint64_t>(st.st_size), collect, why) == 0;
    ::close(fd);
    if (!read) return R::failure(path + ": " + (why.empty() ? std::string("not readable") : why));
    return out;
}

Status ArchiveIndex::readInto(std::int64_t archiveId, const std::string& path) {
    ++directoriesRead_;
    // An unreadable archive is indexed with no items; its identity brings it back when it changes.
    auto items = readItems(path);
    if (!items) return {};
    auto ins = db_.prepare(
        "INSERT INTO items(archive, seq, folder, name, size, packed, mtime, crc, exact, nanos) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (!ins) return Status::failure(ins.error());
    std::int64_t seq = 0;
    for (const IndexedItem& i : *items) {
        auto folder = idOf("folders", i.path);
        auto name = idOf("names", i.name);
        if (!folder || !name) return Status::failure(db_.lastError());
        ins->reset();
        ins->bind(1, archiveId);
        ins->bind(2, seq++);
        ins->bind(3, *folder);
        ins->bind(4, *name);
        ins->bind(5, static_cast<std::int64_t>(i.size));
        ins->bind(6, static_cast<std::int64_t>(i.packed));
        ins->bind(7, i.mtime);
        ins->bind(8, static_cast<std::int64_t>(i.crc));
        ins->bind(9, std::int64_t{i.exactTime ? 1 : 0});
        ins->bind(10, static_cast<std::int64_t>(i.nanos));
        ins->step();
        if (ins->failed()) return Status::failure(db_.lastError());
    }
    return {};
}

Status ArchiveIndex::forget(const std::string& archive) {
    return guarded([&]() -> Status {
        auto q = db_.prepare("SELECT id FROM archives WHERE path = ?");
        if (!q) return Status::failure(q.error());
        q->bind(1, archive);
        if (!q->step()) return q->failed() ? sqlFailure(db_) : Status{};
        const std::int64_t id = q->int64(0);
        return db_.exec("DELETE FROM items WHERE archive = " + std::to_string(id) +
                        "; DELETE FROM archives WHERE id = " + std::to_string(id));
    });
}

Status ArchiveIndex::clear() {
    names_.reset();
    folders_.reset();
    return recreate();
}

namespace {

IndexedItem itemOf(const SqlStatement& q, int first) {
    IndexedItem i;
    i.path = q.text(first);
    i.name = q.text(first + 1);
    i.size = static_cast<std::uint64_t>(q.int64(first + 2));
    i.packed = static_cast<std::uint64_t>(q.int64(first + 3));
    i.mtime = q.int64(first + 4);
    i.crc = static_cast<std::uint32_t>(q.int64(first + 5));
    i.exactTime = q.int64(first + 6) != 0;
    i.nanos = static_cast<std::uint32_t>(q.int64(first + 7));
    return i;
}

}  // namespace

Result<std::vector<IndexedItem>> ArchiveIndex::items(const std::string& archive) {
    std::vector<IndexedItem> out;
    const Status s = guarded([&]() -> Status {
        out.clear();
        auto q = db_.prepare(
            "SELECT f.text, n.text, i.size, i.packed, i.mtime, i.crc, i.exact, i.nanos FROM archives a "
            "JOIN items i ON i.archive = a.id JOIN folders f ON f.id = i.folder JOIN names n ON n.id = i.name "
            "WHERE a.path = ? ORDER BY i.seq");
        if (!q) return Status::failure(q.error());
        q->bind(1, archive);
        while (q->step()) out.push_back(itemOf(*q, 0));
        return q->failed() ? sqlFailure(db_) : Status{};
    });
    if (!s) return Result<std::vector<IndexedItem>>::failure(s.error());
    return out;
}

Result<std::vector<FoundVersion>> ArchiveIndex::find(std::string_view mask, const std::vector<std::string>& archives) {
    std::vector<FoundVersion> out;
    const Status s = guarded([&]() -> Status {
        out.clear();
        if (Status u = updateNow(archives); !u) return u;
        // The archives asked about, by id.
        std::unordered_map<std::int64_t, std::pair<std::string, std::int64_t>> wanted;
        {
            const std::set<std::string> paths(archives.begin(), archives.end());
            auto q = db_.prepare("SELECT id, path, mtime FROM archives");
            if (!q) return Status::failure(q.error());
            while (q->step())
                if (std::string p = q->text(1); paths.count(p)) wanted.emplace(q->int64(0), std::pair{p, q->int64(2)});
            if (q->failed()) return sqlFailure(db_);
        }
        // Names are matched here, once each: the archives of one project share most of
        // them, so this is one pass over the distinct names, not over every item.
        std::vector<std::int64_t> nameIds;
        {
            auto q = db_.prepare("SELECT id, text FROM names");
            if (!q) return Status::failure(q.error());
            while (q->step())
                if (matchesMask(q->text(1), mask)) nameIds.push_back(q->int64(0));
            if (q->failed()) return sqlFailure(db_);
        }
        auto q = db_.prepare(
            "SELECT i.archive, f.text, n.text, i.size, i.packed, i.mtime, i.crc, i.exact, i.nanos FROM items i "
            "JOIN folders f ON f.id = i.folder JOIN names n ON n.id = i.name WHERE i.name = ?");
        if (!q) return Status::failure(q.error());
        for (std::int64_t id : nameIds) {
            q->reset();
            q->bind(1, id);
            while (q->step()) {
                const auto it = wanted.find(q->int64(0));
                if (it == wanted.end()) continue;
                out.push_back({it->second.first, it->second.second / 1'000'000'000, itemOf(*q, 1)});
            }
            if (q->failed()) return sqlFailure(db_);
        }
        return {};
    });
    if (!s) return Result<std::vector<FoundVersion>>::failure(s.error());
    std::sort(out.begin(), out.end(), [](const FoundVersion& a, const FoundVersion& b) {
        if (a.item.path != b.item.path) return a.item.path < b.item.path;
        if (a.item.name != b.item.name) return a.item.name < b.item.name;
        if (a.archiveMtime != b.archiveMtime) return a.archiveMtime > b.archiveMtime;
        return a.archive < b.archive;
    });
    return out;
}

}  // namespace quillet
