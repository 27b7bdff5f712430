#pragma once

#include <cstdint>

// Resident memory of this process, in KiB (0 where the system cannot tell).
std::int64_t PeakResidentKiB();
std::int64_t CurrentResidentKiB();
