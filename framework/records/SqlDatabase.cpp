#include "framework/records/SqlDatabase.h"

#include <sqlite3.h>

#include <utility>

namespace quillet {

SqlStatement::SqlStatement(SqlStatement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), failed_(other.failed_) {}

SqlStatement& SqlStatement::operator=(SqlStatement&& other) noexcept {
    if (this != &other) {
        if (stmt_) sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
        failed_ = other.failed_;
    }
    return *this;
}

SqlStatement::~SqlStatement() {
    if (stmt_) sqlite3_finalize(stmt_);
}

void SqlStatement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) failed_ = true;
}

void SqlStatement::bind(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        failed_ = true;
}

bool SqlStatement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) failed_ = true;
    return false;
}

void SqlStatement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t SqlStatement::int64(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string SqlStatement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

SqlDatabase::~SqlDatabase() {
    close();
}

Status SqlDatabase::open(const std::string& path, int busyTimeoutMs, Mode mode) {
    if (db_) return {};
    const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        close();
        return Status::failure(path + ": " + why);
    }
    sqlite3_busy_timeout(db_, busyTimeoutMs);
    // Reading the schema proves the file is a database (and not a damaged one).
    if (Status s = exec("SELECT count(*) FROM sqlite_master"); !s) {
        close();
        return Status::failure(path + ": " + s.error());
    }
    return {};
}

void SqlDatabase::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

Status SqlDatabase::exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return {};
    std::string why = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return Status::failure(why);
}

Result<SqlStatement> SqlDatabase::prepare(const std::string& sql) {
    SqlStatement s;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s.stmt_, nullptr) != SQLITE_OK)
        return Result<SqlStatement>::failure(sqlite3_errmsg(db_));
    return s;
}

std::int64_t SqlDatabase::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int SqlDatabase::changes() const {
    return sqlite3_changes(db_);
}

bool SqlDatabase::readOnly() const {
    return sqlite3_db_readonly(db_, "main") == 1;
}

std::string SqlDatabase::lastError() const {
    return db_ ? sqlite3_errmsg(db_) : "not open";
}

}  // namespace quillet
