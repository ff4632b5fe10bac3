#pragma once

#include <array>
#include <cstdint>

namespace quillet {

class Settings;

// The five projects backed up most recently, by SYSID, slot 1 (index 0) the most recent;
// 0 is an empty slot. Kept in [LastBacked] "1" to "5".
struct LastBackedList {
    std::array<std::int32_t, 5> entries{};

    // A successful backup of project sysId: unchanged when it is in slot 1 already,
    // otherwise it goes first and the others follow without it, cut to five.
    void record(std::int32_t sysId);

    // Reads the five keys; an empty or unreadable value is 0.
    static LastBackedList load(const Settings& settings);
    // Writes all five keys, empty entries as "0". False when the file could not be written.
    bool save(Settings& settings) const;
};

}  // namespace quillet
