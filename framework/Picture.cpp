#include "framework/Picture.h"

#include <cmath>
#include <cstdio>

#include "platform/DateCodes.h"

namespace quillet {

namespace {
constexpr std::int32_t kHundredthsPerDay = 8640000;

std::string twoDigits(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}
}  // namespace

std::string formatDate(std::int32_t dateNumber) {
    if (dateNumber <= 0) return {};
    const CivilDate d = civilDate(dateNumber);
    if (d.year <= 0 || d.month < 1 || d.month > 12 || d.day < 1) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d.month, d.day, d.year);
    return buf;
}

std::string formatTime(std::int32_t timeNumber) {
    if (timeNumber <= 0 || timeNumber > kHundredthsPerDay) return {};
    const ClockTime t = clockTime(timeNumber);
    const int twelve = t.hour % 12 == 0 ? 12 : t.hour % 12;
    return std::to_string(twelve) + ":" + twoDigits(t.minute) + (t.hour < 12 ? " AM" : " PM");
}

std::string formatNumber(std::int64_t value) {
    // Work on the magnitude as unsigned so the most negative value has one.
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    if (negative) out += '-';
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string formatFixed(double value, int decimals) {
    if (!std::isfinite(value)) return "0";
    if (decimals < 0) decimals = 0;
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;  // std::round takes halves away from zero
    if (rounded == 0.0) rounded = 0.0;                   // no "-0.00"
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, rounded);
    return buf;
}

std::string formatRatio(double percent) {
    return formatFixed(percent, 2) + "%";
}

}  // namespace quillet
