#include "ProcessMemory.h"

#ifdef _WIN32
#include <windows.h>
// psapi.h needs windows.h before it.
#include <psapi.h>
#else
#include <fstream>
#include <string>
#endif

namespace {

#ifndef _WIN32
// A "Vm...:   1234 kB" line of /proc/self/status.
std::int64_t StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            try {
                return std::stoll(line.substr(prefix.size()));
            } catch (const std::exception&) {
                return 0;
            }
        }
    }
    return 0;
}
#endif

}  // namespace

std::int64_t PeakResidentKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        return static_cast<std::int64_t>(counters.PeakWorkingSetSize / 1024);
    }
    return 0;
#else
    return StatusKiB("VmHWM");
#endif
}

std::int64_t CurrentPrivateKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS_EX counters{};
    if (K32GetProcessMemoryInfo(GetCurrentProcess(),
                                reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters)) {
        return static_cast<std::int64_t>(counters.PrivateUsage / 1024);
    }
    return 0;
#else
    return StatusKiB("RssAnon");
#endif
}

std::int64_t CurrentResidentKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        return static_cast<std::int64_t>(counters.WorkingSetSize / 1024);
    }
    return 0;
#else
    return StatusKiB("VmRSS");
#endif
}
