#pragma once

#include "IClock.h"

namespace platform {

// The host's date and time in whole seconds.
class QtClock final : public IClock {
  public:
    std::int64_t NowSeconds() const override;
};

}  // namespace platform
