// States 5 to 12: the single-command stages that identify and prepare the
// unit and erase it, as rows of one table, and the transfer set-up (6)
// between the first two of them.

#include <optional>
#include <vector>

#include "CommandCode.h"
#include "WorkPageEvent.h"
#include "clsCommandLayer.h"
#include "clsLinkUnit.h"
#include "clsPNV480DnLdData.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfigBase.h"
#include "clsUpdateSequence.h"
#include "mduCommonMessage.h"
#include "mduDeviceChecks.h"
#include "mduGlobalModule.h"

namespace msg = mduCommonMessage;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

constexpr std::int32_t kLampTransferSetUp = 4;

std::string BytesAsText(const std::vector<std::uint8_t>& bytes) {
    return mduGlobalModule::BytesToText(bytes, 0);
}

}  // namespace

// --- States 5 and 7 to 12: single-command stages ------------------------------------------

void clsUpdateSequence::CommandStageState() {
    // The single-command stages: identify and prepare the unit, then erase it.
    static const std::vector<StageRow> kRows = {
        {WorkState::Stage01Attach, msg::LinkSetupText(1), msg::LinkSetupDoneText(1),
         msg::SetupFailureText(1), ToInt(CommandCode::Attach), 3, kAttachBit,
         WorkState::TransferSetUp},
        {WorkState::Stage03Identity, msg::LinkSetupText(3), msg::LinkSetupDoneText(3),
         msg::SetupFailureText(3), ToInt(CommandCode::QID), 5, 0, WorkState::Stage04RecordReport},
        {WorkState::Stage04RecordReport, msg::LinkSetupText(4), msg::LinkSetupDoneText(4),
         msg::SetupFailureText(4), ToInt(CommandCode::STS), 6, 0, WorkState::Stage05ProgramVersion},
        {WorkState::Stage05ProgramVersion, msg::LinkSetupText(5), msg::LinkSetupDoneText(5),
         msg::SetupFailureText(5), ToInt(CommandCode::VPGM), 7, 0, WorkState::Stage06Security},
        {WorkState::Stage06Security, msg::LinkSetupText(6), msg::LinkSetupDoneText(6),
         msg::SetupFailureText(6), ToInt(CommandCode::SSecu1), 8, kAcceptedBit,
         WorkState::Stage07DataVersion},
        {WorkState::Stage07DataVersion, msg::LinkSetupText(7), msg::LinkSetupDoneText(7),
         msg::SetupFailureText(7), ToInt(CommandCode::VMAP), 9, kAcceptedBit, WorkState::Erase},
        {WorkState::Erase, msg::EraseText, msg::EraseDoneText, msg::EraseFailureText(),
         ToInt(CommandCode::FErs), 10, kAcceptedBit, WorkState::FlashPreparation},
    };
    const StageRow* row = FindRow(kRows, workPage_.State);
    if (row == nullptr) {
        return;
    }
    WriteRow(workPage_, *row);
    RunCommandStep(workPage_);
}

void clsUpdateSequence::RunCommandStep(WorkPageRecord& page) {
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return;
    }
    // What this call needs of the record, before a box can let another
    // event refresh it.
    const std::int32_t lamp = page.LampIndex;
    const std::int32_t failState = page.FailState;
    switch (page.Event) {
        case kEventAutoRunning: {
            const bool attach = page.CommandCode == ToInt(CommandCode::Attach);
            if (commands->AutoSendMessageToUnit(page.CommandCode, page.SendData, 0, 0, !attach,
                                                false)) {
                if (page.CommandCode == ToInt(CommandCode::FErs)) {
                    run_.eraseBegun = true;  // from here the unit's old data is gone
                    FactsLearned();
                }
                window_.ShowInfoMessage(page.ProgressText);
                SetLamp(lamp, kLampBusy);
                return;
            }
            ShowError(msg::SendFailedText);
            SetLamp(lamp, kLampFailed);
            EndFailure(failState, ShowPortFault());
            return;
        }
        case kEventReplyReceived:
            CommandStageReply(page);
            return;
        case kEventReplyTimeOut:
            SetLamp(lamp, kLampFailed);
            ReportNoResponse(failState, page.FailText);
            return;
        default:
            return;
    }
}

void clsUpdateSequence::CommandStageReply(WorkPageRecord& page) {
    // What this call needs of the record, before a box can let another
    // event refresh it.
    const std::int32_t lamp = page.LampIndex;
    const std::int32_t failState = page.FailState;
    const std::int32_t nextState = page.NextState;
    const std::string doneText = page.DoneText;
    const CommandReply reply = window_.Commands()->JudgeReply(page.Received, page.RequiredStatus);
    page.Reply = reply.plain;
    // A handler may ask the operator, and may put its own failure text into
    // the record.
    if (reply.Good() && RunReplyHandler(page)) {
        window_.ShowInfoMessage(doneText);
        SetLamp(lamp, kLampDone);
        EnterState(nextState);
        return;
    }
    SetLamp(lamp, kLampFailed);
    ShowError(page.FailText);
    EndFailure(failState, false);
}

bool clsUpdateSequence::RunReplyHandler(WorkPageRecord& page) {
    switch (static_cast<CommandCode>(page.CommandCode)) {
        case CommandCode::QID:
            return OnUnitIDReply();
        case CommandCode::STS:
            return OnRecordReportReply();
        case CommandCode::VPGM:
            return OnProgramVersionReply(page);
        case CommandCode::VMAP:
            return OnMapVersionReply(page);
        default:
            return true;  // Attach, SSecu1 and the erase need only the status
    }
}

bool clsUpdateSequence::OnUnitIDReply() {
    clsCommandLayer* commands = window_.Commands();
    const std::optional<std::string> id =
        mduDeviceChecks::UnitIdFromPayload(commands->CurrentLinkUnit()->UnitResponseData());
    if (!id) {
        return false;  // the stage's own failure text
    }
    clsUnitConfig2& config = commands->UnitConfig2();
    config.SetUnitID(*id);
    run_.serial = mduDeviceChecks::UnitTextForDisplay(config.UnitID());
    window_.SetInfoLine(msg::InfoLineSerialNumber, run_.serial);
    FactsLearned();
    return true;
}

bool clsUpdateSequence::OnRecordReportReply() {
    const std::vector<std::uint8_t> payload =
        window_.Commands()->CurrentLinkUnit()->UnitResponseData();
    if (payload.empty()) {
        window_.SetInfoLine(msg::InfoLineRecordReport, "");
        return false;
    }
    // The report only informs the operator; errors in it do not stop the update.
    run_.recordReport =
        mduDeviceChecks::DecodeRecordReport(mduDeviceChecks::HexByte(payload[0]), false);
    window_.SetInfoLine(msg::InfoLineRecordReport, run_.recordReport);
    FactsLearned();
    return true;
}

bool clsUpdateSequence::OnProgramVersionReply(WorkPageRecord& page) {
    clsCommandLayer* commands = window_.Commands();
    clsUnitConfigBase& base = commands->UnitConfigBase();
    base.SetUnitProgramVersion(BytesAsText(commands->CurrentLinkUnit()->UnitResponseData()));
    const std::string version = base.UnitProgramVersion();
    run_.programVersion = mduDeviceChecks::UnitTextForDisplay(version);
    window_.SetInfoLine(msg::InfoLineProgramVersion, run_.programVersion);
    FactsLearned();
    if (dataFile_ && dataFile_->CheckUnitProgramVersion(version)) {
        return true;
    }
    page.FailText = msg::ProgramVersionNotSuitedText();
    return false;
}

bool clsUpdateSequence::OnMapVersionReply(WorkPageRecord& page) {
    clsCommandLayer* commands = window_.Commands();
    clsUnitConfigBase& base = commands->UnitConfigBase();
    base.SetUnitMapVersion(BytesAsText(commands->CurrentLinkUnit()->UnitResponseData()));
    const std::string version = base.UnitMapVersion();
    run_.dataVersionBefore = mduDeviceChecks::UnitTextForDisplay(version);
    window_.SetInfoLine(msg::InfoLineUnitDataVersion, run_.dataVersionBefore);
    FactsLearned();
    if (!dataFile_) {
        return false;
    }
    const std::optional<int> order =
        mduGlobalModule::CompareVersionText(version, dataFile_->DataFileVersion());
    if (!order) {
        return false;  // a version that cannot be compared fails the stage
    }
    if (*order < 0) {
        return true;  // the file is newer
    }
    if (Box(msg::NotNewerQuestionText(), MsgButtons::OkCancel, MsgIcon::Exclamation) ==
        MsgResult::Ok) {
        return true;
    }
    page.FailText = msg::NotNewerCancelledText();
    pendingOutcome_ = RunOutcome::Skipped;
    return false;
}

// --- State 6: transfer set-up -------------------------------------------------------------

void clsUpdateSequence::TransferSetUpState() {
    if (workPage_.Event != kEventAutoRunning) {
        return;
    }
    workPage_.StartTime = window_.NowSeconds();
    window_.SetProgressMax(dataFile_ ? dataFile_->TotalFlashBlocks() : 0);
    window_.SetProgressValue(0);
    SetLamp(kLampTransferSetUp, kLampDone);
    EnterState(WorkState::Stage03Identity);
}
