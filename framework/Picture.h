#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// Display formats for the program's lists and status lines. They are fixed rather than
// taken from the locale, so lists read the same everywhere and tests can rely on them.

// Short date of a date number (platform/DateCodes.h) as "MM/DD/YYYY", e.g. "03/07/2024";
// "" for 0 (no date) and for numbers that are not dates.
std::string formatDate(std::int32_t dateNumber);

// Time of a time number as hours:minutes on a 12-hour clock with AM or PM, e.g.
// "1:05 PM", "12:00 AM" (midnight), "12:30 PM" (half past noon); "" for 0 (no time) and
// for numbers beyond one day.
std::string formatTime(std::int32_t timeNumber);

// Whole number with thousands separators: "1,234,567", "-1,000", "0".
std::string formatNumber(std::int64_t value);

// Number with a fixed count of decimals, rounded to nearest (halves away from zero):
// formatFixed(12.345, 2) gives "12.35" when the double holds at least 12.345. Never
// shows "-0.00".
std::string formatFixed(double value, int decimals);

// Percentage with two decimals and "%": "45.20%", "-70.00%".
std::string formatRatio(double percent);

}  // namespace quillet
