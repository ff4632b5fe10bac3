#pragma once

#include <cstdint>
#include <string>

#include "framework/Services.h"

class QWidget;

namespace quillet {

// Searches the item list of services.archive for searchText (kept by the console between
// calls) from startRow; returns the row of the last match, startRow when nothing matched.
// findAgain runs one find-next without opening the window. Rows are positions in
// services.archive.LSPQ from 0; a startRow of -1 searches from the first item. Matches are
// marked (MARK = 1), so the console repaints its list afterwards.
std::int64_t FindFile(const Services& services, std::string& searchText, std::int64_t startRow, bool findAgain,
                      QWidget* parent = nullptr);

}  // namespace quillet
