#pragma once

#include <cstdint>
#include <ctime>

namespace quillet {

// The moment as the program keeps it: a date number and a time number
// (platform/DateCodes.h), local time.
struct DateTime {
    std::int32_t date = 0;
    std::int32_t time = 0;
};

// Where runs, countdowns and reminders get the time, so tests can move it by hand.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since the epoch.
    virtual std::time_t seconds() const = 0;
    // Milliseconds on a steady count, for elapsed times; never goes back.
    virtual std::int64_t milliseconds() const = 0;
    // Hundredths of a second into the current second of seconds().
    virtual int hundredths() const = 0;
    // Local date and time numbers of seconds() and hundredths().
    DateTime now() const;
};

// The real clock.
class SystemClock : public Clock {
public:
    std::time_t seconds() const override;
    std::int64_t milliseconds() const override;
    int hundredths() const override;
};

// A clock that stands still until a test moves it.
class ManualClock : public Clock {
public:
    explicit ManualClock(std::time_t start = 1'700'000'000) : seconds_(start) {}
    std::time_t seconds() const override { return seconds_; }
    std::int64_t milliseconds() const override { return millis_; }
    int hundredths() const override { return static_cast<int>(subSecond_ / 10); }

    void advanceMilliseconds(std::int64_t ms);
    void advanceSeconds(std::int64_t s) { advanceMilliseconds(s * 1000); }
    void advanceMinutes(std::int64_t m) { advanceSeconds(m * 60); }
    // Jumps the wall clock (the steady count is not touched, as with a real clock change).
    void setSeconds(std::time_t s) { seconds_ = s; }

private:
    std::time_t seconds_;
    std::int64_t millis_ = 0;
    std::int64_t subSecond_ = 0;  // milliseconds not yet carried into seconds_
};

}  // namespace quillet
