#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "HistoryRun.h"
#include "IRunObserver.h"

class IHistoryStore;

// Keeps every run in the history: a row when the run starts (its result
// "running") and the whole row when it ends. It learns the run from the
// same events the operator sees (the unit's facts from the information
// lines, the failure from the red text, the blocks from the frames) and the
// rest from the program's facts.
//
// Recording never stands in the way of the run: a store that is missing or
// refuses a write only leaves Recorded() false with the reason in Error().
class RunRecorder final : public IRunObserver {
  public:
    struct Facts {
        std::string program;
        std::string programVersion;
        std::function<int()> port;               // the COM number selected now
        std::function<std::string(int)> device;  // the device behind a COM number
        std::function<std::string()> dataFile;   // the data file the run uses
        std::function<std::string()> tracePath;  // the run's trace file
        // Which block goes out: a number that grows by one with each new
        // block of the update and stays for a resend. Without it a resend
        // is told by its bytes, which only works on a line without
        // scrambling.
        std::function<std::int64_t()> blockCursor;
    };

    // store: nullptr when none could be opened, `why` saying why (every run
    // then reports it as its error).
    RunRecorder(IHistoryStore* store, std::string why, Facts facts);

    void OnRunStarted(RunKind kind) override;
    void OnRunEnded(RunKind kind, RunOutcome outcome) override;
    void OnStateChange(std::int32_t from, std::int32_t to) override;
    void OnMessage(const std::string& text, MessageKind kind) override;
    void OnInfoLine(int line, const std::string& text) override;
    void OnFrameOut(std::span<const std::uint8_t> frame, std::int32_t code) override;

    // Ends a run still under way with this result (timeout, interrupted).
    void EndOpenRun(const std::string& result);
    bool RunOpen() const { return open_; }
    // Of the last run: both its rows written, else why not.
    bool Recorded() const { return recorded_; }
    const std::string& Error() const { return error_; }
    const HistoryRun& LastRun() const { return run_; }
    // Told the reason of every failed write (for the trace).
    void SetErrorSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }
    // UTC milliseconds (tests set their own clock).
    void SetClock(std::function<std::int64_t()> nowMs) { nowMs_ = std::move(nowMs); }

    // A new unique run id.
    static std::string NewRunId();
    // The state's name, as the failure stage is recorded.
    static std::string StageName(std::int32_t state);

  private:
    void Finish(const std::string& result);
    void Failed(const std::string& reason);
    void HashDataFile();
    void CountPendingBlock();

    IHistoryStore* store_;
    std::string why_;
    Facts facts_;
    std::function<void(const std::string&)> sink_;
    std::function<std::int64_t()> nowMs_;
    HistoryRun run_;
    bool open_ = false;
    bool recorded_ = false;
    std::string error_;
    std::int32_t state_ = 0;
    std::int32_t failedFrom_ = 0;
    // The block write under way: its head (command and address), and
    // whether it still awaits the acknowledgement the next block or the
    // next stage implies.
    std::string blockHead_;
    bool blockPending_ = false;
    bool transferStarted_ = false;
};
