#include "framework/records/RunHistory.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/Paths.h"

namespace quillet {

namespace {

constexpr const char* Schema =
    "CREATE TABLE IF NOT EXISTS Runs(id INTEGER PRIMARY KEY AUTOINCREMENT, sysId INTEGER NOT NULL, "
    "project TEXT NOT NULL, kind TEXT NOT NULL, archive TEXT NOT NULL, startDate INTEGER, startTime INTEGER, "
    "endDate INTEGER, endTime INTEGER, succeeded INTEGER NOT NULL, result TEXT NOT NULL, files INTEGER, "
    "bytes INTEGER, failedCount INTEGER);"
    "CREATE INDEX IF NOT EXISTS RunsOfProject ON Runs(sysId, id);"
    "CREATE TABLE IF NOT EXISTS FailedFiles(run INTEGER NOT NULL, seq INTEGER NOT NULL, path TEXT NOT NULL, "
    "reason TEXT NOT NULL, PRIMARY KEY(run, seq));"
    "CREATE TABLE IF NOT EXISTS Notified(sysId INTEGER NOT NULL, kind TEXT NOT NULL, PRIMARY KEY(sysId, kind));";

// A prepared statement that finalises itself.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement(sqlite3* db, const std::string& sql) { rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &handle, nullptr); }
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void bind(int i, std::int64_t v) {
        if (rc == SQLITE_OK) rc = sqlite3_bind_int64(handle, i, v);
    }
    void bind(int i, const std::string& v) {
        if (rc == SQLITE_OK) rc = sqlite3_bind_text(handle, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    // One step: true on a row; rc holds SQLITE_DONE at the end, an error code otherwise.
    bool row() {
        if (rc != SQLITE_OK && rc != SQLITE_ROW) return false;
        rc = sqlite3_step(handle);
        return rc == SQLITE_ROW;
    }
    bool done() {
        row();
        return rc == SQLITE_DONE;
    }
    std::int64_t number(int i) const { return sqlite3_column_int64(handle, i); }
    std::string text(int i) const {
        const unsigned char* t = sqlite3_column_text(handle, i);
        return t ? std::string(reinterpret_cast<const char*>(t),
                               static_cast<std::size_t>(sqlite3_column_bytes(handle, i)))
                 : std::string();
    }
    int rc;
};

std::mutex reporterMutex;
std::function<void(const std::string&)>& reporter() {
    static std::function<void(const std::string&)> r = [](const std::string& message) {
        std::fprintf(stderr, "quillet: %s\n", message.c_str());
    };
    return r;
}
std::atomic<bool> problemReported{false};

constexpr const char* Columns =
    "id, sysId, project, kind, archive, startDate, startTime, endDate, endTime, succeeded, result, files, bytes, "
    "failedCount";

}  // namespace

RunHistory::RunHistory(std::string folder, int busyTimeoutMs)
    : folder_(std::move(folder)), busyTimeoutMs_(busyTimeoutMs) {}

RunHistory::~RunHistory() {
    if (db_) sqlite3_close_v2(db_);
}

Status RunHistory::failure(const std::string& doing) const {
    const char* why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    return Status::failure("The run history " + path() + " could not be " + doing + ": " + why + ".");
}

Status RunHistory::exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return failure("written");
    return {};
}

Result<bool> RunHistory::open(bool create) {
    if (db_) return true;
    struct stat st {};
    const bool exists = ::stat(path().c_str(), &st) == 0;
    if (!exists && !create) return false;
    if (!exists && !ensureFolder(folder_))
        return Result<bool>::failure("The run history " + path() + " could not be created: its folder is missing.");
    const int flags = create ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path().c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        Status f = failure("opened");
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return Result<bool>::failure(f.error());
    }
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
    // The first read of the file: one that is not a database (or damaged) fails here, and
    // is left as it is.
    // In one write transaction, so processes creating the file at once take turns.
    if (create && sqlite3_exec(db_, (std::string("BEGIN IMMEDIATE;") + Schema + "COMMIT;").c_str(), nullptr, nullptr,
                               nullptr) != SQLITE_OK) {
        Status f = failure("opened");
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return Result<bool>::failure(f.error());
    }
    return true;
}

Result<RunHistory::Recorded> RunHistory::record(const HistoryRun& run, const std::string& notifyKind) {
    using R = Result<Recorded>;
    if (auto opened = open(true); !opened) return R::failure(opened.error());
    // A read-only handle from an earlier query cannot write: reopen for writing.
    if (sqlite3_db_readonly(db_, "main") == 1) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        if (auto opened = open(true); !opened) return R::failure(opened.error());
    }
    // IMMEDIATE: two processes recording at once take turns, so only one of them finds a
    // notice not yet sent.
    if (Status s = exec("BEGIN IMMEDIATE"); !s) return R::failure(s.error());
    Recorded out;
    auto work = [&]() -> Status {
        Statement ins(db_, std::string("INSERT INTO Runs(") + (Columns + 4) + ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)");
        ins.bind(1, run.sysId);
        ins.bind(2, run.project);
        ins.bind(3, run.kind);
        ins.bind(4, run.archive);
        ins.bind(5, run.started.date);
        ins.bind(6, run.started.time);
        ins.bind(7, run.ended.date);
        ins.bind(8, run.ended.time);
        ins.bind(9, run.succeeded ? 1 : 0);
        ins.bind(10, run.result);
        ins.bind(11, run.files);
        ins.bind(12, run.bytes);
        ins.bind(13, std::max<std::int64_t>(run.failedCount, static_cast<std::int64_t>(run.failed.size())));
        if (!ins.done()) return failure("written");
        out.id = sqlite3_last_insert_rowid(db_);

        Statement file(db_, "INSERT INTO FailedFiles(run, seq, path, reason) VALUES(?,?,?,?)");
        for (std::size_t i = 0; i < run.failed.size() && i < MaxFailedKept; ++i) {
            sqlite3_reset(file.handle);
            if (file.rc == SQLITE_DONE) file.rc = SQLITE_OK;
            file.bind(1, out.id);
            file.bind(2, static_cast<std::int64_t>(i));
            file.bind(3, run.failed[i].first);
            file.bind(4, run.failed[i].second);
            if (!file.done()) return failure("written");
        }

        if (run.succeeded && run.kind == runkind::Backup) {
            Statement clear(db_, "DELETE FROM Notified WHERE sysId = ?");
            clear.bind(1, run.sysId);
            if (!clear.done()) return failure("written");
        } else if (!run.succeeded && !notifyKind.empty()) {
            Statement mark(db_, "INSERT OR IGNORE INTO Notified(sysId, kind) VALUES(?, ?)");
            mark.bind(1, run.sysId);
            mark.bind(2, notifyKind);
            if (!mark.done()) return failure("written");
            out.notify = sqlite3_changes(db_) == 1;
        }

        // Only the newest runs are kept.
        Statement keep(db_, "DELETE FROM Runs WHERE id <= (SELECT id FROM Runs ORDER BY id DESC LIMIT 1 OFFSET ?)");
        keep.bind(1, static_cast<std::int64_t>(Kept));
        if (!keep.done()) return failure("written");
        if (sqlite3_changes(db_) > 0) {
            Statement orphans(db_, "DELETE FROM FailedFiles WHERE run NOT IN (SELECT id FROM Runs)");
            if (!orphans.done()) return failure("written");
        }
        return {};
    };
    Status done = work();
    if (done) done = exec("COMMIT");
    if (!done) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return R::failure(done.error());
    }
    return out;
}

Result<std::vector<HistoryRun>> RunHistory::select(const std::string& where, std::int32_t sysId,
                                                   const std::string& kind, std::size_t limit) {
    using R = Result<std::vector<HistoryRun>>;
    std::vector<HistoryRun> runs;
    auto opened = open(false);
    if (!opened) return R::failure(opened.error());
    if (!*opened) return runs;
    Statement st(db_, std::string("SELECT ") + Columns + " FROM Runs WHERE " + where + " ORDER BY id DESC LIMIT ?");
    st.bind(1, sysId);
    if (!kind.empty()) st.bind(2, kind);
    st.bind(kind.empty() ? 2 : 3, static_cast<std::int64_t>(limit));
    while (st.row()) {
        HistoryRun r;
        r.id = st.number(0);
        r.sysId = static_cast<std::int32_t>(st.number(1));
        r.project = st.text(2);
        r.kind = st.text(3);
        r.archive = st.text(4);
        r.started = {static_cast<std::int32_t>(st.number(5)), static_cast<std::int32_t>(st.number(6))};
        r.ended = {static_cast<std::int32_t>(st.number(7)), static_cast<std::int32_t>(st.number(8))};
        r.succeeded = st.number(9) != 0;
        r.result = st.text(10);
        r.files = st.number(11);
        r.bytes = st.number(12);
        r.failedCount = st.number(13);
        runs.push_back(std::move(r));
    }
    if (st.rc != SQLITE_DONE) return R::failure(failure("read").error());
    Statement files(db_, "SELECT path, reason FROM FailedFiles WHERE run = ? ORDER BY seq");
    for (HistoryRun& r : runs) {
        if (r.failedCount == 0) continue;
        sqlite3_reset(files.handle);
        files.rc = SQLITE_OK;
        files.bind(1, r.id);
        while (files.row()) r.failed.emplace_back(files.text(0), files.text(1));
        if (files.rc != SQLITE_DONE) return R::failure(failure("read").error());
    }
    return runs;
}

Result<std::vector<HistoryRun>> RunHistory::runs(std::int32_t sysId, std::size_t limit) {
    return select(sysId == 0 ? "?1 = 0" : "sysId = ?1", sysId, {}, limit);
}

Result<std::optional<HistoryRun>> RunHistory::last(std::int32_t sysId, const std::string& kind, bool succeededOnly) {
    using R = Result<std::optional<HistoryRun>>;
    std::string where = "sysId = ?1";
    if (!kind.empty()) where += " AND kind = ?2";
    if (succeededOnly) where += " AND succeeded = 1";
    auto found = select(where, sysId, kind, 1);
    if (!found) return R::failure(found.error());
    if (found->empty()) return std::optional<HistoryRun>();
    return std::optional<HistoryRun>(std::move(found->front()));
}

Result<std::vector<std::string>> RunHistory::notified(std::int32_t sysId) {
    using R = Result<std::vector<std::string>>;
    std::vector<std::string> kinds;
    auto opened = open(false);
    if (!opened) return R::failure(opened.error());
    if (!*opened) return kinds;
    Statement st(db_, "SELECT kind FROM Notified WHERE sysId = ? ORDER BY rowid");
    st.bind(1, sysId);
    while (st.row()) kinds.push_back(st.text(0));
    if (st.rc != SQLITE_DONE) return R::failure(failure("read").error());
    return kinds;
}

void RunHistory::reportProblem(const std::string& message) {
    if (problemReported.exchange(true)) return;
    std::lock_guard<std::mutex> lock(reporterMutex);
    if (reporter()) reporter()(message);
}

void RunHistory::setProblemReporter(std::function<void(const std::string&)> r) {
    std::lock_guard<std::mutex> lock(reporterMutex);
    reporter() = std::move(r);
    problemReported = false;
}

}  // namespace quillet
