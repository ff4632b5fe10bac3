#pragma once

#include <cstdint>
#include <ctime>

namespace quillet {

// The program's stored date and time numbers.
// Date: days counted from 28 December 1800, so 1 January 1801 is 4 and 1 January 2000
// is 72687; 0 means no date.
// Time: hundredths of a second since midnight plus one, so midnight is 1 and
// 23:59:59.99 is 8640000; 0 means no time.
struct CivilDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
};

std::int32_t dateNumber(int year, int month, int day);
CivilDate civilDate(std::int32_t dateNumber);  // {0,0,0} for 0 or a negative number

std::int32_t timeNumber(int hour, int minute, int second, int hundredths = 0);

// Local time conversions; a std::time_t of seconds since the epoch.
std::int32_t localDateOf(std::time_t t);
std::int32_t localTimeOf(std::time_t t, int hundredths = 0);
std::time_t toTimeT(std::int32_t dateNumber, std::int32_t timeNumber);  // local time

// The MS-DOS packed date and time words (local time, two-second steps) as used in ZIP
// entries and in the library's item record.
std::int32_t dateNumberFromDos(std::uint16_t dosDate);  // 0 for an invalid word
std::int32_t timeNumberFromDos(std::uint16_t dosTime);
std::uint16_t dosDateOf(std::time_t t);
std::uint16_t dosTimeOf(std::time_t t);

// Today and now, local time.
std::int32_t today();
std::int32_t clockNow();

}  // namespace quillet
