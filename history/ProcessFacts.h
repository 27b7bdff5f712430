#pragma once

#include <cstdint>
#include <string>

// The facts of this process a history row carries, and whether the writer
// of an older row is still there.
namespace ProcessFacts {

std::int64_t CurrentPid();
std::string HostName();
// When the process with this id started, as a mark that two processes
// never share, not even across a restart of the system (which begins the
// ids again); empty when it cannot be told.
std::string StartMark(std::int64_t pid);
// Whether the process that had this id and start mark runs on this host
// now. An id the system does not let us look at counts as alive: its row is
// left alone; so does an empty mark (rows written before marks were kept),
// or one that cannot be read now.
bool IsAlive(std::int64_t pid, const std::string& startMark = {});

}  // namespace ProcessFacts
