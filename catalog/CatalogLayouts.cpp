#include "catalog/CatalogLayouts.h"

namespace quillet {

namespace {

FieldDef longField(std::string name) {
    return FieldDef{std::move(name), FieldType::Long, 0};
}
FieldDef byteField(std::string name) {
    return FieldDef{std::move(name), FieldType::Byte, 0};
}
FieldDef textField(std::string name, std::size_t width) {
    return FieldDef{std::move(name), FieldType::Text, width};
}
FieldDef memoField(std::string name, std::size_t width) {
    return FieldDef{std::move(name), FieldType::Memo, width};
}

KeyDef key(std::string_view name, std::vector<std::string> components, bool unique) {
    return KeyDef{std::string(name), std::move(components), unique};
}

Value num(std::int64_t n) {
    return Value(n);
}
Value txt(const std::string& s) {
    return Value(s);
}

}  // namespace

const TableLayout& projectLayout() {
    static const TableLayout layout{
        std::string(catalog::Project),
        "PRJ",
        {longField("SYSID"), byteField("FAVORITES"), textField("NAME", 20), textField("PREFIX", 4),
         textField("DESTINATIONPATH", 150), byteField("MAXBACKUPS"), memoField("NOTES", 1000)},
        {key(catalog::K_SysID, {"SYSID"}, true), key(catalog::K_Prefix, {"PREFIX"}, true),
         key(catalog::K_Name, {"NAME"}, false)}};
    return layout;
}

const TableLayout& componentLayout() {
    static const TableLayout layout{
        std::string(catalog::Comps),
        "COM",
        {longField("PROSYSID"), textField("PATH", 100), textField("MASK", 500), byteField("EXCLUDE"),
         byteField("RECURSE")},
        {key(catalog::K_Path, {"PROSYSID", "PATH"}, false), key(catalog::K_Exclude, {"PROSYSID", "EXCLUDE"}, false)}};
    return layout;
}

const TableLayout& maskLayout() {
    static const TableLayout layout{
        std::string(catalog::Masks), "MSK", {textField("MASK", 20)}, {key(catalog::K_Mask, {"MASK"}, false)}};
    return layout;
}

const TableLayout& maskThemeLayout() {
    static const TableLayout layout{
        std::string(catalog::MskTheme),
        "MTH",
        {longField("SYSID"), textField("NAME", 60), textField("MASK", 500), byteField("EXCLUDE"), byteField("RECURSE")},
        {key(catalog::K_SysID, {"SYSID"}, true), key(catalog::K_Name, {"NAME"}, true)}};
    return layout;
}

std::vector<RecordFileSpec> catalogFiles() {
    const std::string password(catalog::OwnerPassword);
    return {RecordFileSpec{std::string(catalog::ProjectFile), password, {projectLayout()}},
            RecordFileSpec{std::string(catalog::CompsFile), password, {componentLayout()}},
            RecordFileSpec{std::string(catalog::MasksFile), "", {maskLayout()}},
            RecordFileSpec{std::string(catalog::MskThemeFile), "", {maskThemeLayout()}}};
}

Status checkField(const TableLayout& layout, std::string_view field, const Value& value) {
    const int i = layout.fieldIndex(field);
    if (i < 0) return Status::failure(layout.prefix + " has no field " + std::string(field) + ".");
    return layout.validateField(static_cast<std::size_t>(i), value);
}

Record toRecord(const Project& p) {
    Record r;
    r.id = p.recordId;
    r.values = {num(p.SYSID),           num(p.FAVORITES),  txt(p.NAME), txt(p.PREFIX),
                txt(p.DESTINATIONPATH), num(p.MAXBACKUPS), txt(p.NOTES)};
    return r;
}

Record toRecord(const Component& c) {
    Record r;
    r.id = c.recordId;
    r.values = {num(c.PROSYSID), txt(c.PATH), txt(c.MASK), num(c.EXCLUDE), num(c.RECURSE)};
    return r;
}

Record toRecord(const Mask& m) {
    Record r;
    r.id = m.recordId;
    r.values = {txt(m.MASK)};
    return r;
}

Record toRecord(const MaskTheme& t) {
    Record r;
    r.id = t.recordId;
    r.values = {num(t.SYSID), txt(t.NAME), txt(t.MASK), num(t.EXCLUDE), num(t.RECURSE)};
    return r;
}

void fromRecord(const Record& r, Project& p) {
    p.recordId = r.id;
    p.SYSID = static_cast<std::int32_t>(r.number(0));
    p.FAVORITES = static_cast<std::uint8_t>(r.number(1));
    p.NAME = r.text(2);
    p.PREFIX = r.text(3);
    p.DESTINATIONPATH = r.text(4);
    p.MAXBACKUPS = static_cast<std::uint8_t>(r.number(5));
    p.NOTES = r.text(6);
}

void fromRecord(const Record& r, Component& c) {
    c.recordId = r.id;
    c.PROSYSID = static_cast<std::int32_t>(r.number(0));
    c.PATH = r.text(1);
    c.MASK = r.text(2);
    c.EXCLUDE = static_cast<std::uint8_t>(r.number(3));
    c.RECURSE = static_cast<std::uint8_t>(r.number(4));
}

void fromRecord(const Record& r, Mask& m) {
    m.recordId = r.id;
    m.MASK = r.text(0);
}

void fromRecord(const Record& r, MaskTheme& t) {
    t.recordId = r.id;
    t.SYSID = static_cast<std::int32_t>(r.number(0));
    t.NAME = r.text(1);
    t.MASK = r.text(2);
    t.EXCLUDE = static_cast<std::uint8_t>(r.number(3));
    t.RECURSE = static_cast<std::uint8_t>(r.number(4));
}

Status validate(const Project& p) {
    return projectLayout().validate(toRecord(p));
}
Status validate(const Component& c) {
    return componentLayout().validate(toRecord(c));
}
Status validate(const Mask& m) {
    return maskLayout().validate(toRecord(m));
}
Status validate(const MaskTheme& t) {
    return maskThemeLayout().validate(toRecord(t));
}

}  // namespace quillet
