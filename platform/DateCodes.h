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

// 0 for a day that does not exist or lies before 28 December 1800.
std::int32_t dateNumber(int year, int month, int day);
CivilDate civilDate(std::int32_t dateNumber);  // {0,0,0} for 0 or a negative number

std::int32_t timeNumber(int hour, int minute, int second, int hundredths = 0);  // 0 when out of range

// Local time conversions; a std::time_t of seconds since the epoch.
std::int32_t localDateOf(std::time_t t);
std::int32_t localTimeOf(std::time_t t, int hundredths = 0);
// Both at once, with one conversion to local time (a listing does this for every file).
void localDateAndTimeOf(std::time_t t, int hundredths, std::int32_t& date, std::int32_t& time);
// Local time; a time number of 0 is midnight, hundredths are dropped; -1 for no date.
std::time_t toTimeT(std::int32_t dateNumber, std::int32_t timeNumber);

// The MS-DOS packed date and time words (local time, two-second steps) as used in ZIP
// entries and in the library's item record.
std::int32_t dateNumberFromDos(std::uint16_t dosDate);  // 0 for an invalid word
std::int32_t timeNumberFromDos(std::uint16_t dosTime);
std::uint16_t dosDateOf(std::time_t t);
std::uint16_t dosTimeOf(std::time_t t);

// The same words from the stored numbers (years before 1980 give 1 January 1980, the
// first date the word holds; after 2107 the last), and both words back to a time_t.
std::uint16_t dosDateFromNumber(std::int32_t dateNumber);
std::uint16_t dosTimeFromNumber(std::int32_t timeNumber);
std::time_t toTimeTFromDos(std::uint16_t dosDate, std::uint16_t dosTime);  // -1 for an invalid date word

// Parts of a time number; {0,0,0,0} for 0 (no time) or a number out of range.
struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int hundredths = 0;
};
ClockTime clockTime(std::int32_t timeNumber);

// Today and now, local time.
std::int32_t today();
std::int32_t clockNow();

}  // namespace quillet
