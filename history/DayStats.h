#pragma once

#include <string>
#include <vector>

#include "HistoryRun.h"

// One local day of the history: what a shop watches.
struct DayStats {
    std::string day;  // YYYY-MM-DD, local
    int runs = 0;     // every kind
    int units = 0;    // different serial numbers seen
    int successes = 0;
    // failure, timeout and interrupted (a cancelled run is neither)
    int failures = 0;
    int updates = 0;                 // update runs
    int updateFailures = 0;          // update runs that did not succeed nor were cancelled
    double medianUpdateSeconds = 0;  // of the successful updates; 0 when none

    bool operator==(const DayStats&) const = default;
};

// Per day, oldest first, from runs in any order.
std::vector<DayStats> StatsByDay(const std::vector<HistoryRun>& runs);
bool IsFailureResult(const std::string& result);
