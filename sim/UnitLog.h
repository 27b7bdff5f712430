#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "LogEntry.h"

namespace sim {

// The record of everything the simulated unit heard and said. Entries are
// kept in memory (unless told not to, for a long-running program) and handed
// to an optional sink as they happen.
class UnitLog {
  public:
    using Sink = std::function<void(const LogEntry&)>;

    void SetSink(Sink sink) { sink_ = std::move(sink); }
    void SetKeepEntries(bool keep) { keep_ = keep; }

    void Add(LogEntry entry);
    // Host bytes the unit could not use: merged into the previous entry when
    // that is a drop for the same reason, so a noisy line gives one entry
    // per burst rather than one per byte.
    void AddDropped(std::int64_t timeUs, std::span<const std::uint8_t> bytes, int baud,
                    const std::string& reason);

    const std::vector<LogEntry>& Entries() const { return entries_; }
    std::vector<LogEntry> EntriesOf(LogEntry::Kind kind) const;
    void Clear() { entries_.clear(); }

    // One JSON object on one line (no line end).
    // brief: without the frames' bytes (times, kinds, codes and notes only).
    static std::string ToJson(const LogEntry& entry, bool brief = false);

  private:
    std::vector<LogEntry> entries_;
    bool keep_ = true;
    Sink sink_;
    bool lastWasDrop_ = false;
};

}  // namespace sim
