#include "framework/Clock.h"

#include <chrono>

#include "platform/DateCodes.h"

namespace quillet {

DateTime Clock::now() const {
    const std::time_t s = seconds();
    return {localDateOf(s), localTimeOf(s, hundredths())};
}

std::time_t SystemClock::seconds() const {
    return std::time(nullptr);
}

std::int64_t SystemClock::milliseconds() const {
    using namespace std::chrono;
    return duration_cast<std::chrono::milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int SystemClock::hundredths() const {
    using namespace std::chrono;
    const auto ms = duration_cast<std::chrono::milliseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<int>(ms % 1000 / 10);
}

void ManualClock::advanceMilliseconds(std::int64_t ms) {
    if (ms <= 0) return;
    millis_ += ms;
    subSecond_ += ms;
    seconds_ += static_cast<std::time_t>(subSecond_ / 1000);
    subSecond_ %= 1000;
}

}  // namespace quillet
