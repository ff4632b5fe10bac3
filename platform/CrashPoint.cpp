#include "platform/CrashPoint.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quillet {

std::optional<CrashPoint> crashPointNamed(std::string_view name) {
    for (std::size_t i = 0; i < CrashPointNames.size(); ++i)
        if (CrashPointNames[i] == name) return static_cast<CrashPoint>(i);
    return std::nullopt;
}

namespace {

struct Trigger {
    std::optional<CrashPoint> point;
    long hit = 1;
};

// "<point>[:<n>]"; an unknown name is reported and arms nothing.
Trigger triggerFrom(const char* variable) {
    Trigger t;
    const char* value = std::getenv(variable);
    if (!value || !*value) return t;
    const std::string text(value);
    const auto colon = text.find(':');
    t.point = crashPointNamed(std::string_view(text).substr(0, colon));
    if (colon != std::string::npos) t.hit = std::strtol(text.c_str() + colon + 1, nullptr, 10);
    if (!t.point || t.hit < 1) {
        std::fprintf(stderr, "quillet: %s=%s names no crash point\n", variable, value);
        t.point.reset();
    }
    return t;
}

const Trigger crashAt = triggerFrom("QUILLET_CRASH_AT");
const Trigger pauseAt = triggerFrom("QUILLET_PAUSE_AT");
std::array<long, CrashPointNames.size()> hits{};

void pauseHere(CrashPoint point) {
    const char* fdText = std::getenv("QUILLET_PAUSE_FD");
    if (!fdText) return;
    const int fd = static_cast<int>(std::strtol(fdText, nullptr, 10));
    const std::string line = std::string(CrashPointNames[static_cast<std::size_t>(point)]) + "\n";
    while (::write(fd, line.data(), line.size()) < 0 && errno == EINTR) {
    }
    char byte;
    while (::read(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace

namespace crash_detail {

const bool armed = crashAt.point.has_value() || pauseAt.point.has_value();

void reached(CrashPoint point) {
    const long n = ++hits[static_cast<std::size_t>(point)];
    if (crashAt.point == point && crashAt.hit == n) ::kill(::getpid(), SIGKILL);
    if (pauseAt.point == point && pauseAt.hit == n) pauseHere(point);
}

}  // namespace crash_detail

}  // namespace quillet
