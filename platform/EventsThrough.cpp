#include "platform/EventsThrough.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace quillet {

void runLettingEventsThrough(const std::function<void()>& work, const std::function<void()>& pump) {
    if (!pump) {
        work();
        return;
    }
    std::mutex m;
    std::condition_variable finished;
    bool done = false;
    std::thread worker([&] {
        work();
        const std::lock_guard<std::mutex> hold(m);
        done = true;
        finished.notify_one();
    });
    std::unique_lock<std::mutex> hold(m);
    while (!finished.wait_for(hold, std::chrono::milliseconds(10), [&] { return done; })) {
        hold.unlock();
        pump();
        hold.lock();
    }
    hold.unlock();
    worker.join();
}

}  // namespace quillet
