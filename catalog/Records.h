#pragma once

#include <cstdint>
#include <string>

#include "framework/records/RecordLayout.h"

namespace quillet {

// The record types of the catalog's files. Members carry the field names of the record
// layouts; text is UTF-8 without trailing spaces and its width is counted in characters
// (see CatalogLayouts.h for widths and checks). recordId is not a field: it says where a
// stored record lives, so that a change or delete reaches the record that was read.

// PRJ: one backup project or favourites folder.
struct Project {
    std::int32_t SYSID = 0;       // assigned by auto-numbering, never changed
    std::uint8_t FAVORITES = 0;   // 0 = project, 1 = favourites folder
    std::string NAME;             // 20
    std::string PREFIX;           // 4, unique when not blank
    std::string DESTINATIONPATH;  // 150, kept with its trailing '/'
    std::uint8_t MAXBACKUPS = 0;  // a primed record starts at 20
    std::string NOTES;            // memo, 1000
    RecordId recordId = 0;
};

// COM: one folder-and-mask rule of a project.
struct Component {
    std::int32_t PROSYSID = 0;  // SYSID of the owning project
    std::string PATH;           // 100
    std::string MASK;           // 500, comma-separated masks
    std::uint8_t EXCLUDE = 0;   // 1 = matches are removed from the backup
    std::uint8_t RECURSE = 0;   // 1 = subfolders too
    RecordId recordId = 0;
};

// MSK: one entry of the mask pick list.
struct Mask {
    std::string MASK;  // 20
    RecordId recordId = 0;
};

// MTH: a named set of component settings.
struct MaskTheme {
    std::int32_t SYSID = 0;  // assigned by auto-numbering
    std::string NAME;        // 60, unique when not blank
    std::string MASK;        // 500
    std::uint8_t EXCLUDE = 0;
    std::uint8_t RECURSE = 0;
    RecordId recordId = 0;
};

}  // namespace quillet
