#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/records/RecordLayout.h"
#include "platform/Result.h"

struct sqlite3;

namespace quillet {

// One record file: its on-disk name in the data folder, its owner password (empty for a
// plain file) and the tables it holds.
struct RecordFileSpec {
    std::string fileName;  // "Project.tps"
    std::string password;  // empty: stored plain
    std::vector<TableLayout> tables;
};

// The keyed record-file engine: one SQLCipher connection that opens the first file and
// attaches the others, so a transaction spans all of them atomically (rollback journal with
// a super-journal, never WAL). Record files are SQLite databases; a file with a password
// is encrypted page by page, a file without one is a plain SQLite file.
//
// Opening never damages what is there: an existing file is opened read-write without
// create, checked (readable with its password, structure intact, the expected table
// present) before anything is written, and a file that fails any check is left exactly as
// it was; the message names the file and the reason. Missing files are created empty.
//
// Several processes may use the files at once: writers wait for each other up to the busy
// timeout, and a write that still finds the files locked fails cleanly with a message.
class RecordDatabase {
public:
    static constexpr int DefaultBusyTimeoutMs = 10000;

    RecordDatabase(std::string folder, std::vector<RecordFileSpec> files, int busyTimeoutMs = DefaultBusyTimeoutMs);
    ~RecordDatabase();
    RecordDatabase(const RecordDatabase&) = delete;
    RecordDatabase& operator=(const RecordDatabase&) = delete;

    // Opens (or creates) every file. Does nothing when already open.
    Status open();
    // Closes the connection; an unfinished batch is rolled back.
    void close();
    bool isOpen() const { return db_ != nullptr; }

    const std::string& folder() const { return folder_; }
    // folder + fileName
    std::string pathOf(std::string_view fileName) const;
    const TableLayout* layout(std::string_view label) const;
    // The on-disk name of the file holding the table.
    std::string fileOf(std::string_view label) const;

    // Runs work inside one transaction over all files: it commits when work succeeds and
    // rolls everything back when work fails or the commit does. Nested calls become
    // savepoints of the outer transaction.
    Status transaction(const std::function<Status()>& work);

    // Batch-write mode: every write until endBatch() goes into one transaction that is
    // written to disk once, at endBatch(). cancelBatch() drops the whole batch.
    Status beginBatch();
    Status endBatch();
    void cancelBatch();
    bool inBatch() const { return batch_; }

    // Auto-numbering: one more than the highest value of field (1 in an empty file).
    Result<std::int64_t> nextNumber(std::string_view label, std::string_view field);

    // Checks the record against the layout, stores it trimmed and returns its id. A value
    // that would repeat a non-blank unique key is refused with a message naming the key.
    Result<RecordId> insert(std::string_view label, const Record& record);
    // Replaces the record stored under record.id.
    Status update(std::string_view label, const Record& record);
    // Removes the record; removing one that is not there is not an error.
    Status erase(std::string_view label, RecordId id);
    Result<std::optional<Record>> fetch(std::string_view label, RecordId id);
    Result<std::int64_t> count(std::string_view label);

    // For cursors: a query over one table with a condition in SQL over its quoted field
    // names, the bound values, and an ORDER BY list. limit 0 = all.
    Result<std::vector<Record>> select(std::string_view label, const std::string& where,
                                       const std::vector<Value>& binds, const std::string& orderBy, int limit);
    // For cursors: removes the records matching where; returns how many.
    Result<std::int64_t> eraseWhere(std::string_view label, const std::string& where, const std::vector<Value>& binds);

    // "PREFIX" quoted as an SQL identifier.
    static std::string quoted(std::string_view identifier);
    // The condition that leaves records with an all-blank key out of that key (an index
    // condition, so a walk by the key must repeat it to be served by the index).
    static std::string keyCondition(const TableLayout& layout, const KeyDef& key);

private:
    struct Table {
        const TableLayout* layout;
        std::string schema;
        std::string fileName;
    };
    const Table* table(std::string_view label) const;
    std::string qualifiedTable(const Table& t) const;
    Status openFile(std::size_t index, std::vector<std::string>& created);
    Status checkFile(std::size_t index, bool& needsTables, bool& needsWrite);
    Status createTables(std::size_t index, bool needsTables);
    Status exec(const std::string& sql, std::string_view fileName);
    // COMMIT of the outermost transaction.
    Status commit();
    Status failure(int code, std::string_view fileName, std::string_view doing) const;
    Status duplicateKeyMessage(const Table& t, const Record& record);

    std::string folder_;
    std::vector<RecordFileSpec> files_;
    std::vector<std::string> schemas_;
    std::vector<Table> tables_;
    int busyTimeoutMs_;
    sqlite3* db_ = nullptr;
    int depth_ = 0;
    int savepointCounter_ = 0;
    bool batch_ = false;
};

// Batch-write mode for one block: begins on construction, commit() ends it with one
// flush, and a guard that goes without commit() drops the batch.
class BatchWrite {
public:
    explicit BatchWrite(RecordDatabase& db) : db_(db), status_(db.beginBatch()) {}
    ~BatchWrite() {
        if (status_ && !done_) db_.cancelBatch();
    }
    BatchWrite(const BatchWrite&) = delete;
    BatchWrite& operator=(const BatchWrite&) = delete;

    // Whether the batch could be started.
    const Status& started() const { return status_; }
    Status commit() {
        if (!status_) return status_;
        done_ = true;
        return db_.endBatch();
    }

private:
    RecordDatabase& db_;
    Status status_;
    bool done_ = false;
};

}  // namespace quillet
