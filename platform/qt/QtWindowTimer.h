#pragma once

#include <functional>
#include <memory>

#include "IWindowTimer.h"

class QTimer;

namespace platform {

// A window timer on a QTimer, with the window timer's rules: an interval of 0
// never fires (a QTimer would fire on every pass of the event loop), enabling
// or writing the interval restarts the count from zero, the expiry runs on
// the thread that owns the timer (the GUI thread) and repeats while enabled.
class QtWindowTimer final : public IWindowTimer {
  public:
    QtWindowTimer();
    ~QtWindowTimer() override;
    QtWindowTimer(const QtWindowTimer&) = delete;
    QtWindowTimer& operator=(const QtWindowTimer&) = delete;

    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override;
    int Interval() const override { return interval_; }
    void SetInterval(int milliseconds) override;
    void SetOnTimer(std::function<void()> handler) override { handler_ = std::move(handler); }

    // Whether the underlying QTimer is counting (enabled with an interval above 0).
    bool Counting() const;

  private:
    void Rearm();
    void Fire();

    QTimer* timer_;
    bool enabled_ = false;
    int interval_ = 0;
    std::function<void()> handler_;
    // Set while the handler runs; tells the destructor to hand the QTimer to
    // the event loop instead of deleting it under its own signal.
    std::shared_ptr<bool> firing_;
};

}  // namespace platform
