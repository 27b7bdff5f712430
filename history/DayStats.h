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
    int failures = 0;                // IsFailedRun's
    int updates = 0;                 // update runs, of every result
    int updateSuccesses = 0;         // update runs that succeeded
    int updateFailures = 0;          // update runs that failed (as `failures` counts)
    double medianUpdateSeconds = 0;  // of the successful updates; 0 when none

    bool operator==(const DayStats&) const = default;
};

// Per day, oldest first, from runs in any order. A run still running, one
// cancelled before the erase began and one skipped (the unit's data was not
// older than the file: nothing was changed) count among the runs and the
// updates, neither among the successes nor the failures.
std::vector<DayStats> StatsByDay(const std::vector<HistoryRun>& runs);
// A run that left its unit without a finished update: failure, timeout,
// interrupted, and cancelled once the erase had begun (the unit's data is
// gone whatever the operator answered; not known: taken as not begun).
bool IsFailedRun(const HistoryRun& run);
