#pragma once

#include "ITimerFactory.h"

namespace platform {

// Hands out QTimer-backed window timers (QtWindowTimer).
class QtTimerFactory final : public ITimerFactory {
  public:
    std::unique_ptr<IWindowTimer> CreateTimer() override;
};

}  // namespace platform
