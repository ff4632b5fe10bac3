#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/DateCodes.h"

namespace quillet {
namespace {

// Runs the tests of this file in a known zone and puts the old one back.
class DateCodes : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) saved_ = tz, hadZone_ = true;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (hadZone_)
            ::setenv("TZ", saved_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    static void useZone(const char* tz) {
        ::setenv("TZ", tz, 1);
        ::tzset();
    }

private:
    std::string saved_;
    bool hadZone_ = false;
};

TEST_F(DateCodes, DayNumbersOfKnownDates) {
    EXPECT_EQ(dateNumber(1800, 12, 28), 0);  // day 0 itself reads as "no date"
    EXPECT_EQ(dateNumber(1801, 1, 1), 4);
    EXPECT_EQ(dateNumber(2000, 1, 1), 72687);
    EXPECT_EQ(dateNumber(2000, 3, 1) - dateNumber(2000, 2, 28), 2);  // 2000 is a leap year
    EXPECT_EQ(dateNumber(1900, 3, 1) - dateNumber(1900, 2, 28), 1);  // 1900 is not
    EXPECT_EQ(dateNumber(2023, 2, 29), 0);
    EXPECT_EQ(dateNumber(2024, 13, 1), 0);
    EXPECT_EQ(dateNumber(1800, 12, 27), 0);
}

TEST_F(DateCodes, DayNumbersRoundTripOverCenturies) {
    for (std::int32_t n = 1; n < 150000; n += 37) {
        const CivilDate d = civilDate(n);
        ASSERT_EQ(dateNumber(d.year, d.month, d.day), n) << d.year << "-" << d.month << "-" << d.day;
    }
    const CivilDate d = civilDate(72687);
    EXPECT_EQ(d.year, 2000);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(civilDate(0).year, 0);
    EXPECT_EQ(civilDate(-5).year, 0);
}

TEST_F(DateCodes, TimeNumbersAreHundredthsPlusOne) {
    EXPECT_EQ(timeNumber(0, 0, 0), 1);
    EXPECT_EQ(timeNumber(23, 59, 59, 99), 8640000);
    EXPECT_EQ(timeNumber(12, 30, 15, 50), ((12 * 60 + 30) * 60 + 15) * 100 + 50 + 1);
    EXPECT_EQ(timeNumber(24, 0, 0), 0);
    EXPECT_EQ(timeNumber(1, 60, 0), 0);
    EXPECT_EQ(timeNumber(1, 0, 0, 100), 0);
    const ClockTime c = clockTime(timeNumber(7, 8, 9, 10));
    EXPECT_EQ(c.hour, 7);
    EXPECT_EQ(c.minute, 8);
    EXPECT_EQ(c.second, 9);
    EXPECT_EQ(c.hundredths, 10);
    EXPECT_EQ(clockTime(8640001).hour, 0);
}

TEST_F(DateCodes, LocalConversionsRoundTrip) {
    const std::time_t t = 946684800 + 3723;  // 2000-01-01 01:02:03 UTC
    EXPECT_EQ(localDateOf(t), 72687);
    EXPECT_EQ(localTimeOf(t), timeNumber(1, 2, 3));
    EXPECT_EQ(localTimeOf(t, 45), timeNumber(1, 2, 3, 45));
    EXPECT_EQ(toTimeT(72687, timeNumber(1, 2, 3, 45)), t);
    EXPECT_EQ(toTimeT(72687, 0), 946684800);
    EXPECT_EQ(toTimeT(0, 1), -1);

    // A zone with summer time: the numbers are wall-clock time on both sides of the change.
    useZone("Europe/Berlin");
    const std::time_t summer = 1719835200;  // 2024-07-01 12:00:00 UTC = 14:00 in Berlin
    EXPECT_EQ(localTimeOf(summer), timeNumber(14, 0, 0));
    EXPECT_EQ(toTimeT(localDateOf(summer), localTimeOf(summer)), summer);
    const std::time_t winter = 1704110400;  // 2024-01-01 12:00:00 UTC = 13:00 in Berlin
    EXPECT_EQ(localTimeOf(winter), timeNumber(13, 0, 0));
    EXPECT_EQ(toTimeT(localDateOf(winter), localTimeOf(winter)), winter);
}

TEST_F(DateCodes, DosWords) {
    // 2021-06-15 13:45:30 packed by hand: year 41, month 6, day 15; 13h 45m 15 two-second steps.
    const std::uint16_t date = (41 << 9) | (6 << 5) | 15;
    const std::uint16_t time = (13 << 11) | (45 << 5) | 15;
    EXPECT_EQ(dateNumberFromDos(date), dateNumber(2021, 6, 15));
    EXPECT_EQ(timeNumberFromDos(time), timeNumber(13, 45, 30));
    EXPECT_EQ(dosDateFromNumber(dateNumber(2021, 6, 15)), date);
    EXPECT_EQ(dosTimeFromNumber(timeNumber(13, 45, 31, 99)), time);  // odd seconds round down
    EXPECT_EQ(dateNumberFromDos(0), 0);                              // month 0 is no date
    EXPECT_EQ(dosDateFromNumber(dateNumber(1975, 5, 5)), (0 << 9) | (1 << 5) | 1);

    const std::time_t t = 1623764730;  // 2021-06-15 13:45:30 UTC
    EXPECT_EQ(dosDateOf(t), date);
    EXPECT_EQ(dosTimeOf(t), time);
    EXPECT_EQ(toTimeTFromDos(date, time), t);
    EXPECT_EQ(toTimeTFromDos(0, time), -1);
}

TEST_F(DateCodes, TodayAndNowAgreeWithTheClock) {
    const std::time_t before = std::time(nullptr);
    const std::int32_t day = today();
    const std::int32_t now = clockNow();
    EXPECT_GE(day, localDateOf(before));
    EXPECT_LE(day, localDateOf(before) + 1);
    EXPECT_GE(now, 1);
    EXPECT_LE(now, 8640000);
}

}  // namespace
}  // namespace quillet
