#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/records/RecordDatabase.h"

namespace quillet {

// One handle on one table of an open RecordDatabase: a key to walk by, a record buffer and
// a position. Several cursors on the same table are independent of each other, which is
// how a second handle (an alias) walks a file while the first holds the record being
// edited.
//
// The position is the current record's key value and id, so it survives changes made
// through other cursors: next() goes to the record after that value even when the current
// record itself has been deleted meanwhile. Records whose key fields are all blank are not
// in the key and are never reached by a walk on it.
class RecordCursor {
public:
    // keyName must be one of the table's keys.
    RecordCursor(RecordDatabase& db, std::string label, std::string keyName);

    const TableLayout& layout() const { return *layout_; }
    const std::string& keyName() const { return key_->name; }
    // Walks by another key from now on; the current record stays current.
    Status setKey(const std::string& keyName);

    // Exact read: the first record in key order whose leading key fields equal values
    // (fewer values than key fields compare only those). Empty when there is none.
    Result<std::optional<Record>> find(const std::vector<Value>& values);
    // The first record whose key is at or after values (leading fields, as for find).
    Result<std::optional<Record>> seek(const std::vector<Value>& values);
    Result<std::optional<Record>> first();
    Result<std::optional<Record>> last();
    // The record after (before) the current one in key order; from no position, the first
    // (last). Empty at the end, and the position then stays where it was.
    Result<std::optional<Record>> next();
    Result<std::optional<Record>> previous();
    // Reads a record by its id and makes it current.
    Result<std::optional<Record>> fetch(RecordId id);

    // Every record whose leading key fields equal values, in key order.
    Result<std::vector<Record>> all(const std::vector<Value>& values = {});
    // Removes every record whose leading key fields equal values; returns how many.
    Result<std::int64_t> eraseMatching(const std::vector<Value>& values);

    // The record buffer: the record last read or written through this cursor.
    const std::optional<Record>& current() const { return current_; }
    void clearPosition() { current_.reset(); }

    // Writes through the cursor; the record written becomes current.
    Result<RecordId> insert(const Record& record);
    Status update(const Record& record);
    Status erase(RecordId id);

private:
    Result<std::optional<Record>> readOne(const std::string& where, const std::vector<Value>& binds, bool descending);
    // The record after (forward) or before the current one in key order.
    Result<std::optional<Record>> step(bool forward);
    std::string orderBy(bool descending) const;
    std::string keyFilter() const;
    // "c1 = ? AND c2 = ?" over the first count fields of the key.
    std::string leadingKeyEquals(std::size_t count) const;

    RecordDatabase& db_;
    std::string label_;
    const TableLayout* layout_;
    const KeyDef* key_;
    std::optional<Record> current_;
};

}  // namespace quillet
