#pragma once

#include <string>

#include "HistoryRun.h"
#include "IRunObserver.h"

class HistoryWriter;

// Keeps every run in the history: a row when the run starts (its result
// "running"), the row again as the run learns the unit's facts (so that a
// run whose program is killed keeps what it had read), and the whole row
// when it ends. The row is the run's facts as the sequence hands them over,
// with the program's own name and version, and the process that wrote it.
//
// Recording never stands in the way of the run: the rows are handed to the
// writer, which writes them on its own thread; a writer that is missing or
// a store that refuses a write only leaves Recorded() false with the
// reason in Error().
class RunRecorder final : public IRunObserver {
  public:
    // writer: nullptr when there is no history, `why` saying why (every
    // run then reports it as its error).
    RunRecorder(HistoryWriter* writer, std::string why, std::string program,
                std::string programVersion);

    void OnRunStarted(const RunFacts& run) override;
    void OnFactsLearned(const RunFacts& run) override;
    void OnRunEnded(const RunFacts& run) override;

    // Of the last run: its whole row written, else why not (also while the
    // writer has not written it yet).
    bool Recorded() const;
    std::string Error() const;

    // The history row of a run's facts (the id, host, process and program
    // are the recorder's).
    static void FillRow(const RunFacts& run, HistoryRun& row);
    // A new unique run id.
    static std::string NewRunId();

  private:
    HistoryWriter* writer_;
    std::string why_;
    std::string program_;
    std::string programVersion_;
    HistoryRun row_;
    bool open_ = false;
    bool ended_ = false;
};
