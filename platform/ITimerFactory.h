#pragma once

#include <memory>

#include "IWindowTimer.h"

namespace platform {

// Creates the window's timers. Production hands out QTimer-backed timers, tests
// hand out timers of a virtual clock.
class ITimerFactory {
  public:
    virtual ~ITimerFactory() = default;
    // A new timer: disabled, interval 0, no handler.
    virtual std::unique_ptr<IWindowTimer> CreateTimer() = 0;
};

}  // namespace platform
