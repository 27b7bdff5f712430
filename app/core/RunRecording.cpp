#include "RunRecording.h"

RunRecording::RunRecording(std::string program, std::string programVersion,
                           std::unique_ptr<RunTrace> trace)
    : program_(std::move(program)),
      programVersion_(std::move(programVersion)),
      trace_(std::move(trace)),
      recorder_(nullptr, "the history was not opened", program_, programVersion_) {}

void RunRecording::RecordInto(IHistoryStore* store, std::string why) {
    recorder_ = RunRecorder(store, std::move(why), program_, programVersion_);
    recorder_.SetErrorSink([this](const std::string& reason) { Note("history", reason); });
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
    return trace_ != nullptr ? static_cast<IRunObserver&>(*trace_) : untraced;
}

void RunRecording::OnRunStarted(const RunFacts& run) {
    Traced().OnRunStarted(run);
    Take(run);
    recorder_.OnRunStarted(run_);
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
