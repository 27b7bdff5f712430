#pragma once

#include <string>
#include <vector>

#include "HistoryFilter.h"
#include "HistoryRun.h"

// Where the runs are kept. Every call reports failure by its result and
// LastError; nothing throws.
class IHistoryStore {
  public:
    virtual ~IHistoryStore() = default;

    // The row of a run that has just started (its result "running").
    virtual bool Begin(const HistoryRun& run) = 0;
    // The whole row of a run that has ended; also when Begin failed.
    virtual bool Complete(const HistoryRun& run) = 0;
    // Newest first.
    virtual bool List(const HistoryFilter& filter, std::vector<HistoryRun>& runs) = 0;
    // Like List, with only what the day figures need (kind, start, end,
    // result, serial number): a quicker read of a large history.
    virtual bool ListBrief(const HistoryFilter& filter, std::vector<HistoryRun>& runs) = 0;
    virtual std::string LastError() const = 0;
};
