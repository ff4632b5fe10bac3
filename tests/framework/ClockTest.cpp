#include <gtest/gtest.h>

#include "framework/Clock.h"
#include "platform/DateCodes.h"

namespace quillet {
namespace {

TEST(ManualClock, MovesOnlyWhenAdvanced) {
    ManualClock clock(1'000'000);
    EXPECT_EQ(clock.seconds(), 1'000'000);
    clock.advanceMilliseconds(1500);
    EXPECT_EQ(clock.seconds(), 1'000'001);
    EXPECT_EQ(clock.hundredths(), 50);
    clock.advanceMilliseconds(600);  // the half second carries over
    EXPECT_EQ(clock.seconds(), 1'000'002);
    EXPECT_EQ(clock.hundredths(), 10);
    clock.advanceMinutes(2);
    EXPECT_EQ(clock.seconds(), 1'000'122);
    EXPECT_EQ(clock.milliseconds(), 122'100);
    clock.advanceSeconds(-5);  // time does not run backwards
    EXPECT_EQ(clock.seconds(), 1'000'122);
}

TEST(ManualClock, NowIsTheLocalDateAndTimeOfItsSeconds) {
    const std::time_t start = toTimeT(dateNumber(2024, 2, 29), timeNumber(23, 59, 30));
    ManualClock clock(start);
    DateTime t = clock.now();
    EXPECT_EQ(t.date, dateNumber(2024, 2, 29));
    EXPECT_EQ(t.time, timeNumber(23, 59, 30));
    clock.advanceSeconds(45);  // past midnight into March
    t = clock.now();
    EXPECT_EQ(t.date, dateNumber(2024, 3, 1));
    EXPECT_EQ(t.time, timeNumber(0, 0, 15));
}

TEST(SystemClock, AgreesWithTheDateCodes) {
    SystemClock clock;
    const DateTime t = clock.now();
    EXPECT_NEAR(t.date, today(), 1);
    EXPECT_GT(t.time, 0);
    const auto before = clock.milliseconds();
    EXPECT_GE(clock.milliseconds(), before);
}

}  // namespace
}  // namespace quillet
