#pragma once

#include <cstdint>

namespace platform {

// The current date and time in whole seconds (seconds since 1970-01-01 UTC).
// Only differences between two readings are ever shown to the operator.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual std::int64_t NowSeconds() const = 0;
};

}  // namespace platform
