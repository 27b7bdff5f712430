#pragma once

#include <cstdint>
#include <string>

#include "UnitConfig.h"

namespace sim {

// What the gpsunit-sim command line chose.
struct ProgramOptions {
    UnitConfig unit;
    bool pace = false;
    bool paceSleeps = false;
    bool logBrief = false;
    std::int64_t holdBackMs = 0;
    bool anyBaud = false;
    bool help = false;
    std::string logPath;
    std::string linkPath;
    std::int64_t exitAfterMs = -1;
};

}  // namespace sim
