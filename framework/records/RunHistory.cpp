#include "framework/records/RunHistory.h"

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

RunHistory::~RunHistory() = default;

Status RunHistory::failure(const std::string& doing, const std::string& why) const {
    return Status::failure("The run history " + path() + " could not be " + doing + ": " + why + ".");
}

Status RunHistory::failure(const std::string& doing) const {
    return failure(doing, db_.lastError());
}

Status RunHistory::exec(const char* sql) {
    if (!db_.exec(sql)) return failure("written");
    return {};
}

Result<bool> RunHistory::open(bool create) {
    if (db_.isOpen()) return true;
    struct stat st {};
    const bool exists = ::stat(path().c_str(), &st) == 0;
    if (!exists && !create) return false;
    if (!exists && !ensureFolder(folder_))
        return Result<bool>::failure("The run history " + path() + " could not be created: its folder is missing.");
    // Opening reads the file: one that is not a database (or damaged) fails here, and is
    // left as it is.
    const auto mode = create ? SqlDatabase::Mode::ReadWriteCreate : SqlDatabase::Mode::ReadOnly;
    if (Status s = db_.open(path(), busyTimeoutMs_, mode); !s) {
        // The database's reason follows the file's name.
        std::string why = s.error();
        if (why.rfind(path() + ": ", 0) == 0) why.erase(0, path().size() + 2);
        return Result<bool>::failure(failure("opened", why).error());
    }
    // In one write transaction, so processes creating the file at once take turns.
    if (create && !db_.exec(std::string("BEGIN IMMEDIATE;") + Schema + "COMMIT;")) {
        Status f = failure("opened");
        (void)db_.exec("ROLLBACK");
        db_.close();
        return Result<bool>::failure(f.error());
    }
    return true;
}

Result<RunHistory::Recorded> RunHistory::record(const HistoryRun& run, const std::string& notifyKind) {
    using R = Result<Recorded>;
    if (auto opened = open(true); !opened) return R::failure(opened.error());
    // A read-only handle from an earlier query cannot write: reopen for writing.
    if (db_.readOnly()) {
        db_.close();
        if (auto opened = open(true); !opened) return R::failure(opened.error());
    }
    // IMMEDIATE: two processes recording at once take turns, so only one of them finds a
    // notice not yet sent.
    if (Status s = exec("BEGIN IMMEDIATE"); !s) return R::failure(s.error());
    Recorded out;
    // Runs a statement that returns no rows: false on an error.
    auto change = [&](const std::string& sql, const auto& bindAll) {
        auto st = db_.prepare(sql);
        if (!st) return false;
        bindAll(st.value());
        return !st->step() && !st->failed();
    };
    auto work = [&]() -> Status {
        const bool inserted = change(
            std::string("INSERT INTO Runs(") + (Columns + 4) + ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)",
            [&](SqlStatement& ins) {
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
            });
        if (!inserted) return failure("written");
        out.id = db_.lastInsertId();

        auto file = db_.prepare("INSERT INTO FailedFiles(run, seq, path, reason) VALUES(?,?,?,?)");
        if (!file) return failure("written");
        for (std::size_t i = 0; i < run.failed.size() && i < MaxFailedKept; ++i) {
            file->reset();
            file->bind(1, out.id);
            file->bind(2, static_cast<std::int64_t>(i));
            file->bind(3, run.failed[i].first);
            file->bind(4, run.failed[i].second);
            if (file->step() || file->failed()) return failure("written");
        }

        if (run.succeeded && run.kind == runkind::Backup) {
            if (!change("DELETE FROM Notified WHERE sysId = ?", [&](SqlStatement& st) { st.bind(1, run.sysId); }))
                return failure("written");
        } else if (!run.succeeded && !notifyKind.empty()) {
            if (!change("INSERT OR IGNORE INTO Notified(sysId, kind) VALUES(?, ?)", [&](SqlStatement& st) {
                    st.bind(1, run.sysId);
                    st.bind(2, notifyKind);
                }))
                return failure("written");
            out.notify = db_.changes() == 1;
        }

        // Only the newest runs are kept.
        if (!change("DELETE FROM Runs WHERE id <= (SELECT id FROM Runs ORDER BY id DESC LIMIT 1 OFFSET ?)",
                    [&](SqlStatement& st) { st.bind(1, static_cast<std::int64_t>(Kept)); }))
            return failure("written");
        if (db_.changes() > 0 &&
            !change("DELETE FROM FailedFiles WHERE run NOT IN (SELECT id FROM Runs)", [](SqlStatement&) {}))
            return failure("written");
        return {};
    };
    Status done = work();
    if (done) done = exec("COMMIT");
    if (!done) {
        (void)db_.exec("ROLLBACK");
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
    auto st = db_.prepare(std::string("SELECT ") + Columns + " FROM Runs WHERE " + where + " ORDER BY id DESC LIMIT ?");
    if (!st) return R::failure(failure("read").error());
    st->bind(1, sysId);
    if (!kind.empty()) st->bind(2, kind);
    st->bind(kind.empty() ? 2 : 3, static_cast<std::int64_t>(limit));
    while (st->step()) {
        HistoryRun r;
        r.id = st->int64(0);
        r.sysId = static_cast<std::int32_t>(st->int64(1));
        r.project = st->text(2);
        r.kind = st->text(3);
        r.archive = st->text(4);
        r.started = {static_cast<std::int32_t>(st->int64(5)), static_cast<std::int32_t>(st->int64(6))};
        r.ended = {static_cast<std::int32_t>(st->int64(7)), static_cast<std::int32_t>(st->int64(8))};
        r.succeeded = st->int64(9) != 0;
        r.result = st->text(10);
        r.files = st->int64(11);
        r.bytes = st->int64(12);
        r.failedCount = st->int64(13);
        runs.push_back(std::move(r));
    }
    if (st->failed()) return R::failure(failure("read").error());
    auto files = db_.prepare("SELECT path, reason FROM FailedFiles WHERE run = ? ORDER BY seq");
    if (!files) return R::failure(failure("read").error());
    for (HistoryRun& r : runs) {
        if (r.failedCount == 0) continue;
        files->reset();
        files->bind(1, r.id);
        while (files->step()) r.failed.emplace_back(files->text(0), files->text(1));
        if (files->failed()) return R::failure(failure("read").error());
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
    auto st = db_.prepare("SELECT kind FROM Notified WHERE sysId = ? ORDER BY rowid");
    if (!st) return R::failure(failure("read").error());
    st->bind(1, sysId);
    while (st->step()) kinds.push_back(st->text(0));
    if (st->failed()) return R::failure(failure("read").error());
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
