#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// What reading a finished archive's directory back found.
struct ArchiveReadBack {
    bool whole = false;      // it was listed to its end
    bool comment = false;    // it holds the comment item (a backup run writes it last)
    std::int64_t items = 0;  // the items besides the comment item
    std::string why;         // when not whole: the library's reason
};

// Lists the archive at path to its end, completing the library's open batch first.
ArchiveReadBack readBackArchive(const std::string& path);

}  // namespace quillet
