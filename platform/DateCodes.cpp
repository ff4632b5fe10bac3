#include "platform/DateCodes.h"

namespace quillet {

namespace {

// Days between 28 December 1800 and 1 January 1970.
constexpr std::int32_t kEpochDayNumber = 61730;

bool leapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (the well-known era arithmetic).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

CivilDate civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

bool localParts(std::time_t t, std::tm& parts) {
    return ::localtime_r(&t, &parts) != nullptr;
}

}  // namespace

std::int32_t dateNumber(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1 || year < 1800 || year > 999999 || day > daysInMonth(year, month)) return 0;
    const std::int64_t n =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kEpochDayNumber;
    return n < 0 ? 0 : static_cast<std::int32_t>(n);
}

CivilDate civilDate(std::int32_t number) {
    if (number <= 0) return {};
    return civilFromDays(static_cast<std::int64_t>(number) - kEpochDayNumber);
}

std::int32_t timeNumber(int hour, int minute, int second, int hundredths) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || hundredths < 0 ||
        hundredths > 99)
        return 0;
    return ((hour * 60 + minute) * 60 + second) * 100 + hundredths + 1;
}

ClockTime clockTime(std::int32_t number) {
    if (number < 1 || number > 8640000) return {};
    const std::int32_t h = number - 1;
    return {h / 360000, h / 6000 % 60, h / 100 % 60, h % 100};
}

std::int32_t localDateOf(std::time_t t) {
    std::tm parts{};
    if (!localParts(t, parts)) return 0;
    return dateNumber(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

namespace {

std::int32_t timeNumberOf(const std::tm& parts, int hundredths) {
    // A leap second reads as the last second of its minute.
    return timeNumber(parts.tm_hour, parts.tm_min, parts.tm_sec > 59 ? 59 : parts.tm_sec, hundredths);
}

}  // namespace

std::int32_t localTimeOf(std::time_t t, int hundredths) {
    std::tm parts{};
    if (!localParts(t, parts)) return 0;
    return timeNumberOf(parts, hundredths);
}

void localDateAndTimeOf(std::time_t t, int hundredths, std::int32_t& date, std::int32_t& time) {
    std::tm parts{};
    if (!localParts(t, parts)) {
        date = time = 0;
        return;
    }
    date = dateNumber(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    time = timeNumberOf(parts, hundredths);
}

std::time_t toTimeT(std::int32_t date, std::int32_t time) {
    const CivilDate d = civilDate(date);
    if (d.year == 0) return -1;
    const ClockTime c = clockTime(time);
    std::tm parts{};
    parts.tm_year = d.year - 1900;
    parts.tm_mon = d.month - 1;
    parts.tm_mday = d.day;
    parts.tm_hour = c.hour;
    parts.tm_min = c.minute;
    parts.tm_sec = c.second;
    parts.tm_isdst = -1;  // let the zone rules decide
    return std::mktime(&parts);
}

std::int32_t dateNumberFromDos(std::uint16_t dosDate) {
    return dateNumber(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0F, dosDate & 0x1F);
}

std::int32_t timeNumberFromDos(std::uint16_t dosTime) {
    return timeNumber(dosTime >> 11, (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2);
}

std::uint16_t dosDateFromNumber(std::int32_t number) {
    CivilDate d = civilDate(number);
    if (d.year < 1980) d = {1980, 1, 1};
    if (d.year > 2107) d = {2107, 12, 31};
    return static_cast<std::uint16_t>(((d.year - 1980) << 9) | (d.month << 5) | d.day);
}

std::uint16_t dosTimeFromNumber(std::int32_t number) {
    const ClockTime c = clockTime(number);
    return static_cast<std::uint16_t>((c.hour << 11) | (c.minute << 5) | (c.second / 2));
}

std::uint16_t dosDateOf(std::time_t t) {
    return dosDateFromNumber(localDateOf(t));
}

std::uint16_t dosTimeOf(std::time_t t) {
    return dosTimeFromNumber(localTimeOf(t));
}

std::time_t toTimeTFromDos(std::uint16_t dosDate, std::uint16_t dosTime) {
    const std::int32_t date = dateNumberFromDos(dosDate);
    if (date == 0) return -1;
    const std::int32_t time = timeNumberFromDos(dosTime);
    return toTimeT(date, time == 0 ? 1 : time);
}

std::int32_t today() {
    return localDateOf(std::time(nullptr));
}

std::int32_t clockNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return localTimeOf(now.tv_sec, static_cast<int>(now.tv_nsec / 10000000));
}

}  // namespace quillet
