#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/lspclass.h"

namespace quillet {

class Dialogs;

// The search of "Find File in Backup Set" over the item list LSPQ. Rows are positions in
// the list, from 0; a start row below 0 is before the first row.

namespace find_text {
inline constexpr const char* NotFound = "File Not Found";
inline constexpr const char* NotFoundTitle = "Search Failed";
inline constexpr const char* CountSuffix = " Record(s) have been selected.";
inline constexpr const char* CountTitle = "Search Result";
}  // namespace find_text

// A plain substring test on item names, without regard to the case of a-z: no wildcards
// ("*.doc" looks for those five characters). Trailing blanks of the text are ignored.
class ItemNameSearch {
public:
    explicit ItemNameSearch(std::string_view text);
    bool blank() const { return needle_.empty(); }
    bool matches(std::string_view fileName) const;

private:
    std::string needle_;  // upper-cased
};

struct FindRequest {
    std::string text;
    std::int64_t startRow = -1;
    bool all = false;       // "Find &All" rather than "&Find"
    bool deselect = true;   // [FindFile] Deselect: clear every mark first
    bool showCount = true;  // [FindFile] ShowCount: report how many "Find &All" marked
};

// Runs one search and returns the new current row: "&Find" marks the first match after
// the start row, "Find &All" marks every match and ends on the last; the start row when
// nothing matched. A blank text or no match shows "File Not Found" ("Search Failed");
// "Find &All" with showCount reports the count, 0 included.
std::int64_t FindItems(Dialogs& dialogs, std::vector<LSPQEntry>& items, const FindRequest& request);

}  // namespace quillet
