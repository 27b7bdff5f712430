#include "QtTimerFactory.h"

#include "QtWindowTimer.h"

namespace platform {

std::unique_ptr<IWindowTimer> QtTimerFactory::CreateTimer() {
    return std::make_unique<QtWindowTimer>();
}

}  // namespace platform
