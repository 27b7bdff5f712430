#include "ProcessFacts.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#endif

namespace ProcessFacts {

std::int64_t CurrentPid() {
#ifdef _WIN32
    return static_cast<std::int64_t>(GetCurrentProcessId());
#else
    return static_cast<std::int64_t>(getpid());
#endif
}

std::string HostName() {
#ifdef _WIN32
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) {
        return {};
    }
    return std::string(name, size);
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
#endif
}

std::string StartMark(std::int64_t pid) {
    if (pid <= 0) {
        return {};
    }
#ifdef _WIN32
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        return {};
    }
    FILETIME created{};
    FILETIME unused[3]{};
    const bool known = GetProcessTimes(process, &created, &unused[0], &unused[1], &unused[2]);
    CloseHandle(process);
    if (!known) {
        return {};
    }
    const unsigned long long ticks =
        (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return "created:" + std::to_string(ticks);
#elif defined(__linux__)
    // The system's boot, and the process's start in clock ticks since it.
    std::ifstream bootFile("/proc/sys/kernel/random/boot_id");
    std::string boot;
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(bootFile, boot) || !std::getline(statFile, stat)) {
        return {};
    }
    // After the name in parentheses (which may hold anything): the state
    // is the third field, the start time the twenty-second.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return {};
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) {
            return boot + ":" + field;
        }
    }
    return {};
#else
    return {};
#endif
}

bool IsAlive(std::int64_t pid, const std::string& startMark) {
    if (pid <= 0) {
        return false;
    }
#ifdef _WIN32
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    if (!running) {
        return false;
    }
#else
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) {
        return false;
    }
#endif
    if (startMark.empty()) {
        return true;
    }
    const std::string now = StartMark(pid);
    return now.empty() || now == startMark;
}

}  // namespace ProcessFacts
