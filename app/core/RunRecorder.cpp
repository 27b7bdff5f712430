#include "RunRecorder.h"

#include <cstdio>
#include <random>

#include "HistoryDays.h"
#include "IHistoryStore.h"
#include "ProcessFacts.h"

RunRecorder::RunRecorder(IHistoryStore* store, std::string why, std::string program,
                         std::string programVersion)
    : store_(store),
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
}

void RunRecorder::OnRunStarted(const RunFacts& run) {
    row_ = HistoryRun{};
    row_.id = NewRunId();
    row_.host = ProcessFacts::HostName();
    row_.pid = ProcessFacts::CurrentPid();
    row_.program = program_;
    row_.programVersion = programVersion_;
    FillRow(run, row_);
    open_ = true;
    recorded_ = false;
    if (store_ == nullptr) {
        Failed(why_);
        return;
    }
    error_.clear();
    if (!store_->Begin(row_)) {
        Failed("the start of the run was not recorded: " + store_->LastError());
    }
}

void RunRecorder::OnFactsLearned(const RunFacts& run) {
    if (!open_ || store_ == nullptr) {
        return;
    }
    FillRow(run, row_);
    if (!store_->Update(row_)) {
        Failed("the run's facts were not recorded: " + store_->LastError());
    }
}

void RunRecorder::OnRunEnded(const RunFacts& run) {
    if (!open_) {
        return;
    }
    open_ = false;
    FillRow(run, row_);
    if (store_ == nullptr) {
        error_ = why_;
        return;
    }
    if (!store_->Complete(row_)) {
        Failed("the run was not recorded: " + store_->LastError());
        return;
    }
    // The whole row is in, also when its start could not be written.
    recorded_ = true;
    error_.clear();
}

void RunRecorder::Failed(const std::string& reason) {
    error_ = reason;
    if (sink_) {
        sink_(reason);
    }
}
