#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/Result.h"

namespace quillet {

// The layout of one record file's table: its fields in order, with types and widths, and
// its keys. The engine builds the table and its indexes from it and checks every value
// against it before writing.
//
// Keys compare text without regard to case using SQLite's NOCASE collation, which folds
// the ASCII letters only: "ABCD" and "abcd" are the same key, "ÄBC" and "äbc" are not.
// A collation of our own would fold more, but a plain SQLite client could then no longer
// read the plain record files' indexes; prefixes, names and masks are in practice ASCII.

enum class FieldType {
    Long,  // signed 32-bit
    Byte,  // unsigned 8-bit
    Text,  // fixed width in characters, stored without its trailing spaces
    Memo,  // free text up to a width in characters, stored as given
};

struct FieldDef {
    std::string name;  // as in the record layout, e.g. "DESTINATIONPATH"
    FieldType type = FieldType::Text;
    std::size_t width = 0;  // characters, for Text and Memo

    bool holdsText() const { return type == FieldType::Text || type == FieldType::Memo; }
};

struct KeyDef {
    std::string name;                     // e.g. "K_Prefix"
    std::vector<std::string> components;  // field names, ascending
    bool unique = false;
    // Every key is optional: a record whose key fields are all blank (or zero) is left out
    // of the key, so it neither collides in a unique key nor appears in a walk by this key.
};

using Value = std::variant<std::int64_t, std::string>;
using RecordId = std::int64_t;  // where a record lives in its file; 0 = not stored yet

struct Record {
    RecordId id = 0;
    std::vector<Value> values;  // one per field, in field order

    std::int64_t number(std::size_t field) const;
    const std::string& text(std::size_t field) const;
};

struct TableLayout {
    std::string label;   // the file's label, used as the table's name: "Project"
    std::string prefix;  // three-letter field prefix, used in messages: "PRJ"
    std::vector<FieldDef> fields;
    std::vector<KeyDef> keys;

    // Index of a field by name (exact), -1 when there is none.
    int fieldIndex(std::string_view name) const;
    const KeyDef* key(std::string_view name) const;
    // "PRJ:NAME"
    std::string qualifiedName(std::size_t field) const;

    // A record with every field cleared: 0 and "".
    Record blank() const;
    // The record as it will be stored: text fields without trailing spaces.
    Record normalised(const Record& record) const;
    // Checks one value against its field: type, range, width, well-formed UTF-8.
    Status validateField(std::size_t field, const Value& value) const;
    // Checks every field; the first fault is reported.
    Status validate(const Record& record) const;
};

}  // namespace quillet
