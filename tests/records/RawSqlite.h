#pragma once

#include <sqlite3.h>

#include <string>

namespace quillet::test {

// A connection of its own, beside the engine's: a plain SQLite client (no password), or a
// second program holding locks, or a way to plant faults such as a trigger that raises.
class RawSqlite {
public:
    explicit RawSqlite(const std::string& path, const std::string& password = "") {
        rc_ = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        if (rc_ == SQLITE_OK && !password.empty()) rc_ = exec("PRAGMA key = '" + password + "'");
    }
    ~RawSqlite() { sqlite3_close_v2(db_); }
    RawSqlite(const RawSqlite&) = delete;
    RawSqlite& operator=(const RawSqlite&) = delete;

    bool opened() const { return rc_ == SQLITE_OK; }
    int exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    // The first column of the first row as text, or "ERROR: ..." when the query fails.
    std::string scalar(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        std::string out;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            const auto* t = sqlite3_column_text(st, 0);
            out = t ? reinterpret_cast<const char*>(t) : "";
        } else if (rc != SQLITE_DONE) {
            out = std::string("ERROR: ") + sqlite3_errmsg(db_);
        }
        sqlite3_finalize(st);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

}  // namespace quillet::test
