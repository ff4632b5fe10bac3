#include <gtest/gtest.h>

#include <limits>

#include "framework/Picture.h"
#include "platform/DateCodes.h"

namespace quillet {
namespace {

TEST(Picture, DatesAreMonthDayYear) {
    EXPECT_EQ(formatDate(dateNumber(2024, 3, 7)), "03/07/2024");
    EXPECT_EQ(formatDate(dateNumber(1999, 12, 31)), "12/31/1999");
    EXPECT_EQ(formatDate(4), "01/01/1801");
    EXPECT_EQ(formatDate(72687), "01/01/2000");
    EXPECT_EQ(formatDate(0), "");  // no date
    EXPECT_EQ(formatDate(-5), "");
}

TEST(Picture, TimesAreTwelveHourWithoutLeadingZero) {
    EXPECT_EQ(formatTime(timeNumber(13, 5, 0)), "1:05 PM");
    EXPECT_EQ(formatTime(1), "12:00 AM");  // midnight
    EXPECT_EQ(formatTime(timeNumber(0, 59, 59, 99)), "12:59 AM");
    EXPECT_EQ(formatTime(timeNumber(11, 59, 59, 99)), "11:59 AM");
    EXPECT_EQ(formatTime(timeNumber(12, 0, 0)), "12:00 PM");  // noon
    EXPECT_EQ(formatTime(timeNumber(12, 30, 0)), "12:30 PM");
    EXPECT_EQ(formatTime(8640000), "11:59 PM");  // the last hundredth of the day
    EXPECT_EQ(formatTime(0), "");                // no time
    EXPECT_EQ(formatTime(8640001), "");
}

TEST(Picture, WholeNumbersGetThousandsSeparators) {
    EXPECT_EQ(formatNumber(0), "0");
    EXPECT_EQ(formatNumber(999), "999");
    EXPECT_EQ(formatNumber(1000), "1,000");
    EXPECT_EQ(formatNumber(1234567), "1,234,567");
    EXPECT_EQ(formatNumber(-1000), "-1,000");
    EXPECT_EQ(formatNumber(-999), "-999");
    EXPECT_EQ(formatNumber(5'000'000'000LL), "5,000,000,000");  // beyond 32 bits
    EXPECT_EQ(formatNumber(std::numeric_limits<std::int64_t>::max()), "9,223,372,036,854,775,807");
    EXPECT_EQ(formatNumber(std::numeric_limits<std::int64_t>::min()), "-9,223,372,036,854,775,808");
}

TEST(Picture, RatiosHaveTwoDecimalsRoundedToNearest) {
    EXPECT_EQ(formatRatio(45.2), "45.20%");
    EXPECT_EQ(formatRatio(-70.0), "-70.00%");
    EXPECT_EQ(formatRatio(0.0), "0.00%");
    EXPECT_EQ(formatRatio(12.346), "12.35%");
    EXPECT_EQ(formatRatio(12.344), "12.34%");
    EXPECT_EQ(formatRatio(-12.346), "-12.35%");
    EXPECT_EQ(formatRatio(0.125), "0.13%");  // an exact half goes away from zero
    EXPECT_EQ(formatRatio(-0.125), "-0.13%");
    EXPECT_EQ(formatRatio(-0.004), "0.00%");  // never "-0.00%"
    EXPECT_EQ(formatRatio(99.999), "100.00%");
    EXPECT_EQ(formatFixed(2.5, 0), "3");
    EXPECT_EQ(formatFixed(12.3456, 2), "12.35");
}

}  // namespace
}  // namespace quillet
