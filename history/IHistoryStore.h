#pragma once

#include <functional>
#include <string>
#include <vector>

#include "DayStats.h"
#include "HistoryFilter.h"
#include "HistoryRun.h"

// Where the runs are kept. Every call reports failure by its result and
// LastError; nothing throws.
class IHistoryStore {
  public:
    virtual ~IHistoryStore() = default;

    // The row of a run that has just started (its result "running").
    virtual bool Begin(const HistoryRun& run) = 0;
    // The row of a run under way with what it has learnt so far (its result
    // still "running"), so that a run whose program dies keeps it; made
    // when Begin failed. Called as the run learns each fact, maybe while a
    // command is on the line: a store writes it where it is quick.
    virtual bool Update(const HistoryRun& run) { return Complete(run); }
    // The whole row of a run that has ended; also when Begin failed.
    virtual bool Complete(const HistoryRun& run) = 0;
    // Newest first, every field: Each's runs gathered.
    virtual bool List(const HistoryFilter& filter, std::vector<HistoryRun>& runs) {
        runs.clear();
        return Each(filter, true, [&runs](const HistoryRun& run) {
            runs.push_back(run);
            return true;
        });
    }
    // The runs one by one, newest first, without holding them all (a
    // listing of a large history); `visit` returns false to stop. Without
    // `allFields` only what a line of the text listing shows is filled in:
    // id, kind, start, end, result, failure text and stage, port, serial
    // number and data file version (a store holding several stations' runs
    // adds the host, which the listing then shows).
    virtual bool Each(const HistoryFilter& filter, bool allFields,
                      const std::function<bool(const HistoryRun&)>& visit) = 0;
    // The figures per local day (StatsByDay's), oldest first.
    virtual bool Days(const HistoryFilter& filter, std::vector<DayStats>& days) = 0;
    virtual std::string LastError() const = 0;
};
