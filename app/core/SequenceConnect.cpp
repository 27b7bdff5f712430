// States 0 to 2: idle, where every run begins and ends; the port scan; the
// connection, for a connection test or as an update's first stage.

#include <algorithm>

#include "ISerialControl.h"
#include "WorkPageEvent.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsUpdateSequence.h"
#include "mduCommonMessage.h"
#include "mduDeviceChecks.h"
#include "mduGlobalModule.h"

namespace msg = mduCommonMessage;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

constexpr std::int32_t kLampConnect = 0;

// The run mode in NextState while states 0 to 2 run.
constexpr std::int32_t kModeConnectOnly = 0;
constexpr std::int32_t kModeUpdate = ToInt(WorkState::DataPreparation);

}  // namespace

// --- State 0: idle -------------------------------------------------------------------

void clsUpdateSequence::IdleState() {
    WorkPageRecord& page = workPage_;
    switch (page.Event) {
        case kEventAutoRunning:
            // Entry of idle: every run ends here, so the controls come back.
            window_.SetWorkingBusy(false);
            break;
        case kEventOneSecond:
            window_.SetOneSecTimerEnabled(false);
            break;
        case kEventReplyTimeOut:
            ReportNoResponse(ToInt(WorkState::Idle), "");
            break;
        // A run begins with the press, so what the press shows is part of it.
        case kEventAutoPortScan:
            BeginRun(RunKind::Scan);
            window_.ClearUnitLines();
            window_.ShowInfoMessage(msg::AutoScanText);
            page.RetryCount = 0;
            page.PortIndex = 0;
            window_.SelectCommPort(0);
            page.NextState = kModeConnectOnly;
            EnterState(WorkState::PortScan);
            break;
        case kEventHelloDevice:
            BeginRun(RunKind::ConnectionTest);
            page.RetryCount = 0;
            window_.ClearUnitLines();
            page.NextState = kModeConnectOnly;
            EnterState(WorkState::Connect);
            break;
        case kEventBrowse:
            window_.BrowseDataFile(true);
            break;
        case kEventDownLoadStart:
            BeginRun(RunKind::Update);
            window_.ClearUnitLines();
            window_.PutMessageText("", false, "\r\n");
            SetLamp(-1, kLampIdle);
            page.RetryCount = 0;
            page.NextState = kModeUpdate;
            EnterState(WorkState::Connect);
            break;
        default:
            break;
    }
}

// --- State 1: port scan ----------------------------------------------------------------

void clsUpdateSequence::PortScanState() {
    WorkPageRecord& page = workPage_;
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return;
    }
    switch (page.Event) {
        case kEventAutoRunning:
            if (!commands->SetCommState(1)) {
                NoteUnopenedPort(commands->Comm().LastPortFaultKind());
                ScanNextPort(false);
            } else {
                ++openedPorts_;
                if (!commands->SendHello(false, false)) {
                    ShowError(SendFailureText());
                    EnterState(WorkState::Idle);
                }
            }
            break;
        case kEventReplyReceived:
            PortScanReply();
            break;
        case kEventReplyTimeOut:
            ScanNextPort(true);
            break;
        default:
            break;
    }
}

// A garbled reply is tried again on the same port a few times; a refusal
// moves the scan on; an acknowledgement ends it.
void clsUpdateSequence::PortScanReply() {
    WorkPageRecord& page = workPage_;
    const SentenceReply reply = SentenceReply::Read(page.Received);
    if (reply.verdict == SentenceVerdict::Garbled) {
        ++page.RetryCount;
        if (page.RetryCount < kGarbledRepliesPerPort) {
            // Same port again: the list stays, the timer is re-armed.
            page.PortIndex = NextCommPort(static_cast<std::int16_t>(page.PortIndex - 1));
        } else {
            ScanNextPort(true);
        }
        return;
    }
    if (!reply.Acknowledged()) {
        ScanNextPort(true);
        return;
    }
    LearnPort();  // the port the unit answered on
    const std::string recordPart = ShowConnectionFacts(reply);
    window_.ShowSuccessMessage(msg::ScanConnectedText + recordPart);
    pendingOutcome_ = RunOutcome::Succeeded;
    // Read before the box lets another event refresh the record; the box
    // before the state change, which re-arms the timer.
    const std::int32_t next = page.NextState;
    Box(msg::ScanConnectedBoxText, MsgButtons::Ok, MsgIcon::Information);
    EnterState(next);
}

void clsUpdateSequence::ScanNextPort(bool boxWhenExhausted) {
    WorkPageRecord& page = workPage_;
    page.PortIndex = NextCommPort(page.PortIndex);
    page.RetryCount = 0;
    if (page.PortIndex > kLastPortIndex) {
        ScanExhausted(boxWhenExhausted);
    }
}

std::int16_t clsUpdateSequence::NextCommPort(std::int16_t index) {
    const auto next = static_cast<std::int16_t>(index + 1);
    if (next > kLastPortIndex) {
        return next;
    }
    window_.SelectCommPort(static_cast<std::uint8_t>(next));
    window_.StartAutoRunning();
    return next;
}

void clsUpdateSequence::NoteUnopenedPort(platform::PortFault fault) {
    // A number without a device is normal; any other reason the operator
    // must learn (no permission, another program).
    if (fault == platform::PortFault::NoDevice) {
        return;
    }
    unopenedPorts_.push_back("COM" + std::to_string(workPage_.PortIndex + 1) + " (" +
                             clsComm::PortFaultReason(fault) + ")");
    if (std::find(unopenedFaults_.begin(), unopenedFaults_.end(), fault) == unopenedFaults_.end()) {
        unopenedFaults_.push_back(fault);
    }
}

void clsUpdateSequence::ScanExhausted(bool showBox) {
    // The list shows the operator's port again while the end is read.
    SelectChosenPort();
    // What kept ports from being tried comes first, with what to do.
    std::string cause;
    if (!unopenedPorts_.empty() || openedPorts_ == 0) {
        std::vector<std::string> advice;
        for (const platform::PortFault fault : unopenedFaults_) {
            advice.push_back(clsComm::PortFaultAdvice(fault));
        }
        cause = msg::UnopenedPortsText(unopenedPorts_, advice);
    }
    if (openedPorts_ == 0) {
        // No port could be opened: no unit was asked, so none failed to answer.
        ShowError(cause);
        BeginFailure();  // the box lets events in: they must find the stage ended
        Box(msg::PortsUnopenedBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
        EnterState(WorkState::Idle);
        return;
    }
    if (showBox) {
        BeginFailure();  // the box lets events in: they must find the stage ended
        Box(msg::NoResponseBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
    }
    const std::string noResponse = msg::StandardNoResponseText();
    ReportNoResponse(ToInt(WorkState::Idle),
                     cause.empty() ? noResponse : cause + "\r\n" + noResponse);
}

// --- State 2: connect ----------------------------------------------------------------------

void clsUpdateSequence::ConnectState() {
    if (window_.Commands() == nullptr) {
        return;
    }
    if (workPage_.NextState == kModeUpdate) {
        ConnectForUpdate();
    } else {
        ConnectForTest();
    }
}

// An update's first stage: its lamp shows how the greeting went.
void clsUpdateSequence::ConnectForUpdate() {
    clsCommandLayer& commands = *window_.Commands();
    switch (workPage_.Event) {
        case kEventAutoRunning: {
            // A port its control closed since the last run (the unit was
            // unplugged, perhaps plugged back in) is opened afresh.
            clsComm& comm = commands.Comm();
            if (comm.mMsComm() != nullptr && !comm.mMsComm()->PortOpen()) {
                comm.SetCommuStats(comm.NewCommStats(0, true, true, false));
            }
            if (commands.SendHello(true, false)) {
                SetLamp(kLampConnect, kLampBusy);
                window_.ShowInfoMessage(msg::ConnectingText);
            } else {
                SetLamp(kLampConnect, kLampFailed);
                ShowError(SendFailureText());
                ShowPortFault();  // which port, and why it cannot be used
                EnterState(WorkState::Idle);
            }
            break;
        }
        case kEventReplyReceived:
            if (const std::optional<SentenceReply> reply = GreetingAnswer(true)) {
                greetingSerial_ = reply->Field(1);  // the final check knows the unit by it
                const std::string recordPart = ShowConnectionFacts(*reply);
                SetLamp(kLampConnect, kLampDone);
                window_.ShowInfoMessage(msg::ConnectedText + recordPart);
                window_.ShowInfoMessage(msg::DataPreparingText);
                EnterState(WorkState::DataPreparation);
            }
            break;
        case kEventReplyTimeOut:
            GreetingUnanswered(true);
            break;
        default:
            break;
    }
}

// The connection test: the greeting and its answer, no lamp.
void clsUpdateSequence::ConnectForTest() {
    clsCommandLayer& commands = *window_.Commands();
    switch (workPage_.Event) {
        case kEventAutoRunning: {
            // A connection test starts from a closed port.
            clsComm& comm = commands.Comm();
            comm.SetCommuStats(comm.NewCommStats(0, true, true, false));
            if (commands.SendHello(true, true)) {
                window_.ShowInfoMessage(msg::ConnectingText);
            } else {
                // The driver has shown why the port cannot be used: the
                // message area says it too, instead of a failed send.
                ShowError(SendFailureText());
                EnterState(WorkState::Idle);
            }
            break;
        }
        case kEventReplyReceived:
            if (const std::optional<SentenceReply> reply = GreetingAnswer(false)) {
                const std::string recordPart = ShowConnectionFacts(*reply);
                window_.ShowSuccessMessage(msg::ConnectedText + recordPart);
                pendingOutcome_ = RunOutcome::Succeeded;
                // The box before the state change, which re-arms the timer.
                Box(msg::ConnectedBoxText, MsgButtons::Ok, MsgIcon::Information);
                EnterState(WorkState::Idle);
            }
            break;
        case kEventReplyTimeOut:
            GreetingUnanswered(false);
            break;
        default:
            break;
    }
}

std::optional<SentenceReply> clsUpdateSequence::GreetingAnswer(bool connectLamp) {
    const WorkPageRecord& page = workPage_;
    if (probingLinkMode_) {
        // Any intact frame at the link speed: the unit is in link mode.
        if (page.Received.size() >= 5 && mduGlobalModule::CheckCrc16(page.Received)) {
            LinkModeLeft(connectLamp);
            return std::nullopt;
        }
        probingLinkMode_ = false;
        if (connectLamp) {
            SetLamp(kLampConnect, kLampFailed);
        }
        ReportNoResponse(ToInt(WorkState::Idle), msg::NoResponseText);
        return std::nullopt;
    }
    SentenceReply reply = SentenceReply::Read(page.Received);
    if (reply.verdict == SentenceVerdict::Garbled) {
        ++workPage_.RetryCount;
        if (workPage_.RetryCount < kGarbledRepliesPerPort) {
            window_.StartAutoRunning();  // the hello again, same port
        } else {
            Box(msg::NoResponseBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
            ReportNoResponse(ToInt(WorkState::Idle), msg::StandardNoResponseText());
        }
        return std::nullopt;
    }
    if (!reply.Acknowledged()) {
        if (connectLamp) {
            SetLamp(kLampConnect, kLampFailed);
        }
        ShowError(msg::NoResponseText);
        EnterState(WorkState::Idle);
        return std::nullopt;
    }
    return reply;
}

void clsUpdateSequence::GreetingUnanswered(bool connectLamp) {
    if (!probingLinkMode_ && ProbeLinkMode()) {
        return;
    }
    probingLinkMode_ = false;
    if (connectLamp) {
        SetLamp(kLampConnect, kLampFailed);
    }
    ReportNoResponse(ToInt(WorkState::Idle), msg::NoResponseText);
}

bool clsUpdateSequence::ProbeLinkMode() {
    // A unit whose update was interrupted stays in its binary link mode and
    // ignores the greeting. A record-report request at the link speed is
    // harmless and tells it apart from a unit that is not there.
    clsCommandLayer* commands = window_.Commands();
    if (!commands->SetCommState(2)) {
        return false;
    }
    probingLinkMode_ = commands->AutoSendMessageToUnit(CommandCode::STS, {}, 0, 0, false, false);
    return probingLinkMode_;
}

void clsUpdateSequence::LinkModeLeft(bool connectLamp) {
    probingLinkMode_ = false;
    window_.Commands()->SetCommState(0);
    if (connectLamp) {
        SetLamp(kLampConnect, kLampFailed);
    }
    // Whether its data is gone is known when this program began the erase
    // there; otherwise the text says how to tell.
    const auto last = erasedOnPort_.find(run_.port);
    ShowError(msg::LinkModeLeftText(last != erasedOnPort_.end() && last->second));
    // The box before the state change; events it lets in find the stage ended.
    BeginFailure();
    Box(msg::LinkModeLeftBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
    EnterState(WorkState::Idle);
}

// --- What the unit said of itself ----------------------------------------------------------

void clsUpdateSequence::ShowSerialNumber(const SentenceReply& reply) {
    const std::string serial = reply.Field(1);
    if (!serial.empty()) {
        run_.serial = mduDeviceChecks::UnitTextForDisplay(serial);
        FactsLearned();
    }
    window_.SetInfoLine(msg::InfoLineSerialNumber,
                        serial.empty() ? std::string(msg::UnknownSerialText) : run_.serial);
}

std::string clsUpdateSequence::ShowConnectionFacts(const SentenceReply& reply) {
    std::string recordPart = msg::RecordPart(msg::RecordUnknownText);
    ShowSerialNumber(reply);
    if (reply.HasField(2)) {
        recordPart = mduDeviceChecks::DecodeRecordReport(reply.Field(2), true);
        run_.recordReport = mduDeviceChecks::DecodeRecordReport(reply.Field(2), false);
        window_.SetInfoLine(msg::InfoLineRecordReport, run_.recordReport);
        FactsLearned();
    }
    return recordPart;
}
