#pragma once

#include <functional>

namespace platform {

// A window timer as the window owns it: enabled flag, interval in milliseconds
// and one expiry handler that runs on the GUI thread, repeated every interval
// while the timer stays enabled.
class IWindowTimer {
  public:
    virtual ~IWindowTimer() = default;

    virtual bool Enabled() const = 0;
    // Enabling a stopped timer starts its count from zero; disabling stops it.
    virtual void SetEnabled(bool enabled) = 0;

    virtual int Interval() const = 0;
    // Writing the interval of a running timer restarts its count from zero.
    virtual void SetInterval(int milliseconds) = 0;

    virtual void SetOnTimer(std::function<void()> handler) = 0;
};

}  // namespace platform
