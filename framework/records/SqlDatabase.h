#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quillet {

class SqlDatabase;

// One prepared statement: bind from 1, step through the rows, read columns from 0.
class SqlStatement {
public:
    SqlStatement() = default;
    SqlStatement(SqlStatement&& other) noexcept;
    SqlStatement& operator=(SqlStatement&& other) noexcept;
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    void bind(int index, std::int64_t value);
    void bind(int index, std::string_view text);
    // True while there is a row; false at the end or on an error (see failed()).
    bool step();
    // Ready to be bound and stepped again.
    void reset();
    bool failed() const { return failed_; }

    std::int64_t int64(int column) const;
    std::string text(int column) const;

private:
    friend class SqlDatabase;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

// A plain (unencrypted) SQLite file for a cache the program can always rebuild, such as
// the index of archive directories: a thin layer that keeps SQL access inside framework/.
class SqlDatabase {
public:
    SqlDatabase() = default;
    ~SqlDatabase();
    SqlDatabase(const SqlDatabase&) = delete;
    SqlDatabase& operator=(const SqlDatabase&) = delete;

    enum class Mode { ReadWriteCreate, ReadOnly };
    // Opens (or, for writing, creates) the file and checks that it is a readable database.
    Status open(const std::string& path, int busyTimeoutMs = 10000, Mode mode = Mode::ReadWriteCreate);
    void close();
    bool isOpen() const { return db_ != nullptr; }

    Status exec(const std::string& sql);
    Result<SqlStatement> prepare(const std::string& sql);
    std::int64_t lastInsertId() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int changes() const;
    bool readOnly() const;
    std::string lastError() const;

private:
    sqlite3* db_ = nullptr;
};

}  // namespace quillet
