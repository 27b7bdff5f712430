#include "HistoryDays.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

std::tm Local(std::int64_t utcMs) {
    const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return local;
}

std::string Format(const std::tm& time, const char* format) {
    char text[64];
    std::strftime(text, sizeof text, format, &time);
    return text;
}

}  // namespace

namespace HistoryDays {

std::string LocalDay(std::int64_t utcMs) {
    return Format(Local(utcMs), "%Y-%m-%d");
}

std::string LocalTime(std::int64_t utcMs) {
    return Format(Local(utcMs), "%Y-%m-%d %H:%M:%S");
}

std::string UtcTime(std::int64_t utcMs) {
    const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03dZ", static_cast<int>(utcMs % 1000));
    return Format(utc, "%Y-%m-%dT%H:%M:%S") + millis;
}

std::optional<std::int64_t> LocalDayStartMs(const std::string& day) {
    int year = 0;
    int month = 0;
    int mday = 0;
    char rest = 0;
    if (day.size() != 10 ||
        std::sscanf(day.c_str(), "%4d-%2d-%2d%c", &year, &month, &mday, &rest) != 3 || month < 1 ||
        month > 12 || mday < 1 || mday > 31) {
        return std::nullopt;
    }
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = mday;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(seconds) * 1000;
}

std::int64_t NowUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace HistoryDays
