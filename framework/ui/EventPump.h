#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace quillet {

// What a run window gives the libraries as their event pump. They offer it at every item
// and every 64 KiB, far more often than input and the Cancel button need: the events
// pending now are let through at most every intervalMs. Only what is pending: the idle
// work timer would keep a time-limited call spinning.
class EventPump {
public:
    explicit EventPump(int intervalMs = 10) : intervalMs_(intervalMs) {}

    void operator()() {
        if (since_.isValid() && since_.elapsed() < intervalMs_) return;
        since_.restart();
        QCoreApplication::processEvents();
    }

private:
    int intervalMs_;
    QElapsedTimer since_;
};

}  // namespace quillet
