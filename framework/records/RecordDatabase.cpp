#include "framework/records/RecordDatabase.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>

#include "framework/records/RecordFileKey.h"
#include "platform/AtomicWrite.h"
#include "platform/CrashPoint.h"
#include "platform/Folders.h"

namespace quillet {

namespace {

// A prepared statement that finalises itself.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(handle); }
};

int prepare(sqlite3* db, const std::string& sql, Statement& st) {
    return sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st.handle, nullptr);
}

int bindValue(sqlite3_stmt* st, int index, const Value& value) {
    if (const auto* n = std::get_if<std::int64_t>(&value)) return sqlite3_bind_int64(st, index, *n);
    const auto& s = std::get<std::string>(value);
    return sqlite3_bind_text(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

int bindAll(sqlite3_stmt* st, const std::vector<Value>& values, int first = 1) {
    for (std::size_t i = 0; i < values.size(); ++i)
        if (int rc = bindValue(st, first + static_cast<int>(i), values[i]); rc != SQLITE_OK) return rc;
    return SQLITE_OK;
}

// Column 0 is the rowid, then the fields in layout order.
Record readRow(sqlite3_stmt* st, const TableLayout& layout) {
    Record r;
    r.id = sqlite3_column_int64(st, 0);
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
        const int col = static_cast<int>(i) + 1;
        if (layout.fields[i].holdsText()) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
            const int bytes = sqlite3_column_bytes(st, col);
            r.values.emplace_back(text ? std::string(text, static_cast<std::size_t>(bytes)) : std::string());
        } else {
            r.values.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(st, col)));
        }
    }
    return r;
}

std::string sqlText(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// Whether open() hands over the keys of recordFileRawKey, and whether it did.
thread_local bool t_deriveKeys = true;
thread_local bool t_derivedKeyUsed = false;

// A URI file name, so that "mode=rw" can forbid creating a file that should exist.
std::string fileUri(const std::string& path, const char* mode) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out + "?mode=" + mode;
}

std::string columnList(const TableLayout& layout) {
    std::string out;
    for (const auto& f : layout.fields) {
        if (!out.empty()) out += ", ";
        out += RecordDatabase::quoted(f.name);
    }
    return out;
}

}  // namespace

std::string RecordDatabase::keyCondition(const TableLayout& layout, const KeyDef& key) {
    std::string out;
    for (const auto& c : key.components) {
        const int i = layout.fieldIndex(c);
        if (!out.empty()) out += " OR ";
        const bool text = i >= 0 && layout.fields[static_cast<std::size_t>(i)].holdsText();
        out += quoted(c) + (text ? " <> ''" : " <> 0");
    }
    return out;
}

std::string RecordDatabase::quoted(std::string_view identifier) {
    std::string out = "\"";
    for (char c : identifier) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

RecordDatabase::RecordDatabase(std::string folder, std::vector<RecordFileSpec> files, int busyTimeoutMs)
    : folder_(std::move(folder)), files_(std::move(files)), busyTimeoutMs_(busyTimeoutMs) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
    for (std::size_t i = 0; i < files_.size(); ++i) {
        // The first file is the connection's main database; the others are attached under
        // their first table's label.
        const std::string schema =
            i == 0 ? "main" : (files_[i].tables.empty() ? "f" + std::to_string(i) : files_[i].tables.front().label);
        schemas_.push_back(schema);
    }
    for (std::size_t i = 0; i < files_.size(); ++i)
        for (const auto& t : files_[i].tables) tables_.push_back(Table{&t, schemas_[i], files_[i].fileName});
}

RecordDatabase::~RecordDatabase() {
    close();
}

std::string RecordDatabase::pathOf(std::string_view fileName) const {
    return folder_ + std::string(fileName);
}

const RecordDatabase::Table* RecordDatabase::table(std::string_view label) const {
    for (const auto& t : tables_)
        if (t.layout->label == label) return &t;
    return nullptr;
}

const TableLayout* RecordDatabase::layout(std::string_view label) const {
    const Table* t = table(label);
    return t ? t->layout : nullptr;
}

std::string RecordDatabase::fileOf(std::string_view label) const {
    const Table* t = table(label);
    return t ? t->fileName : std::string();
}

std::string RecordDatabase::qualifiedTable(const Table& t) const {
    return quoted(t.schema) + "." + quoted(t.layout->label);
}

Status RecordDatabase::failure(int code, std::string_view fileName, std::string_view doing) const {
    const int primary = code & 0xFF;
    std::string reason;
    switch (primary) {
        case SQLITE_NOTADB:
            reason = "it is not a Quillet record file, it is damaged, or it was written with another password";
            break;
        case SQLITE_CORRUPT:
            reason = "the file is damaged";
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            reason = "it is in use by another Quillet process (waited " + std::to_string(busyTimeoutMs_ / 1000) +
                     " seconds); try again when that process has finished";
            break;
        case SQLITE_READONLY:
            reason = "the file cannot be written (read-only)";
            break;
        case SQLITE_PERM:
        case SQLITE_AUTH:
            reason = "permission denied";
            break;
        case SQLITE_CANTOPEN:
            reason = "the file cannot be opened (missing folder or no permission)";
            break;
        case SQLITE_FULL:
            reason = "the disk is full";
            break;
        case SQLITE_IOERR:
            reason = "a read or write error occurred";
            break;
        default:
            reason = sqlite3_errstr(code);
            break;
    }
    if (db_) {
        const char* detail = sqlite3_errmsg(db_);
        if (detail && *detail && reason.find(detail) == std::string::npos &&
            std::strcmp(detail, sqlite3_errstr(code)) != 0)
            reason += " (" + std::string(detail) + ")";
    }
    const std::string what =
        fileName.empty() ? "The record files in " + folder_ : "The record file " + pathOf(fileName);
    return Status::failure(what + " cannot be " + std::string(doing) + ": " + reason + ".");
}

Status RecordDatabase::commit() {
    crashPoint(CrashPoint::RecordCommitting);
    Status s = exec("COMMIT", "");
    if (s) crashPoint(CrashPoint::RecordCommitted);
    return s;
}

Status RecordDatabase::exec(const std::string& sql, std::string_view fileName) {
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return failure(sqlite3_extended_errcode(db_), fileName, "written");
    return {};
}

Status RecordDatabase::open() {
    if (db_) return {};
    if (files_.empty()) return Status::failure("No record files are described.");
    if (const int err = makeFolders(folder_); err != 0)
        return Status::failure("The folder " + folder_ +
                               " for the record files cannot be created: " + std::strerror(err) + ".");

    // The keys derived here first; should they not open a file (a SQLCipher that derives
    // keys another way), everything is opened once more with the passphrases.
    const auto attempt = [this]() -> Status {
        // Each file is checked as soon as it is open, before the next is attached: attaching
        // reads every schema, and a fault of one file must not be blamed on another.
        std::vector<std::string> created;
        std::vector<bool> needsTables(files_.size(), false);
        bool needsWrite = false;
        Status s;
        for (std::size_t i = 0; s && i < files_.size(); ++i) {
            s = openFile(i, created);
            bool tablesMissing = false;
            bool writeNeeded = false;
            if (s) s = checkFile(i, tablesMissing, writeNeeded);
            needsTables[i] = tablesMissing;
            needsWrite = needsWrite || writeNeeded;
        }
        // Only once every file has passed its checks is anything written.
        if (s) {
            for (std::size_t i = 0; s && i < files_.size(); ++i) {
                s = exec("PRAGMA " + quoted(schemas_[i]) + ".journal_mode = DELETE", files_[i].fileName);
                if (s) s = exec("PRAGMA " + quoted(schemas_[i]) + ".synchronous = FULL", files_[i].fileName);
            }
            // Files that are complete are not written to (nor locked for writing) at all.
            if (s && needsWrite) {
                s = exec("BEGIN IMMEDIATE", "");
                for (std::size_t i = 0; s && i < files_.size(); ++i) s = createTables(i, needsTables[i]);
                if (s) s = commit();
                if (!s) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            }
        }
        if (!s) {
            sqlite3_close_v2(db_);
            db_ = nullptr;
            // Files this call created hold nothing of value; files that were there are untouched.
            // One that is no longer empty was filled by another process starting at the same time.
            for (const auto& path : created) {
                struct stat st {};
                if (::stat(path.c_str(), &st) == 0 && st.st_size == 0) ::unlink(path.c_str());
            }
        }
        return s;
    };
    t_deriveKeys = true;
    t_derivedKeyUsed = false;
    {
        // The keyed files' keys are derived side by side, one file per thread.
        std::vector<std::thread> helpers;
        for (std::size_t i = 1; i < files_.size(); ++i)
            if (!files_[i].password.empty())
                helpers.emplace_back(
                    [this, i] { (void)recordFileRawKey(pathOf(files_[i].fileName), files_[i].password); });
        if (!files_.empty() && !files_[0].password.empty())
            (void)recordFileRawKey(pathOf(files_[0].fileName), files_[0].password);
        for (std::thread& t : helpers) t.join();
    }
    Status s = attempt();
    if (!s && t_derivedKeyUsed) {
        t_deriveKeys = false;
        s = attempt();
        t_deriveKeys = true;
    }
    return s;
}

Status RecordDatabase::openFile(std::size_t i, std::vector<std::string>& created) {
    const RecordFileSpec& fileSpec = files_[i];
    const std::string path = pathOf(fileSpec.fileName);
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return Status::failure("The record file " + path + " cannot be opened: " + std::strerror(errno) + ".");
    if (exists && !S_ISREG(st.st_mode))
        return Status::failure("The record file " + path + " cannot be opened: it is not a regular file.");
    if (exists && ::access(path.c_str(), R_OK | W_OK) != 0)
        return Status::failure("The record file " + path + " cannot be opened: " + std::strerror(errno) + ".");
    if (!exists) created.push_back(path);

    const std::string uri = fileUri(path, exists ? "rw" : "rwc");
    std::string derived;
    if (exists && t_deriveKeys && !fileSpec.password.empty()) derived = recordFileRawKey(path, fileSpec.password);
    if (!derived.empty()) t_derivedKeyUsed = true;
    const std::string& key = derived.empty() ? fileSpec.password : derived;
    if (i == 0) {
        const int rc =
            sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
        if (rc != SQLITE_OK) {
            Status f = failure(db_ ? sqlite3_extended_errcode(db_) : rc, fileSpec.fileName, "opened");
            return f;
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, busyTimeoutMs_);
        if (!fileSpec.password.empty()) {
            const int krc = sqlite3_exec(db_, ("PRAGMA key = " + sqlText(key)).c_str(), nullptr, nullptr, nullptr);
            if (krc != SQLITE_OK) return failure(sqlite3_extended_errcode(db_), fileSpec.fileName, "opened");
        }
    } else {
        Statement st;
        int rc = prepare(db_, "ATTACH DATABASE ? AS " + quoted(schemas_[i]) + " KEY ?", st);
        if (rc == SQLITE_OK) rc = bindAll(st.handle, {Value(uri), Value(key)});
        if (rc == SQLITE_OK) rc = sqlite3_step(st.handle);
        if (rc != SQLITE_DONE) return failure(sqlite3_extended_errcode(db_), fileSpec.fileName, "opened");
    }
    return {};
}

Status RecordDatabase::checkFile(std::size_t index, bool& needsTables, bool& needsWrite) {
    const RecordFileSpec& fileSpec = files_[index];
    const std::string schema = quoted(schemas_[index]);

    // Reading the schema is the first read of the file: a wrong password or a file that is
    // not a database fails here.
    std::set<std::string> tables;
    {
        Statement st;
        int rc = prepare(db_, "SELECT name FROM " + schema + ".sqlite_master WHERE type IN ('table', 'index')", st);
        if (rc == SQLITE_OK)
            while ((rc = sqlite3_step(st.handle)) == SQLITE_ROW)
                tables.insert(reinterpret_cast<const char*>(sqlite3_column_text(st.handle, 0)));
        if (rc != SQLITE_DONE) return failure(sqlite3_extended_errcode(db_), fileSpec.fileName, "opened");
    }
    needsTables = tables.empty();
    needsWrite = needsTables;
    if (needsTables) return {};

    // Every page is read once, so damage anywhere in the file is found now rather than in
    // the middle of some later procedure. The record files are small.
    {
        Statement st;
        int rc = prepare(db_, "PRAGMA " + schema + ".quick_check", st);
        std::string verdict;
        if (rc == SQLITE_OK && (rc = sqlite3_step(st.handle)) == SQLITE_ROW)
            verdict = reinterpret_cast<const char*>(sqlite3_column_text(st.handle, 0));
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return failure(sqlite3_extended_errcode(db_), fileSpec.fileName, "opened");
        if (verdict != "ok")
            return Status::failure("The record file " + pathOf(fileSpec.fileName) +
                                   " cannot be opened: the file is damaged (" + verdict + ").");
    }

    for (const auto& layout : fileSpec.tables) {
        if (!tables.count(layout.label))
            return Status::failure("The record file " + pathOf(fileSpec.fileName) +
                                   " cannot be opened: it is not a Quillet record file (it holds no " + layout.label +
                                   " table).");
        std::set<std::string> columns;
        Statement st;
        int rc = prepare(db_, "PRAGMA " + schema + ".table_info(" + quoted(layout.label) + ")", st);
        if (rc == SQLITE_OK)
            while ((rc = sqlite3_step(st.handle)) == SQLITE_ROW)
                columns.insert(reinterpret_cast<const char*>(sqlite3_column_text(st.handle, 1)));
        if (rc != SQLITE_DONE) return failure(sqlite3_extended_errcode(db_), fileSpec.fileName, "opened");
        for (std::size_t f = 0; f < layout.fields.size(); ++f)
            if (!columns.count(layout.fields[f].name))
                return Status::failure("The record file " + pathOf(fileSpec.fileName) +
                                       " cannot be opened: it is not a Quillet record file (the field " +
                                       layout.qualifiedName(f) + " is missing).");
        for (const auto& key : layout.keys)
            if (!tables.count(layout.label + "_" + key.name)) needsWrite = true;
    }
    return {};
}

Status RecordDatabase::createTables(std::size_t index, bool needsTables) {
    const RecordFileSpec& fileSpec = files_[index];
    const std::string schema = quoted(schemas_[index]);
    for (const auto& layout : fileSpec.tables) {
        if (needsTables) {
            std::string sql = "CREATE TABLE IF NOT EXISTS " + schema + "." + quoted(layout.label) + " (";
            for (std::size_t f = 0; f < layout.fields.size(); ++f) {
                const FieldDef& field = layout.fields[f];
                if (f) sql += ", ";
                sql += quoted(field.name);
                switch (field.type) {
                    case FieldType::Long:
                    case FieldType::Byte:
                        sql += " INTEGER NOT NULL DEFAULT 0";
                        break;
                    case FieldType::Text:
                        sql += " TEXT COLLATE NOCASE NOT NULL DEFAULT ''";
                        break;
                    case FieldType::Memo:
                        sql += " TEXT NOT NULL DEFAULT ''";
                        break;
                }
            }
            sql += ")";
            if (Status s = exec(sql, fileSpec.fileName); !s) return s;
        }
        for (const auto& key : layout.keys) {
            std::string sql = std::string("CREATE ") + (key.unique ? "UNIQUE " : "") + "INDEX IF NOT EXISTS " + schema +
                              "." + quoted(layout.label + "_" + key.name) + " ON " + quoted(layout.label) + " (";
            for (std::size_t c = 0; c < key.components.size(); ++c) {
                if (c) sql += ", ";
                sql += quoted(key.components[c]);
                const int fi = layout.fieldIndex(key.components[c]);
                if (fi >= 0 && layout.fields[static_cast<std::size_t>(fi)].holdsText()) sql += " COLLATE NOCASE";
            }
            sql += ") WHERE " + keyCondition(layout, key);
            if (Status s = exec(sql, fileSpec.fileName); !s) return s;
        }
    }
    return {};
}

void RecordDatabase::close() {
    if (!db_) return;
    if (depth_ > 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    depth_ = 0;
    batch_ = false;
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

Status RecordDatabase::transaction(const std::function<Status()>& work) {
    if (!db_) return Status::failure("The record files are not open.");
    std::string savepoint;
    if (depth_ == 0) {
        if (Status s = exec("BEGIN IMMEDIATE", ""); !s) return s;
    } else {
        savepoint = "sp" + std::to_string(++savepointCounter_);
        if (Status s = exec("SAVEPOINT " + savepoint, ""); !s) return s;
    }
    ++depth_;
    Status result = work();
    --depth_;
    if (savepoint.empty()) {
        if (result) {
            result = commit();
            if (!result) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        } else {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    } else {
        if (!result) sqlite3_exec(db_, ("ROLLBACK TO " + savepoint).c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db_, ("RELEASE " + savepoint).c_str(), nullptr, nullptr, nullptr);
    }
    return result;
}

Status RecordDatabase::beginBatch() {
    if (!db_) return Status::failure("The record files are not open.");
    if (depth_ > 0) return Status::failure("A batch cannot start inside another transaction.");
    if (Status s = exec("BEGIN IMMEDIATE", ""); !s) return s;
    depth_ = 1;
    batch_ = true;
    return {};
}

Status RecordDatabase::endBatch() {
    if (!batch_) return Status::failure("No batch is in progress.");
    Status s = commit();
    if (!s) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    depth_ = 0;
    batch_ = false;
    return s;
}

void RecordDatabase::cancelBatch() {
    if (!batch_) return;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    depth_ = 0;
    batch_ = false;
}

Result<std::int64_t> RecordDatabase::nextNumber(std::string_view label, std::string_view field) {
    const Table* t = table(label);
    if (!db_ || !t) return Result<std::int64_t>::failure("The record files are not open.");
    Statement st;
    int rc = prepare(db_, "SELECT MAX(" + quoted(field) + ") FROM " + qualifiedTable(*t), st);
    if (rc == SQLITE_OK) rc = sqlite3_step(st.handle);
    if (rc != SQLITE_ROW)
        return Result<std::int64_t>::failure(failure(sqlite3_extended_errcode(db_), t->fileName, "read").error());
    return sqlite3_column_int64(st.handle, 0) + 1;
}

Status RecordDatabase::duplicateKeyMessage(const Table& t, const Record& record) {
    const TableLayout& layout = *t.layout;
    for (const auto& key : layout.keys) {
        if (!key.unique) continue;
        std::string where = "(" + keyCondition(layout, key) + ") AND rowid <> ?";
        std::vector<Value> binds{Value(record.id)};
        std::string values;
        std::string fields;
        for (const auto& c : key.components) {
            const auto fi = static_cast<std::size_t>(layout.fieldIndex(c));
            where += " AND " + quoted(c) + " = ?";
            binds.push_back(record.values[fi]);
            if (!fields.empty()) fields += ", ";
            fields += layout.qualifiedName(fi);
            if (!values.empty()) values += ", ";
            if (const auto* n = std::get_if<std::int64_t>(&record.values[fi]))
                values += std::to_string(*n);
            else
                values += "\"" + std::get<std::string>(record.values[fi]) + "\"";
        }
        auto found = select(layout.label, where, binds, "rowid", 1);
        if (found && !found->empty())
            return Status::failure("Duplicate key " + key.name + ": the value " + values + " of " + fields +
                                   " is already used by another record in " + t.fileName + ". Change the value.");
    }
    return Status::failure("Duplicate key: another record in " + t.fileName + " already has this unique key value.");
}

Result<RecordId> RecordDatabase::insert(std::string_view label, const Record& record) {
    const Table* t = table(label);
    if (!db_ || !t) return Result<RecordId>::failure("The record files are not open.");
    if (Status v = t->layout->validate(record); !v) return Result<RecordId>::failure(v.error());
    Record stored = t->layout->normalised(record);
    std::string marks;
    for (std::size_t i = 0; i < stored.values.size(); ++i) marks += i ? ", ?" : "?";
    Statement st;
    int rc = prepare(
        db_, "INSERT INTO " + qualifiedTable(*t) + " (" + columnList(*t->layout) + ") VALUES (" + marks + ")", st);
    if (rc == SQLITE_OK) rc = bindAll(st.handle, stored.values);
    if (rc == SQLITE_OK) rc = sqlite3_step(st.handle);
    if (rc != SQLITE_DONE) {
        const int code = sqlite3_extended_errcode(db_);
        if (code == SQLITE_CONSTRAINT_UNIQUE) {
            stored.id = 0;
            return Result<RecordId>::failure(duplicateKeyMessage(*t, stored).error());
        }
        return Result<RecordId>::failure(failure(code, t->fileName, "written").error());
    }
    return static_cast<RecordId>(sqlite3_last_insert_rowid(db_));
}

Status RecordDatabase::update(std::string_view label, const Record& record) {
    const Table* t = table(label);
    if (!db_ || !t) return Status::failure("The record files are not open.");
    if (Status v = t->layout->validate(record); !v) return v;
    Record stored = t->layout->normalised(record);
    std::string sets;
    for (const auto& f : t->layout->fields) sets += (sets.empty() ? "" : ", ") + quoted(f.name) + " = ?";
    Statement st;
    int rc = prepare(db_, "UPDATE " + qualifiedTable(*t) + " SET " + sets + " WHERE rowid = ?", st);
    if (rc == SQLITE_OK) rc = bindAll(st.handle, stored.values);
    if (rc == SQLITE_OK) rc = sqlite3_bind_int64(st.handle, static_cast<int>(stored.values.size()) + 1, stored.id);
    if (rc == SQLITE_OK) rc = sqlite3_step(st.handle);
    if (rc != SQLITE_DONE) {
        const int code = sqlite3_extended_errcode(db_);
        if (code == SQLITE_CONSTRAINT_UNIQUE) return duplicateKeyMessage(*t, stored);
        return failure(code, t->fileName, "written");
    }
    if (sqlite3_changes(db_) == 0)
        return Status::failure("The record was not saved: it is no longer in " + t->fileName +
                               " (another window or process has deleted it).");
    return {};
}

Status RecordDatabase::erase(std::string_view label, RecordId id) {
    auto removed = eraseWhere(label, "rowid = ?", {Value(id)});
    return removed ? Status() : Status::failure(removed.error());
}

Result<std::optional<Record>> RecordDatabase::fetch(std::string_view label, RecordId id) {
    auto rows = select(label, "rowid = ?", {Value(id)}, "rowid", 1);
    if (!rows) return Result<std::optional<Record>>::failure(rows.error());
    if (rows->empty()) return std::optional<Record>();
    return std::optional<Record>(rows->front());
}

Result<std::int64_t> RecordDatabase::count(std::string_view label) {
    const Table* t = table(label);
    if (!db_ || !t) return Result<std::int64_t>::failure("The record files are not open.");
    Statement st;
    int rc = prepare(db_, "SELECT count(*) FROM " + qualifiedTable(*t), st);
    if (rc == SQLITE_OK) rc = sqlite3_step(st.handle);
    if (rc != SQLITE_ROW)
        return Result<std::int64_t>::failure(failure(sqlite3_extended_errcode(db_), t->fileName, "read").error());
    return static_cast<std::int64_t>(sqlite3_column_int64(st.handle, 0));
}

Result<std::vector<Record>> RecordDatabase::select(std::string_view label, const std::string& where,
                                                   const std::vector<Value>& binds, const std::string& orderBy,
                                                   int limit) {
    const Table* t = table(label);
    if (!db_ || !t) return Result<std::vector<Record>>::failure("The record files are not open.");
    std::string sql = "SELECT rowid, " + columnList(*t->layout) + " FROM " + qualifiedTable(*t);
    if (!where.empty()) sql += " WHERE " + where;
    if (!orderBy.empty()) sql += " ORDER BY " + orderBy;
    if (limit > 0) sql += " LIMIT " + std::to_string(limit);
    Statement st;
    int rc = prepare(db_, sql, st);
    if (rc == SQLITE_OK) rc = bindAll(st.handle, binds);
    std::vector<Record> rows;
    if (rc == SQLITE_OK)
        while ((rc = sqlite3_step(st.handle)) == SQLITE_ROW) rows.push_back(readRow(st.handle, *t->layout));
    if (rc != SQLITE_DONE)
        return Result<std::vector<Record>>::failure(
            failure(sqlite3_extended_errcode(db_), t->fileName, "read").error());
    return rows;
}

Result<std::int64_t> RecordDatabase::eraseWhere(std::string_view label, const std::string& where,
                                                const std::vector<Value>& binds) {
    const Table* t = table(label);
    if (!db_ || !t) return Result<std::int64_t>::failure("The record files are not open.");
    Statement st;
    int rc = prepare(db_, "DELETE FROM " + qualifiedTable(*t) + (where.empty() ? "" : " WHERE " + where), st);
    if (rc == SQLITE_OK) rc = bindAll(st.handle, binds);
    if (rc == SQLITE_OK) rc = sqlite3_step(st.handle);
    if (rc != SQLITE_DONE)
        return Result<std::int64_t>::failure(failure(sqlite3_extended_errcode(db_), t->fileName, "written").error());
    return static_cast<std::int64_t>(sqlite3_changes(db_));
}

}  // namespace quillet
