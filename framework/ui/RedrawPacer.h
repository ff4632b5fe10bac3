#pragma once

#include <QElapsedTimer>
#include <QtGlobal>
#include <functional>

class QEvent;
class QTimer;
class QWidget;

namespace quillet {

// When a run window draws what its run changed. However fast the run steps, its window
// redraws at most about 30 times a second, and where drawing is slow (a busy machine, a
// long list) less often still, so that drawing takes at most about a twentieth of the
// time: a redraw of every item would cost more than the item itself. What a redraw costs
// is the window's own drawing of the changes (some widgets redraw at once when given a
// new value) together with the redraws that follow it.
class RedrawPacer {
public:
    // flush draws what waits; the pacer calls it from its timer or from request().
    RedrawPacer(QWidget* window, std::function<void()> flush);
    RedrawPacer(const RedrawPacer&) = delete;
    RedrawPacer& operator=(const RedrawPacer&) = delete;

    // Something waits: drawn now if the last redraw is old enough, else when it is.
    void request();
    // Draws what waits now, whatever the time.
    void flushNow();
    // The window's handling of one event, timed when it is a redraw (QEvent::UpdateRequest).
    bool handle(QEvent* e, const std::function<bool()>& handler);

private:
    QTimer* timer_;
    std::function<void()> flush_;
    QElapsedTimer sinceFlush_;
    qint64 drawingNs_ = 0;    // what the drawing since the last flush has cost so far
    qint64 lastCycleNs_ = 0;  // ... and what it cost between the two flushes before
};

}  // namespace quillet
