#pragma once

#include <string_view>
#include <vector>

#include "catalog/Records.h"
#include "framework/records/RecordDatabase.h"

namespace quillet {

// The catalog's record files: names, protection, layouts and keys, and the conversion of
// the record types to and from the engine's records.
namespace catalog {
inline constexpr std::string_view ProjectFile = "Project.tps";
inline constexpr std::string_view CompsFile = "Comps.tps";
inline constexpr std::string_view MasksFile = "Masks.tps";
inline constexpr std::string_view MskThemeFile = "MskTheme.Tps";
// The owner password of the project and component files.
inline constexpr std::string_view OwnerPassword = "harborlinnetquartzfolio";

// File labels (also the tables' names).
inline constexpr std::string_view Project = "Project";
inline constexpr std::string_view Comps = "Comps";
inline constexpr std::string_view Masks = "Masks";
inline constexpr std::string_view MskTheme = "MskTheme";

// Keys.
inline constexpr std::string_view K_SysID = "K_SysID";
inline constexpr std::string_view K_Prefix = "K_Prefix";
inline constexpr std::string_view K_Name = "K_Name";
inline constexpr std::string_view K_Path = "K_Path";
inline constexpr std::string_view K_Exclude = "K_Exclude";
inline constexpr std::string_view K_Mask = "K_Mask";

// A new project keeps this many archives.
inline constexpr std::uint8_t DefaultMaxBackups = 20;
}  // namespace catalog

const TableLayout& projectLayout();
const TableLayout& componentLayout();
const TableLayout& maskLayout();
const TableLayout& maskThemeLayout();

// The four files as the engine opens them: Project.tps first, the others attached.
std::vector<RecordFileSpec> catalogFiles();

// Checks one value entering a field (forms, imports): "PRJ:NAME may hold at most 20
// characters; the value given has 23." The value is taken without trailing spaces.
Status checkField(const TableLayout& layout, std::string_view field, const Value& value);

// Conversions; a record read from a file always fits its type.
Record toRecord(const Project& p);
Record toRecord(const Component& c);
Record toRecord(const Mask& m);
Record toRecord(const MaskTheme& t);
void fromRecord(const Record& r, Project& p);
void fromRecord(const Record& r, Component& c);
void fromRecord(const Record& r, Mask& m);
void fromRecord(const Record& r, MaskTheme& t);

// Every field checked; the first fault is reported.
Status validate(const Project& p);
Status validate(const Component& c);
Status validate(const Mask& m);
Status validate(const MaskTheme& t);

}  // namespace quillet
