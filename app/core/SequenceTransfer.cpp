// States 13 to 17: all flash blocks, then all parameter blocks, each
// transfer prepared by the state before it, and the wrap-up. The block link
// (send, resend, the barrier) is clsBlockLink's; here its results become
// texts, lamps, progress and state changes.

#include <optional>
#include <vector>

#include "CommandCode.h"
#include "WorkPageEvent.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsPNV480DnLdData.h"
#include "clsUpdateSequence.h"
#include "mduCommonMessage.h"
#include "mduDisplayText.h"

namespace msg = mduCommonMessage;

namespace {

constexpr std::int32_t kLampFlashPreparation = 11;
constexpr std::int32_t kLampParameterPreparation = 13;
constexpr std::int32_t kLampWrapUpFirst = 15;
constexpr std::int32_t kLampWrapUpSecond = 16;
constexpr std::int32_t kLampWrapUpThird = 17;

}  // namespace

// --- State 13: flash preparation ----------------------------------------------------------

void clsUpdateSequence::FlashPreparationState() {
    if (workPage_.Event != kEventAutoRunning || !dataFile_) {
        return;
    }
    window_.ShowInfoMessage(msg::LinkSetupText(9));
    dataFile_->FlashBlockIndexReset();
    SetLamp(kLampFlashPreparation, kLampDone);
    workPage_.NextState = ToInt(WorkState::FlashTransfer);
    EnterState(WorkState::FlashTransfer);
    window_.ShowInfoMessage(msg::FlashTransferText);
}

// --- States 14 and 16: block transfers --------------------------------------------------------

void clsUpdateSequence::BlockTransferState() {
    // The two block transfers: all flash blocks, then all parameter blocks.
    static const std::vector<StageRow> kRows = {
        {WorkState::FlashTransfer, msg::FlashTransferText, msg::FlashTransferDoneText,
         msg::DataSetupFailureText(10), ToInt(CommandCode::FlashWrite), 12, kAcceptedBit,
         WorkState::ParameterPreparation},
        {WorkState::ParameterTransfer, msg::LinkSetupText(12), msg::LinkSetupDoneText(12),
         msg::DataSetupFailureText(12), ToInt(CommandCode::ParameterWrite), 14, kAcceptedBit,
         WorkState::TransferWrapUp},
    };
    const StageRow* row = FindRow(kRows, workPage_.State);
    if (row == nullptr) {
        return;
    }
    WorkPageRecord& page = workPage_;
    WriteRow(page, *row);
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr || !dataFile_) {
        return;
    }
    switch (page.Event) {
        case kEventAutoRunning: {
            progressDue_ = false;
            flashStartSeconds_ = window_.NowSeconds();
            const BlockKind kind =
                row->state == WorkState::FlashTransfer ? BlockKind::Flash : BlockKind::Parameter;
            ShowBlockLinkStep(page,
                              blockLink_.Start(*commands, *dataFile_, kind, row->requiredStatus));
            break;
        }
        case kEventOneSecond:
            // The displays are brought up to date right after the next block
            // has gone out, while it is on the wire, so that drawing them
            // never holds up a reply; if no block goes out for a whole second
            // (a time-out, a barrier), at the next tick.
            if (progressDue_) {
                ShowTransferProgress(page);
            } else {
                progressDue_ = true;
            }
            break;
        case kEventReplyReceived:
            ShowBlockLinkStep(page, blockLink_.OnReply(page.Received));
            break;
        case kEventReplyTimeOut:
            ShowBlockLinkStep(page, blockLink_.OnTimeOut());
            break;
        default:
            break;
    }
}

void clsUpdateSequence::ShowBlockLinkStep(const WorkPageRecord& page, BlockLinkStep step) {
    if (step.acknowledged) {
        ++run_.blocksWritten;
    }
    if (step.resent) {
        ++run_.resends;
    }
    // Read before a box can let another event refresh the record.
    const std::int32_t lamp = page.LampIndex;
    const std::int32_t failState = page.FailState;
    switch (step.result) {
        case BlockLinkResult::BlockSent:
            SetLamp(lamp, kLampBusy);
            if (progressDue_) {
                ShowTransferProgress(page);
            }
            break;
        case BlockLinkResult::Waiting:
            break;
        case BlockLinkResult::StageDone:
            BlockStageDone(page);
            break;
        case BlockLinkResult::NoReply:
            SetLamp(lamp, kLampFailed);
            ReportNoResponse(failState, page.FailText);
            break;
        case BlockLinkResult::BadReply:
            SetLamp(lamp, kLampFailed);
            ShowError(page.FailText);
            EndFailure(failState, false);
            break;
        case BlockLinkResult::NotSent: {
            // A port that failed (a unit or adapter pulled out) leaves the
            // unit half written: say so, and what to do.
            const bool portFailed = !window_.Commands()->Comm().LastPortFault().empty();
            ShowError(portFailed ? msg::LinkLostText() : std::string(msg::BlockSendFaultText));
            SetLamp(lamp, kLampFailed);
            EndFailure(failState, ShowPortFault());
            break;
        }
    }
}

void clsUpdateSequence::BlockStageDone(const WorkPageRecord& page) {
    // The displays show where the transfer ended, not where the last tick
    // saw it.
    if (page.CommandCode == ToInt(CommandCode::FlashWrite)) {
        const std::int32_t max = window_.ProgressMax();
        window_.SetProgressValue(max);
        window_.SetPercentText(mduDisplayText::PercentText(max, max));
        window_.SetClockText(mduDisplayText::ClockText(window_.NowSeconds() - page.StartTime));
    }
    SetLamp(page.LampIndex, kLampDone);
    window_.ShowInfoMessage(page.DoneText);
    EnterState(page.NextState);
}

void clsUpdateSequence::ShowTransferProgress(const WorkPageRecord& page) {
    progressDue_ = false;
    const bool flash = page.CommandCode == ToInt(CommandCode::FlashWrite);
    const std::int32_t index = dataFile_->FlashBlockIndex();
    const std::int32_t value = index < 0 ? 0 : index;
    const std::int32_t max = window_.ProgressMax();
    // The bar counts flash blocks: during the parameter blocks it stays where
    // the flash blocks left it, all of them written, rather than going back
    // to the index of the last one.
    if (flash) {
        window_.SetProgressValue(value);
        window_.SetPercentText(mduDisplayText::PercentText(value, max));
    }
    const std::string clock = mduDisplayText::ClockText(window_.NowSeconds() - page.StartTime);
    window_.SetClockText(clock);
    const std::string suffix = mduDisplayText::ProgressSuffix(clock, window_.PercentText());
    const std::optional<std::string> remaining =
        flash ? RemainingTimeText(value, max) : std::nullopt;
    if (remaining) {
        window_.PutMessageText(mduDisplayText::ComposeMessageText(*remaining, suffix, true, ":"),
                               false, ":");
    } else {
        window_.PutMessageText(suffix, true, ":");
    }
}

std::optional<std::string> clsUpdateSequence::RemainingTimeText(std::int32_t written,
                                                                std::int32_t total) const {
    const std::int64_t elapsed = window_.NowSeconds() - flashStartSeconds_;
    if (elapsed < kPaceKnownSeconds || written <= 0 || written > total) {
        return std::nullopt;
    }
    const std::int64_t left = static_cast<std::int64_t>(total - written) * elapsed / written;
    return msg::FlashTransferRemainingText(left);
}

// --- State 15: parameter preparation ---------------------------------------------------

void clsUpdateSequence::ParameterPreparationState() {
    if (workPage_.Event != kEventAutoRunning || !dataFile_) {
        return;
    }
    window_.ShowInfoMessage(msg::LinkSetupText(11));
    dataFile_->EEPParameterBlockIndexReset();
    SetLamp(kLampParameterPreparation, kLampDone);
    EnterState(WorkState::ParameterTransfer);
    window_.ShowInfoMessage(msg::LinkSetupText(12));
}

// --- State 17: transfer wrap-up ------------------------------------------------------------

void clsUpdateSequence::TransferWrapUpState() {
    if (workPage_.Event != kEventAutoRunning) {
        return;
    }
    SetLamp(kLampWrapUpSecond, kLampDone);
    SetLamp(kLampWrapUpThird, kLampDone);
    SetLamp(kLampWrapUpFirst, kLampDone);
    EnterState(WorkState::ClosingCommand);
}
