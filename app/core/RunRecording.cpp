#include "RunRecording.h"

#include "HistoryNotes.h"
#include "HistoryWriter.h"

RunRecording::RunRecording(std::string program, std::string programVersion,
                           std::unique_ptr<RunTrace> trace)
    : program_(std::move(program)),
      programVersion_(std::move(programVersion)),
      trace_(std::move(trace)),
      recorder_(nullptr, why_, program_, programVersion_) {}

void RunRecording::RecordInto(HistoryWriter* writer, std::shared_ptr<HistoryNotes> notes,
                              std::string why) {
    writer_ = writer;
    notes_ = std::move(notes);
    why_ = std::move(why);
    recorder_ = RunRecorder(writer, why_, program_, programVersion_);
}

void RunRecording::SetRemark(std::string topic, std::string text) {
    remarkTopic_ = std::move(topic);
    remark_ = std::move(text);
}

bool RunRecording::Settled() const {
    return writer_ == nullptr || writer_->Settled();
}

bool RunRecording::Settle(std::chrono::milliseconds bound) {
    const bool settled = writer_ == nullptr || writer_->Settle(bound);
    TakeNotes();
    return settled;
}

std::string RunRecording::HistoryError() const {
    const std::string error = recorder_.Error();
    return error.empty() ? remark_ : error;
}

std::string RunRecording::TraceError() const {
    return trace_ != nullptr ? trace_->Error() : std::string();
}

void RunRecording::TakeNotes() {
    if (notes_ == nullptr || !notes_->Waiting()) {
        return;
    }
    for (const HistoryNotes::Note& note : notes_->Take()) {
        Note(note.topic, note.text);
    }
}

void RunRecording::Note(const std::string& topic, const std::string& text) {
    if (trace_ != nullptr) {
        trace_->Note(topic, text);
    }
}

void RunRecording::Take(const RunFacts& run) {
    run_ = run;
    if (trace_ != nullptr) {
        const std::u8string file = trace_->CurrentFile().u8string();
        run_.traceFile.assign(file.begin(), file.end());
    }
}

IRunObserver& RunRecording::Traced() {
    static IRunObserver untraced;  // takes everything, keeps nothing
    TakeNotes();
    return trace_ != nullptr ? static_cast<IRunObserver&>(*trace_) : untraced;
}

void RunRecording::OnRunStarted(const RunFacts& run) {
    // Notes of the run before end up in its file (one file for every run),
    // before this run's start.
    Traced().OnRunStarted(run);
    Take(run);
    recorder_.OnRunStarted(run_);
    if (writer_ == nullptr) {
        Note("history", why_);
    }
    if (!remark_.empty()) {
        Note(remarkTopic_, remark_);
    }
}

void RunRecording::OnFactsLearned(const RunFacts& run) {
    Take(run);
    recorder_.OnFactsLearned(run_);
}

void RunRecording::OnRunEnded(const RunFacts& run) {
    Traced().OnRunEnded(run);  // its file renamed after the result
    Take(run);
    recorder_.OnRunEnded(run_);
}

// The rest is the trace's alone.

void RunRecording::OnStateChange(std::int32_t from, std::int32_t to) {
    Traced().OnStateChange(from, to);
}

void RunRecording::OnMessage(const std::string& text, MessageKind kind) {
    Traced().OnMessage(text, kind);
}

void RunRecording::OnInfoLine(int line, const std::string& text, const std::string& value) {
    Traced().OnInfoLine(line, text, value);
}

void RunRecording::OnLamp(int index, int colourCode) {
    Traced().OnLamp(index, colourCode);
}

void RunRecording::OnProgress(std::int32_t value, std::int32_t max) {
    Traced().OnProgress(value, max);
}

void RunRecording::OnBox(const std::string& text, platform::MsgButtons buttons,
                         platform::MsgIcon icon, platform::MsgResult answer) {
    Traced().OnBox(text, buttons, icon, answer);
}

void RunRecording::OnFrameOut(std::span<const std::uint8_t> frame, std::int32_t code) {
    Traced().OnFrameOut(frame, code);
}

void RunRecording::OnFrameIn(std::int32_t commEvent, std::span<const std::uint8_t> bytes) {
    Traced().OnFrameIn(commEvent, bytes);
}
