// States 20 and 21: the closing command, which sends the unit off to check
// its memory, and the final check that polls it until it reports.

#include "CommandCode.h"
#include "WorkPageEvent.h"
#include "clsCommandLayer.h"
#include "clsPNV480DnLdData.h"
#include "clsUnitConfigBase.h"
#include "clsUpdateSequence.h"
#include "mduCommonMessage.h"
#include "mduDeviceChecks.h"

namespace msg = mduCommonMessage;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

constexpr std::int32_t kLampClosing = 18;
constexpr std::int32_t kLampFinalCheck = 19;

}  // namespace

// --- State 20: closing command ---------------------------------------------------------------

void clsUpdateSequence::ClosingCommandState() {
    WorkPageRecord& page = workPage_;
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return;
    }
    switch (page.Event) {
        case kEventAutoRunning:
            window_.ShowInfoMessage(msg::LinkSetupText(16));
            closingTicks_ = kClosingSendTicks;
            if (commands->AutoSendMessageToUnit(CommandCode::RST, page.SendData, 0, 0, true,
                                                false)) {
                SetLamp(kLampClosing, kLampBusy);
            } else {
                closingTicks_ = 0;
                ClosingFailed(true);
            }
            break;
        case kEventSentNoReply:
            closingTicks_ = 0;
            window_.ShowInfoMessage(msg::LinkSetupDoneText(16));
            page.CheckPassed = false;
            page.CheckCountDown = kFinalCheckSeconds;
            window_.SetOneSecTimerEnabled(false);
            SetLamp(kLampClosing, kLampDone);
            EnterState(WorkState::FinalCheck);
            window_.ShowInfoMessage(msg::FinalCheckText);
            break;
        case kEventOneSecond:
            // The request has no time-out of its own: the ticks bound the
            // wait for its send notice (from the send on; a tick may come
            // between the state change and its first event).
            if (closingTicks_ > 0 && --closingTicks_ == 0) {
                // Give up the send under way, so that no late notice can
                // start the check after the run has ended.
                commands->SetCommState(0);
                ClosingFailed(false);
            }
            break;
        case kEventReplyTimeOut:
            SetLamp(kLampClosing, kLampFailed);
            ReportNoResponse(ToInt(WorkState::Idle), msg::ClosingFailureText());
            break;
        default:
            break;
    }
}

void clsUpdateSequence::ClosingFailed(bool portRefused) {
    // From here the unit is erased or half-checked: the operator must learn
    // that the closing step failed, not just see a red lamp.
    SetLamp(kLampClosing, kLampFailed);
    if (portRefused) {
        ShowError(msg::ClosingFailureText());
        if (ShowPortFault()) {
            EnterState(WorkState::Idle);
            return;
        }
    }
    ReportNoResponse(ToInt(WorkState::Idle), msg::ClosingFailureText());
}

// --- State 21: final memory check -------------------------------------------------------------

void clsUpdateSequence::FinalCheckState() {
    WorkPageRecord& page = workPage_;
    if (window_.Commands() == nullptr) {
        return;
    }
    switch (page.Event) {
        case kEventAutoRunning:
            SetLamp(kLampFinalCheck, kLampBusy);
            window_.SetOneSecTimerEnabled(false);
            page.StartTime = window_.NowSeconds();
            page.CheckPassed = false;
            page.CheckCountDown = kFinalCheckSeconds;
            window_.SetOneSecTimerEnabled(true);
            break;
        case kEventOneSecond:
            FinalCheckTick(page);
            break;
        case kEventReplyReceived:
            FinalCheckReply(page);
            break;
        default:
            break;
    }
}

// The final boxes of an update come once idle has been entered: its entry
// stops the ticks, so nothing polls behind them.
void clsUpdateSequence::FinalCheckTick(WorkPageRecord& page) {
    clsCommandLayer& commands = *window_.Commands();
    if (page.CheckPassed) {
        // The unit now holds the file's data: its version, beside the one it
        // had.
        run_.dataVersionAfter = run_.fileDataVersion;
        if (dataFile_) {
            window_.SetInfoLine(
                msg::InfoLineUnitDataVersion,
                msg::UpdatedVersionText(
                    mduDeviceChecks::UnitTextForDisplay(dataFile_->DataFileVersion()),
                    mduDeviceChecks::UnitTextForDisplay(
                        commands.UnitConfigBase().UnitMapVersion())));
        }
        window_.ShowSuccessMessage(msg::UpdateSucceededText);
        SetLamp(kLampFinalCheck, kLampDone);
        pendingOutcome_ = RunOutcome::Succeeded;
        EnterState(WorkState::Idle);
        Box(msg::UpdateDoneBoxText, MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    --page.CheckCountDown;
    if (page.CheckCountDown < 1) {
        FinalCheckTimedOut();
        return;
    }
    const std::int64_t elapsed = window_.NowSeconds() - page.StartTime;
    window_.PutMessageText(std::to_string(elapsed), true, msg::FinalCheckSeparator);
    if (!commands.SendHello(true, false)) {
        // Idle first: its entry stops the ticks, so the port's box below is
        // the only one and nothing polls behind it.
        ShowError(msg::SendFailedText);
        SetLamp(kLampFinalCheck, kLampFailed);
        EnterState(WorkState::Idle);
        if (!ShowPortFault()) {
            Box(msg::DataIncompleteBoxText(), MsgButtons::Ok, MsgIcon::Critical);
        }
    }
}

void clsUpdateSequence::FinalCheckTimedOut() {
    // Another unit's report is no sign of this one's: both are named.
    const bool foreign = !foreignSerial_.empty();
    ShowError(foreign ? msg::ForeignUnitText(mduDeviceChecks::UnitTextForDisplay(greetingSerial_),
                                             mduDeviceChecks::UnitTextForDisplay(foreignSerial_))
                      : msg::FinalNoResponseText());
    SetLamp(kLampFinalCheck, kLampFailed);
    EnterState(WorkState::Idle);
    Box(foreign ? msg::ForeignUnitBoxText : msg::NoResponseBoxText, MsgButtons::Ok,
        MsgIcon::Critical);
}

void clsUpdateSequence::FinalCheckReply(WorkPageRecord& page) {
    // Only an acknowledgement with a readable record report counts; anything
    // else is ignored and the polling goes on.
    const SentenceReply reply = SentenceReply::Read(page.Received);
    if (!reply.Acknowledged() || !reply.HasField(2)) {
        return;
    }
    // The unit greeted with its serial number: a report under another one
    // is another unit's (a unit swapped early, a second one on the line).
    const std::string serial = reply.Field(1);
    if (!greetingSerial_.empty() && !serial.empty() && serial != greetingSerial_) {
        foreignSerial_ = serial;
        return;
    }
    // A report that cannot be read is not a normal one: the unit answered,
    // so waiting on would only end in the no-response text.
    const std::string text = mduDeviceChecks::DecodeRecordReport(reply.Field(2), false);
    if (text == mduDeviceChecks::NormalReportText) {
        page.CheckPassed = true;
        window_.SetInfoLine(msg::InfoLineRecordReport, text);
        return;
    }
    ShowError(msg::CameraMemoryFailureText());
    SetLamp(kLampFinalCheck, kLampFailed);
    EnterState(WorkState::Idle);
    Box(msg::CameraMemoryBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
}
