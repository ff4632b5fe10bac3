#pragma once

#include <functional>

namespace quillet {

// Runs work on a helper thread while the calling thread calls pump every 10 ms or so, and
// returns once work has returned: a blocking system call (an fsync that takes seconds on a
// busy disk) then leaves a window responsive. work must not touch what pump may change.
// Without pump, work simply runs on the calling thread.
void runLettingEventsThrough(const std::function<void()>& work, const std::function<void()>& pump);

}  // namespace quillet
