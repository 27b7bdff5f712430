#include "DayStats.h"

#include <algorithm>
#include <map>
#include <set>

#include "HistoryDays.h"

bool IsFailedRun(const HistoryRun& run) {
    const std::string& result = run.result;
    return result == "failure" || result == "timeout" || result == "interrupted" ||
           (result == "cancelled" && run.eraseBegun == 1);
}

std::vector<DayStats> StatsByDay(const std::vector<HistoryRun>& runs) {
    struct Day {
        DayStats stats;
        std::set<std::string> serials;
        std::vector<double> updateSeconds;
    };
    std::map<std::string, Day> days;
    // Local days of the same UTC hour are the same; saves most conversions.
    std::int64_t cachedHour = -1;
    std::string cachedDay;
    for (const HistoryRun& run : runs) {
        const std::int64_t hour = run.startMs / 3'600'000;
        if (hour != cachedHour) {
            cachedHour = hour;
            cachedDay = HistoryDays::LocalDay(run.startMs);
        }
        Day& day = days[cachedDay];
        ++day.stats.runs;
        if (!run.unitSerial.empty()) {
            day.serials.insert(run.unitSerial);
        }
        const bool failed = IsFailedRun(run);
        day.stats.successes += run.result == "success";
        day.stats.failures += failed;
        if (run.kind == "update") {
            ++day.stats.updates;
            day.stats.updateFailures += failed;
            day.stats.updateSuccesses += run.result == "success";
            if (run.result == "success") {
                day.updateSeconds.push_back(run.Seconds());
            }
        }
    }
    std::vector<DayStats> result;
    result.reserve(days.size());
    for (auto& [name, day] : days) {
        day.stats.day = name;
        day.stats.units = static_cast<int>(day.serials.size());
        std::vector<double>& seconds = day.updateSeconds;
        if (!seconds.empty()) {
            std::sort(seconds.begin(), seconds.end());
            const std::size_t mid = seconds.size() / 2;
            day.stats.medianUpdateSeconds =
                seconds.size() % 2 == 1 ? seconds[mid] : (seconds[mid - 1] + seconds[mid]) / 2.0;
        }
        result.push_back(day.stats);
    }
    return result;
}
