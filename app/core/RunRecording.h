#pragma once

#include <memory>
#include <string>

#include "IRunObserver.h"
#include "RunRecorder.h"
#include "RunTrace.h"

class IHistoryStore;

// What a program keeps of its runs: the support trace and the history row,
// in step. The trace takes every observation; the row takes the run's facts
// with the trace's file in them. The trace starts first, so that the row
// names the file from the run's start (under its "running" name, as a
// program that is killed leaves it), and it ends first, so that the row is
// completed with the name the file keeps. What the history could not keep
// is noted in the trace.
class RunRecording : public IRunObserver {
  public:
    // trace: nullptr for none. The runs go to no history until RecordInto.
    RunRecording(std::string program, std::string programVersion, std::unique_ptr<RunTrace> trace);
    // The history's error sink keeps this one.
    RunRecording(const RunRecording&) = delete;
    RunRecording& operator=(const RunRecording&) = delete;

    // Where the runs are recorded: `store` (it outlives the runs), or
    // nullptr when none could be opened, `why` saying why.
    void RecordInto(IHistoryStore* store, std::string why);
    // A line in the trace about the recording itself (kind "note").
    void Note(const std::string& topic, const std::string& text);

    // Of the last run: its whole row is in the history, else why not.
    bool Recorded() const { return recorder_.Recorded(); }
    const std::string& HistoryError() const { return recorder_.Error(); }
    // The last run's facts as recorded: with its trace file.
    const RunFacts& LastRun() const { return run_; }

    void OnRunStarted(const RunFacts& run) override;
    void OnFactsLearned(const RunFacts& run) override;
    void OnRunEnded(const RunFacts& run) override;
    void OnStateChange(std::int32_t from, std::int32_t to) override;
    void OnMessage(const std::string& text, MessageKind kind) override;
    void OnInfoLine(int line, const std::string& text, const std::string& value) override;
    void OnLamp(int index, int colourCode) override;
    void OnProgress(std::int32_t value, std::int32_t max) override;
    void OnBox(const std::string& text, platform::MsgButtons buttons, platform::MsgIcon icon,
               platform::MsgResult answer) override;
    void OnFrameOut(std::span<const std::uint8_t> frame, std::int32_t code) override;
    void OnFrameIn(std::int32_t commEvent, std::span<const std::uint8_t> bytes) override;

  private:
    // The trace, or an observer that keeps nothing.
    IRunObserver& Traced();
    // The run's facts with the trace's file as it is named now.
    void Take(const RunFacts& run);

    std::string program_;
    std::string programVersion_;
    std::unique_ptr<RunTrace> trace_;
    RunRecorder recorder_;
    RunFacts run_;
};
