#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/CatalogLayouts.h"
#include "framework/records/RecordCursor.h"

namespace quillet {

// A typed handle on one of the catalog's files: a key, a record buffer and a position of
// its own (see RecordCursor). Two handles on the same file do not disturb each other,
// which is what the aliases A_P and A_C are. A handle must not outlive its Catalog.
template <class T>
class KeyedStore {
public:
    using Row = std::optional<T>;

    KeyedStore(RecordDatabase& db, std::string_view label, std::string_view keyName)
        : cursor_(db, std::string(label), std::string(keyName)) {}

    Status setKey(std::string_view keyName) { return cursor_.setKey(std::string(keyName)); }
    const std::string& keyName() const { return cursor_.keyName(); }

    Result<Row> find(const std::vector<Value>& key) { return typed(cursor_.find(key)); }
    Result<Row> seek(const std::vector<Value>& key) { return typed(cursor_.seek(key)); }
    Result<Row> first() { return typed(cursor_.first()); }
    Result<Row> last() { return typed(cursor_.last()); }
    Result<Row> next() { return typed(cursor_.next()); }
    Result<Row> previous() { return typed(cursor_.previous()); }
    Result<Row> fetch(RecordId id) { return typed(cursor_.fetch(id)); }

    // Every record whose leading key fields equal key, in key order (all records in the
    // key when key is empty).
    Result<std::vector<T>> all(const std::vector<Value>& key = {}) {
        auto rows = cursor_.all(key);
        if (!rows) return Result<std::vector<T>>::failure(rows.error());
        std::vector<T> out(rows->size());
        for (std::size_t i = 0; i < rows->size(); ++i) fromRecord((*rows)[i], out[i]);
        return out;
    }

    // The stored record (trimmed, with its recordId), or the reason it was refused.
    Result<T> insert(const T& item) {
        auto id = cursor_.insert(toRecord(item));
        if (!id) return Result<T>::failure(id.error());
        T stored;
        fromRecord(*cursor_.current(), stored);
        return stored;
    }
    Status update(const T& item) { return cursor_.update(toRecord(item)); }
    Status erase(const T& item) { return cursor_.erase(item.recordId); }

    RecordCursor& cursor() { return cursor_; }

protected:
    static Result<Row> typed(Result<std::optional<Record>> r) {
        if (!r) return Result<Row>::failure(r.error());
        if (!r->has_value()) return Row();
        T item;
        fromRecord(**r, item);
        return Row(std::move(item));
    }

    RecordCursor cursor_;
};

}  // namespace quillet
