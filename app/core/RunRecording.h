#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "IRunObserver.h"
#include "RunRecorder.h"
#include "RunTrace.h"

class HistoryNotes;
class HistoryWriter;

// What a program keeps of its runs: the support trace and the history row,
// in step. The trace takes every observation; the row takes the run's facts
// with the trace's file in them. The trace starts first, so that the row
// names the file from the run's start (under its "running" name, as a
// program that is killed leaves it), and it ends first, so that the row is
// completed with the name the file keeps.
//
// The rows are written by the history's own threads (HistoryWriter): the
// program's thread never waits for them, except when it asks to
// (Settle). What the history could not keep, those threads post to the
// notes; they are taken into the trace on the program's thread, at the
// next observation.
class RunRecording : public IRunObserver {
  public:
    // trace: nullptr for none. The runs go to no history until RecordInto.
    RunRecording(std::string program, std::string programVersion, std::unique_ptr<RunTrace> trace);

    // Where the runs are recorded: `writer` (it outlives the runs), whose
    // threads post to `notes`; or nullptr when there is no history, `why`
    // saying why.
    void RecordInto(HistoryWriter* writer, std::shared_ptr<HistoryNotes> notes, std::string why);
    // Something wrong with how the history was chosen that leaves the runs
    // recorded (a server URL that is not one): said in each run's trace and
    // as its history error when there is no other.
    void SetRemark(std::string topic, std::string text);
    // The next runs' trace in place of the last one's (nullptr: none); given
    // between runs.
    void TraceTo(std::unique_ptr<RunTrace> trace) { trace_ = std::move(trace); }
    // A line in the trace about the recording itself (kind "note").
    void Note(const std::string& topic, const std::string& text);

    // Whether the last run's row is written, or refused: nothing waits.
    bool Settled() const;
    // Waits at most `bound` for it; false when the time ran out.
    bool Settle(std::chrono::milliseconds bound);
    // Of the last run: its whole row is in the history, else why not.
    bool Recorded() const { return recorder_.Recorded(); }
    std::string HistoryError() const;
    // Why the last run's trace is not whole; empty when it is.
    std::string TraceError() const;
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
    // The trace (with the notes taken in), or an observer that keeps nothing.
    IRunObserver& Traced();
    void TakeNotes();
    // The run's facts with the trace's file as it is named now.
    void Take(const RunFacts& run);

    std::string program_;
    std::string programVersion_;
    std::unique_ptr<RunTrace> trace_;
    HistoryWriter* writer_ = nullptr;
    std::shared_ptr<HistoryNotes> notes_;
    std::string why_ = "the history was not opened";
    std::string remarkTopic_;
    std::string remark_;
    RunRecorder recorder_;
    RunFacts run_;
};
