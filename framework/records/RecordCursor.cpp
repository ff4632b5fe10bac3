#include "framework/records/RecordCursor.h"

#include <algorithm>
#include <stdexcept>

namespace quillet {

namespace {

// (c1, ..., cn) <op> (?, ..., ?) spelled out field by field, so that each comparison uses
// the field's own collation (NOCASE for text) and the key's index can serve it.
// strict: > or <; otherwise the last comparison admits equality.
std::string compareChain(const std::vector<std::string>& columns, const char* op, bool strict) {
    std::string out;
    std::string closing;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const bool lastOne = i + 1 == columns.size();
        if (lastOne) {
            out += columns[i] + " " + op + (strict ? "" : "=") + " ?";
        } else {
            out += "(" + columns[i] + " " + op + " ? OR (" + columns[i] + " = ? AND ";
            closing += "))";
        }
    }
    return out + closing;
}

// Values in the order compareChain binds them: every field but the last twice.
std::vector<Value> chainBinds(const std::vector<Value>& values) {
    std::vector<Value> out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        out.push_back(values[i]);
        if (i + 1 < values.size()) out.push_back(values[i]);
    }
    return out;
}

}  // namespace

RecordCursor::RecordCursor(RecordDatabase& db, std::string label, std::string keyName)
    : db_(db), label_(std::move(label)), layout_(db.layout(label_)), key_(nullptr) {
    if (!layout_) throw std::invalid_argument("no record table " + label_);
    key_ = layout_->key(keyName);
    if (!key_) throw std::invalid_argument("no key " + keyName + " in " + label_);
}

Status RecordCursor::setKey(const std::string& keyName) {
    const KeyDef* k = layout_->key(keyName);
    if (!k) return Status::failure("The file " + db_.fileOf(label_) + " has no key " + keyName + ".");
    key_ = k;
    return {};
}

std::string RecordCursor::keyFilter() const {
    return "(" + RecordDatabase::keyCondition(*layout_, *key_) + ")";
}

std::string RecordCursor::leadingKeyEquals(std::size_t count) const {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += (i ? " AND " : "") + RecordDatabase::quoted(key_->components[i]) + " = ?";
    return out;
}

std::string RecordCursor::orderBy(bool descending) const {
    std::string out;
    for (const auto& c : key_->components) out += RecordDatabase::quoted(c) + (descending ? " DESC, " : ", ");
    return out + (descending ? "rowid DESC" : "rowid");
}

Result<std::optional<Record>> RecordCursor::readOne(const std::string& where, const std::vector<Value>& binds,
                                                    bool descending) {
    std::string condition = keyFilter();
    if (!where.empty()) condition += " AND (" + where + ")";
    auto rows = db_.select(label_, condition, binds, orderBy(descending), 1);
    if (!rows) return Result<std::optional<Record>>::failure(rows.error());
    if (rows->empty()) return std::optional<Record>();
    current_ = rows->front();
    return current_;
}

Result<std::optional<Record>> RecordCursor::find(const std::vector<Value>& values) {
    const std::size_t n = std::min(values.size(), key_->components.size());
    return readOne(leadingKeyEquals(n), {values.begin(), values.begin() + static_cast<long>(n)}, false);
}

Result<std::optional<Record>> RecordCursor::seek(const std::vector<Value>& values) {
    const std::size_t n = std::min(values.size(), key_->components.size());
    if (n == 0) return first();
    std::vector<std::string> columns;
    for (std::size_t i = 0; i < n; ++i) columns.push_back(RecordDatabase::quoted(key_->components[i]));
    return readOne(compareChain(columns, ">", false),
                   chainBinds({values.begin(), values.begin() + static_cast<long>(n)}), false);
}

Result<std::optional<Record>> RecordCursor::first() {
    return readOne("", {}, false);
}
Result<std::optional<Record>> RecordCursor::last() {
    return readOne("", {}, true);
}

Result<std::optional<Record>> RecordCursor::next() {
    return step(true);
}

Result<std::optional<Record>> RecordCursor::previous() {
    return step(false);
}

Result<std::optional<Record>> RecordCursor::step(bool forward) {
    if (!current_) return forward ? first() : last();
    std::vector<std::string> columns;
    std::vector<Value> values;
    for (const auto& c : key_->components) {
        columns.push_back(RecordDatabase::quoted(c));
        values.push_back(current_->values[static_cast<std::size_t>(layout_->fieldIndex(c))]);
    }
    columns.push_back("rowid");
    values.emplace_back(current_->id);
    const std::optional<Record> before = current_;
    auto r = readOne(compareChain(columns, forward ? ">" : "<", true), chainBinds(values), !forward);
    if (r && !r->has_value()) current_ = before;
    return r;
}

Result<std::optional<Record>> RecordCursor::fetch(RecordId id) {
    auto r = db_.fetch(label_, id);
    if (r && r->has_value()) current_ = *r.value();
    return r;
}

Result<std::vector<Record>> RecordCursor::all(const std::vector<Value>& values) {
    std::string where = keyFilter();
    const std::size_t n = std::min(values.size(), key_->components.size());
    if (n) where += " AND " + leadingKeyEquals(n);
    return db_.select(label_, where, {values.begin(), values.begin() + static_cast<long>(n)}, orderBy(false), 0);
}

Result<std::int64_t> RecordCursor::eraseMatching(const std::vector<Value>& values) {
    std::string where = keyFilter();
    const std::size_t n = std::min(values.size(), key_->components.size());
    if (n) where += " AND " + leadingKeyEquals(n);
    return db_.eraseWhere(label_, where, {values.begin(), values.begin() + static_cast<long>(n)});
}

Result<RecordId> RecordCursor::insert(const Record& record) {
    auto id = db_.insert(label_, record);
    if (id) {
        current_ = layout_->normalised(record);
        current_->id = *id;
    }
    return id;
}

Status RecordCursor::update(const Record& record) {
    Status s = db_.update(label_, record);
    if (s) current_ = layout_->normalised(record);
    return s;
}

Status RecordCursor::erase(RecordId id) {
    // The position stays on the erased record's key value, so next() continues after it.
    return db_.erase(label_, id);
}

}  // namespace quillet
