#include "framework/records/RecordLayout.h"

#include <limits>

#include "platform/Utf8Text.h"

namespace quillet {

std::int64_t Record::number(std::size_t field) const {
    const auto* n = std::get_if<std::int64_t>(&values.at(field));
    return n ? *n : 0;
}

const std::string& Record::text(std::size_t field) const {
    static const std::string empty;
    const auto* s = std::get_if<std::string>(&values.at(field));
    return s ? *s : empty;
}

int TableLayout::fieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name == name) return static_cast<int>(i);
    return -1;
}

const KeyDef* TableLayout::key(std::string_view name) const {
    for (const auto& k : keys)
        if (k.name == name) return &k;
    return nullptr;
}

std::string TableLayout::qualifiedName(std::size_t field) const {
    return prefix + ":" + fields.at(field).name;
}

Record TableLayout::blank() const {
    Record r;
    for (const auto& f : fields) {
        if (f.holdsText())
            r.values.emplace_back(std::string());
        else
            r.values.emplace_back(std::int64_t{0});
    }
    return r;
}

Record TableLayout::normalised(const Record& record) const {
    Record r = record;
    for (std::size_t i = 0; i < fields.size() && i < r.values.size(); ++i) {
        if (fields[i].type != FieldType::Text) continue;
        if (auto* s = std::get_if<std::string>(&r.values[i])) *s = std::string(trimRight(*s));
    }
    return r;
}

Status TableLayout::validateField(std::size_t field, const Value& value) const {
    const FieldDef& f = fields.at(field);
    const std::string name = qualifiedName(field);
    switch (f.type) {
        case FieldType::Long:
        case FieldType::Byte: {
            const auto* n = std::get_if<std::int64_t>(&value);
            if (!n) return Status::failure(name + " must hold a number.");
            const std::int64_t low = f.type == FieldType::Byte ? 0 : std::numeric_limits<std::int32_t>::min();
            const std::int64_t high = f.type == FieldType::Byte ? 255 : std::numeric_limits<std::int32_t>::max();
            if (*n < low || *n > high)
                return Status::failure(name + " must be a number from " + std::to_string(low) + " to " +
                                       std::to_string(high) + "; " + std::to_string(*n) + " does not fit.");
            return {};
        }
        case FieldType::Text:
        case FieldType::Memo: {
            const auto* s = std::get_if<std::string>(&value);
            if (!s) return Status::failure(name + " must hold text.");
            if (!isValidUtf8(*s)) return Status::failure(name + " holds characters that are not valid UTF-8 text.");
            const std::string_view stored = f.type == FieldType::Text ? trimRight(*s) : std::string_view(*s);
            const std::size_t length = utf8Length(stored);
            if (length > f.width)
                return Status::failure(name + " may hold at most " + std::to_string(f.width) +
                                       " characters; the value given has " + std::to_string(length) + ".");
            return {};
        }
    }
    return {};
}

Status TableLayout::validate(const Record& record) const {
    if (record.values.size() != fields.size())
        return Status::failure("A " + label + " record must have " + std::to_string(fields.size()) + " fields.");
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (Status s = validateField(i, record.values[i]); !s) return s;
    return {};
}

}  // namespace quillet
