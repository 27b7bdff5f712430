#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Local calendar days and times of UTC milliseconds, as the history shows
// them (stored times are UTC; people read their own clock).
namespace HistoryDays {

// "YYYY-MM-DD" of the local day the moment falls on.
std::string LocalDay(std::int64_t utcMs);
// "YYYY-MM-DD HH:MM:SS" local time.
std::string LocalTime(std::int64_t utcMs);
// "YYYY-MM-DDTHH:MM:SS.mmmZ".
std::string UtcTime(std::int64_t utcMs);
// The first millisecond of a local day given as "YYYY-MM-DD"; nothing for
// any other text.
std::optional<std::int64_t> LocalDayStartMs(const std::string& day);
std::int64_t NowUtcMs();

}  // namespace HistoryDays
