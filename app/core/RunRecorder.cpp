#include "RunRecorder.h"

#include <cstdio>
#include <random>

#include "HistoryDays.h"
#include "HistoryWriter.h"
#include "ProcessFacts.h"

RunRecorder::RunRecorder(HistoryWriter* writer, std::string why, std::string program,
                         std::string programVersion)
    : writer_(writer),
      why_(std::move(why)),
      program_(std::move(program)),
      programVersion_(std::move(programVersion)) {}

std::string RunRecorder::NewRunId() {
    static std::mt19937_64 random = [] {
        std::random_device device;
        std::seed_seq seed{device(),
                           device(),
                           device(),
                           device(),
                           static_cast<unsigned>(ProcessFacts::CurrentPid()),
                           static_cast<unsigned>(HistoryDays::NowUtcMs())};
        return std::mt19937_64(seed);
    }();
    char text[40];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(random()),
                  static_cast<unsigned long long>(random()));
    return text;
}

void RunRecorder::FillRow(const RunFacts& run, HistoryRun& row) {
    row.kind = RunKindName(run.kind);
    row.startMs = run.startMs;
    row.endMs = run.endMs;
    row.result = run.outcome == RunOutcome::None ? "running" : RunOutcomeName(run.outcome);
    row.failureText = run.failureText;
    row.failureStage = RunStageName(run.failedStage);
    row.port = run.port;
    row.device = run.device;
    row.unitSerial = run.serial;
    row.unitProgramVersion = run.programVersion;
    row.unitDataVersion = run.dataVersionBefore;
    row.unitRecordReport = run.recordReport;
    row.unitDataVersionAfter = run.dataVersionAfter;
    row.fileName = run.fileName;
    row.fileSize = run.fileSize;
    row.fileSha256 = run.fileSha256;
    row.fileDataVersion = run.fileDataVersion;
    row.blocksWritten = run.blocksWritten;
    row.retries = run.resends;
    row.tracePath = run.traceFile;
    row.eraseBegun = run.eraseBegun ? 1 : 0;
}

void RunRecorder::OnRunStarted(const RunFacts& run) {
    row_ = HistoryRun{};
    row_.id = NewRunId();
    row_.host = ProcessFacts::HostName();
    row_.pid = ProcessFacts::CurrentPid();
    row_.processStart = ProcessFacts::StartMark(row_.pid);
    row_.program = program_;
    row_.programVersion = programVersion_;
    FillRow(run, row_);
    open_ = true;
    ended_ = false;
    if (writer_ != nullptr) {
        writer_->Begin(row_);
    }
}

void RunRecorder::OnFactsLearned(const RunFacts& run) {
    if (!open_ || writer_ == nullptr) {
        return;
    }
    FillRow(run, row_);
    writer_->Update(row_);
}

void RunRecorder::OnRunEnded(const RunFacts& run) {
    if (!open_) {
        return;
    }
    open_ = false;
    ended_ = true;
    FillRow(run, row_);
    if (writer_ != nullptr) {
        writer_->Complete(row_);
    }
}

bool RunRecorder::Recorded() const {
    std::string reason;
    return ended_ && writer_ != nullptr &&
           writer_->EndOf(row_.id, reason) == HistoryWriter::Ending::Written;
}

std::string RunRecorder::Error() const {
    if (!ended_ && !open_) {
        return {};
    }
    if (writer_ == nullptr) {
        return why_;
    }
    std::string reason;
    switch (writer_->EndOf(row_.id, reason)) {
        case HistoryWriter::Ending::Written:
            return {};
        case HistoryWriter::Ending::Refused:
            return reason;
        case HistoryWriter::Ending::Waiting:
            return "the history has not written the run yet (the file is slow or busy)";
        case HistoryWriter::Ending::None:
            break;
    }
    return "the run has not ended";
}
