#pragma once

#include <cstdint>
#include <string>

// The facts of this process a history row carries, and whether the writer
// of an older row is still there.
namespace ProcessFacts {

std::int64_t CurrentPid();
std::string HostName();
// Whether a process with this id runs on this host now. An id the system
// does not let us look at counts as alive: its row is left alone.
bool IsAlive(std::int64_t pid);

}  // namespace ProcessFacts
