#include "RunRecorder.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "HistoryDays.h"
#include "IHistoryStore.h"
#include "ProcessFacts.h"
#include "Sha256.h"
#include "WorkState.h"
#include "mduCommonMessage.h"

namespace {

bool IsBlockWrite(std::int32_t code) {
    return code == 49 || code == 50 || code == 51;
}

bool IsTransferState(std::int32_t state) {
    return state == ToInt(WorkState::FlashTransfer) || state == ToInt(WorkState::ParameterTransfer);
}

const char* ResultName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Succeeded:
            return "success";
        case RunOutcome::Cancelled:
            return "cancelled";
        case RunOutcome::Interrupted:
            return "interrupted";
        case RunOutcome::Failed:
        case RunOutcome::None:
            break;
    }
    return "failure";
}

}  // namespace

RunRecorder::RunRecorder(IHistoryStore* store, std::string why, Facts facts)
    : store_(store),
      why_(std::move(why)),
      facts_(std::move(facts)),
      nowMs_(HistoryDays::NowUtcMs) {}

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

std::string RunRecorder::StageName(std::int32_t state) {
    static const std::array<const char*, 22> kNames = {"idle",
                                                       "port scan",
                                                       "connect",
                                                       "data preparation",
                                                       "link mode",
                                                       "attach",
                                                       "transfer set-up",
                                                       "identity",
                                                       "record report",
                                                       "program version",
                                                       "security",
                                                       "data version",
                                                       "erase",
                                                       "flash preparation",
                                                       "flash transfer",
                                                       "parameter preparation",
                                                       "parameter transfer",
                                                       "transfer wrap-up",
                                                       "state 18",
                                                       "state 19",
                                                       "closing command",
                                                       "final check"};
    if (state < 0 || state >= static_cast<std::int32_t>(kNames.size())) {
        return "state " + std::to_string(state);
    }
    return kNames[static_cast<std::size_t>(state)];
}

void RunRecorder::OnRunStarted(RunKind kind) {
    if (open_) {
        EndOpenRun("interrupted");
    }
    run_ = HistoryRun{};
    run_.id = NewRunId();
    run_.kind = RunKindName(kind);
    run_.startMs = nowMs_();
    run_.host = ProcessFacts::HostName();
    run_.pid = ProcessFacts::CurrentPid();
    run_.program = facts_.program;
    run_.programVersion = facts_.programVersion;
    run_.port = facts_.port ? facts_.port() : 0;
    run_.device = facts_.device && run_.port > 0 ? facts_.device(run_.port) : std::string();
    run_.tracePath = facts_.tracePath ? facts_.tracePath() : std::string();
    if (kind == RunKind::Update) {
        run_.fileName = facts_.dataFile ? facts_.dataFile() : std::string();
        std::error_code error;
        const std::filesystem::path absolute =
            std::filesystem::absolute(std::filesystem::path(run_.fileName), error);
        if (!run_.fileName.empty() && !error) {
            run_.fileName = absolute.string();
        }
        HashDataFile();
    }
    open_ = true;
    recorded_ = false;
    state_ = 0;
    failedFrom_ = 0;
    blockHead_.clear();
    blockPending_ = false;
    transferStarted_ = false;
    if (store_ == nullptr) {
        Failed(why_);
        return;
    }
    error_.clear();
    if (!store_->Begin(run_)) {
        Failed("the start of the run was not recorded: " + store_->LastError());
    }
}

void RunRecorder::HashDataFile() {
    std::ifstream in(run_.fileName, std::ios::binary);
    if (!in) {
        return;
    }
    Sha256 digest;
    std::vector<char> buffer(1 << 16);
    std::int64_t size = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = in.gcount();
        if (got <= 0) {
            break;
        }
        digest.Update(
            {reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(got)});
        size += got;
    }
    run_.fileSize = size;
    run_.fileSha256 = Sha256::Hex(digest.Finish());
}

void RunRecorder::OnRunEnded(RunKind /*kind*/, RunOutcome outcome) {
    if (open_) {
        Finish(ResultName(outcome));
    }
}

void RunRecorder::EndOpenRun(const std::string& result) {
    if (open_) {
        Finish(result);
    }
}

void RunRecorder::Finish(const std::string& result) {
    open_ = false;
    if (result == "success") {
        CountPendingBlock();
    }
    run_.endMs = nowMs_();
    run_.result = result;
    if (result != "success" && result != "cancelled") {
        run_.failureStage = StageName(failedFrom_ != 0 ? failedFrom_ : state_);
    } else {
        run_.failureText.clear();
    }
    if (store_ == nullptr) {
        error_ = why_;
        return;
    }
    if (!store_->Complete(run_)) {
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

void RunRecorder::OnStateChange(std::int32_t from, std::int32_t to) {
    if (!open_) {
        return;
    }
    // Leaving a transfer for the next stage: its last block was taken.
    if (IsTransferState(from) && !IsTransferState(to) && to != ToInt(WorkState::Idle)) {
        CountPendingBlock();
    }
    if (to == ToInt(WorkState::Idle) && from != ToInt(WorkState::Idle)) {
        failedFrom_ = from;
    }
    state_ = to;
}

void RunRecorder::OnMessage(const std::string& text, MessageKind kind) {
    if (open_ && kind == MessageKind::Error) {
        run_.failureText = text;
    }
}

void RunRecorder::OnInfoLine(int line, const std::string& text) {
    if (!open_) {
        return;
    }
    const std::string::size_type colon = text.find(':');
    std::string value = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    if (line == mduCommonMessage::InfoLineDataFileVersion) {
        run_.fileDataVersion = value;
        return;
    }
    // The unit as it was before the update: what the final check reads
    // back afterwards is not kept.
    if (transferStarted_ || value.empty()) {
        return;
    }
    switch (line) {
        case mduCommonMessage::InfoLineUnitDataVersion:
            run_.unitDataVersion = value;
            break;
        case mduCommonMessage::InfoLineSerialNumber:
            run_.unitSerial = value;
            break;
        case mduCommonMessage::InfoLineProgramVersion:
            run_.unitProgramVersion = value;
            break;
        case mduCommonMessage::InfoLineRecordReport:
            run_.unitRecordReport = value;
            break;
        default:
            break;
    }
}

void RunRecorder::OnFrameOut(std::span<const std::uint8_t> frame, std::int32_t code) {
    if (!open_ || !IsBlockWrite(code)) {
        return;
    }
    transferStarted_ = true;
    // The same block sent again is a retry; another one means the one
    // before was acknowledged.
    std::string head;
    if (facts_.blockCursor) {
        head = std::to_string(code) + ":" + std::to_string(facts_.blockCursor());
    } else {
        head.assign(frame.begin(), frame.end());
    }
    if (blockPending_ && head == blockHead_) {
        ++run_.retries;
        return;
    }
    CountPendingBlock();
    blockHead_ = head;
    blockPending_ = true;
}

void RunRecorder::CountPendingBlock() {
    if (blockPending_) {
        ++run_.blocksWritten;
        blockPending_ = false;
    }
}
