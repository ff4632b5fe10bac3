#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// The files of the last backup with their last-write times, kept by the console for the
// reminder, which asks whether any of them has changed since.
struct ChangeWatchEntry {
    std::string FILENAME;
    std::int32_t TIME = 0;  // time of day of the last write, hundredths since midnight plus one
};
using ChangeWatchList = std::vector<ChangeWatchEntry>;

}  // namespace quillet
