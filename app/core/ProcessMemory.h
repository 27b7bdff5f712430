#pragma once

#include <cstdint>

// Resident memory of this process, in KiB (0 where the system cannot tell).
std::int64_t PeakResidentKiB();
std::int64_t CurrentResidentKiB();
// The private (anonymous) part of it: what the process allocated, without
// the pages of program and font files it has read, which the system shares
// and can drop.
std::int64_t CurrentPrivateKiB();
