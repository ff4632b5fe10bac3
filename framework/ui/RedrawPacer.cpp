#include "framework/ui/RedrawPacer.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace quillet {

namespace {
constexpr qint64 RedrawMs = 33;    // at most about 30 redraws a second
constexpr qint64 DrawShare = 20;   // drawing at most about a twentieth of the time
constexpr qint64 MaxWaitMs = 500;  // one slow redraw does not freeze the picture
}  // namespace

RedrawPacer::RedrawPacer(QWidget* window, std::function<void()> flush)
    : timer_(new QTimer(window)), flush_(std::move(flush)) {
    timer_->setSingleShot(true);
    QObject::connect(timer_, &QTimer::timeout, window, [this] { flushNow(); });
}

void RedrawPacer::request() {
    const qint64 wait = std::clamp<qint64>(lastCycleNs_ * DrawShare / 1000000, RedrawMs, MaxWaitMs);
    if (!sinceFlush_.isValid() || sinceFlush_.elapsed() >= wait) {
        flushNow();
    } else if (!timer_->isActive()) {
        timer_->start(static_cast<int>(wait - sinceFlush_.elapsed()));
    }
}

void RedrawPacer::flushNow() {
    timer_->stop();
    sinceFlush_.restart();
    lastCycleNs_ = drawingNs_;
    QElapsedTimer drawing;
    drawing.start();
    flush_();
    drawingNs_ = drawing.nsecsElapsed();
}

bool RedrawPacer::handle(QEvent* e, const std::function<bool()>& handler) {
    if (e->type() != QEvent::UpdateRequest) return handler();
    QElapsedTimer drawing;
    drawing.start();
    const bool handled = handler();
    drawingNs_ += drawing.nsecsElapsed();
    return handled;
}

}  // namespace quillet
