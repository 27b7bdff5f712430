#pragma once

#include <functional>
#include <string>

#include "HistoryRun.h"
#include "IRunObserver.h"

class IHistoryStore;

// Keeps every run in the history: a row when the run starts (its result
// "running"), the row again as the run learns the unit's facts (so that a
// run whose program is killed keeps what it had read), and the whole row
// when it ends. The row is the run's facts as the sequence hands them over,
// with the program's own name and version.
//
// Recording never stands in the way of the run: a store that is missing or
// refuses a write only leaves Recorded() false with the reason in Error().
class RunRecorder final : public IRunObserver {
  public:
    // store: nullptr when none could be opened, `why` saying why (every run
    // then reports it as its error).
    RunRecorder(IHistoryStore* store, std::string why, std::string program,
                std::string programVersion);

    void OnRunStarted(const RunFacts& run) override;
    void OnFactsLearned(const RunFacts& run) override;
    void OnRunEnded(const RunFacts& run) override;

    // Of the last run: its whole row written, else why not.
    bool Recorded() const { return recorded_; }
    const std::string& Error() const { return error_; }
    // Told the reason of every failed write (for the trace).
    void SetErrorSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

    // The history row of a run's facts (the id, host, process and program
    // are the recorder's).
    static void FillRow(const RunFacts& run, HistoryRun& row);
    // A new unique run id.
    static std::string NewRunId();

  private:
    void Failed(const std::string& reason);

    IHistoryStore* store_;
    std::string why_;
    std::string program_;
    std::string programVersion_;
    std::function<void(const std::string&)> sink_;
    HistoryRun row_;
    bool open_ = false;
    bool recorded_ = false;
    std::string error_;
};
