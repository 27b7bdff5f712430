#include "QtWindowTimer.h"

#include <QTimer>

namespace platform {

QtWindowTimer::QtWindowTimer() : timer_(new QTimer), firing_(std::make_shared<bool>(false)) {
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setSingleShot(false);
    QObject::connect(timer_, &QTimer::timeout, [this] { Fire(); });
}

QtWindowTimer::~QtWindowTimer() {
    timer_->stop();
    QObject::disconnect(timer_, nullptr, nullptr, nullptr);
    if (*firing_) {
        // Destroyed from inside its own expiry handler: the QTimer is still
        // emitting, so it goes when control is back in the event loop.
        timer_->deleteLater();
    } else {
        delete timer_;
    }
}

void QtWindowTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Rearm();
}

void QtWindowTimer::SetInterval(int milliseconds) {
    interval_ = milliseconds;
    Rearm();
}

bool QtWindowTimer::Counting() const {
    return timer_->isActive();
}

void QtWindowTimer::Rearm() {
    timer_->stop();
    if (enabled_ && interval_ > 0) {
        timer_->start(interval_);
    }
}

void QtWindowTimer::Fire() {
    // The flag outlives this object if the handler destroys it.
    std::shared_ptr<bool> firing = firing_;
    *firing = true;
    // A copy, so that a handler that replaces itself keeps running.
    if (auto handler = handler_) {
        handler();
    }
    *firing = false;
}

}  // namespace platform
