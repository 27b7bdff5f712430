#include "RunFacts.h"

#include <array>

const char* RunOutcomeName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::None:
            return "none";
        case RunOutcome::Succeeded:
            return "success";
        case RunOutcome::Failed:
            return "failure";
        case RunOutcome::Cancelled:
            return "cancelled";
        case RunOutcome::Skipped:
            return "skipped";
        case RunOutcome::TimedOut:
            return "timeout";
        case RunOutcome::Interrupted:
            return "interrupted";
    }
    return "?";
}

const char* RunKindName(RunKind kind) {
    switch (kind) {
        case RunKind::None:
            return "none";
        case RunKind::Scan:
            return "scan";
        case RunKind::ConnectionTest:
            return "test";
        case RunKind::Update:
            return "update";
    }
    return "?";
}

namespace {

struct StageWord {
    RunStage stage;
    const char* word;
};

// In state order: state n of the sequence is row n (states 18 and 19 have
// no stage of their own).
constexpr std::array<StageWord, 22> kStates = {{
    {RunStage::None, "idle"},
    {RunStage::PortScan, "port scan"},
    {RunStage::Connect, "connect"},
    {RunStage::DataPreparation, "data preparation"},
    {RunStage::LinkMode, "link mode"},
    {RunStage::Attach, "attach"},
    {RunStage::TransferSetUp, "transfer set-up"},
    {RunStage::Identity, "identity"},
    {RunStage::RecordReport, "record report"},
    {RunStage::ProgramVersion, "program version"},
    {RunStage::Security, "security"},
    {RunStage::DataVersion, "data version"},
    {RunStage::Erase, "erase"},
    {RunStage::FlashPreparation, "flash preparation"},
    {RunStage::FlashTransfer, "flash transfer"},
    {RunStage::ParameterPreparation, "parameter preparation"},
    {RunStage::ParameterTransfer, "parameter transfer"},
    {RunStage::TransferWrapUp, "transfer wrap-up"},
    {RunStage::None, ""},
    {RunStage::None, ""},
    {RunStage::ClosingCommand, "closing command"},
    {RunStage::FinalCheck, "final check"},
}};

}  // namespace

const char* RunStageName(RunStage stage) {
    if (stage == RunStage::None) {
        return "";
    }
    for (const StageWord& row : kStates) {
        if (row.stage == stage) {
            return row.word;
        }
    }
    return "";
}

RunStage StageOfState(std::int32_t state) {
    if (state < 0 || state >= static_cast<std::int32_t>(kStates.size())) {
        return RunStage::None;
    }
    return kStates[static_cast<std::size_t>(state)].stage;
}
