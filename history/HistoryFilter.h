#pragma once

#include <string>

// Which runs a listing shows. Empty or zero fields do not filter.
struct HistoryFilter {
    std::string serial;   // the unit's serial number, or its start (any case)
    std::string result;   // a stored result; "failure": IsFailedRun's runs
    std::string fromDay;  // first local day, YYYY-MM-DD
    std::string toDay;    // last local day, YYYY-MM-DD (included)
    int port = 0;         // COM number
    int limit = 0;        // newest first, at most this many (0: all)
};
