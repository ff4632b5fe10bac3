#pragma once

#include "framework/records/RecordDatabase.h"

namespace quillet::test {

// A small pair of record files for the engine's tests: an encrypted one with a unique
// text key, a name key and a two-field key, and a plain one.
inline const char* TestPassword = "correct horse";

inline TableLayout itemLayout() {
    return TableLayout{"Items",
                       "ITM",
                       {{"NUM", FieldType::Long, 0},
                        {"CODE", FieldType::Text, 4},
                        {"NAME", FieldType::Text, 10},
                        {"FLAG", FieldType::Byte, 0},
                        {"NOTE", FieldType::Memo, 30}},
                       {{"K_Num", {"NUM"}, true},
                        {"K_Code", {"CODE"}, true},
                        {"K_Name", {"NAME"}, false},
                        {"K_NumFlag", {"NUM", "FLAG"}, false}}};
}

inline TableLayout tagLayout() {
    return TableLayout{"Tags", "TAG", {{"TAG", FieldType::Text, 8}}, {{"K_Tag", {"TAG"}, false}}};
}

inline std::vector<RecordFileSpec> testFiles(const std::string& password = TestPassword) {
    return {RecordFileSpec{"Items.tps", password, {itemLayout()}}, RecordFileSpec{"Tags.tps", "", {tagLayout()}}};
}

inline Record item(std::int64_t num, std::string code, std::string name, std::int64_t flag = 0, std::string note = "") {
    Record r;
    r.values = {Value(num), Value(std::move(code)), Value(std::move(name)), Value(flag), Value(std::move(note))};
    return r;
}

inline Record tag(std::string t) {
    Record r;
    r.values = {Value(std::move(t))};
    return r;
}

}  // namespace quillet::test
