#include "clsUpdateSequence.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "IRunObserver.h"
#include "ISerialControl.h"
#include "SentenceReply.h"
#include "Sha256.h"
#include "WorkPageEvent.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsLinkUnit.h"
#include "clsPNV480DnLdData.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfigBase.h"
#include "mduCommonMessage.h"
#include "mduDeviceChecks.h"
#include "mduDisplayText.h"
#include "mduGlobalModule.h"

namespace msg = mduCommonMessage;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

constexpr std::int32_t kLampIdle = mduDisplayText::LampIdle;
constexpr std::int32_t kLampBusy = mduDisplayText::LampBusy;
constexpr std::int32_t kLampDone = mduDisplayText::LampDone;
constexpr std::int32_t kLampFailed = mduDisplayText::LampFailed;

// Lamps of the stages that are not table rows.
constexpr std::int32_t kLampConnect = 0;
constexpr std::int32_t kLampDataPreparation = 1;
constexpr std::int32_t kLampLinkMode = 2;
constexpr std::int32_t kLampTransferSetUp = 4;
constexpr std::int32_t kLampFlashPreparation = 11;
constexpr std::int32_t kLampParameterPreparation = 13;
constexpr std::int32_t kLampWrapUpFirst = 15;
constexpr std::int32_t kLampWrapUpSecond = 16;
constexpr std::int32_t kLampWrapUpThird = 17;
constexpr std::int32_t kLampClosing = 18;
constexpr std::int32_t kLampFinalCheck = 19;

// The run mode in NextState while states 0 to 2 run.
constexpr std::int32_t kModeConnectOnly = 0;
constexpr std::int32_t kModeUpdate = ToInt(WorkState::DataPreparation);

// Status bits the stages require of a reply.
constexpr std::int32_t kAttachBit = 0x08;
constexpr std::int32_t kAcceptedBit = 0x02;

// One row of a stage table: what the state writes into the step record
// before it hands the record to the generic stage.
struct StageRow {
    WorkState state;
    std::string progressText;
    std::string doneText;
    std::string failText;
    std::int32_t commandCode;
    std::int32_t lampIndex;
    std::int32_t requiredStatus;
    WorkState nextState;
};

// The single-command stages: identify and prepare the unit, then erase it.
const std::vector<StageRow>& CommandStages() {
    static const std::vector<StageRow> rows = {
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
    return rows;
}

// The two block transfers: all flash blocks, then all parameter blocks.
const std::vector<StageRow>& BlockStages() {
    static const std::vector<StageRow> rows = {
        {WorkState::FlashTransfer, msg::FlashTransferText, msg::FlashTransferDoneText,
         msg::DataSetupFailureText(10), ToInt(CommandCode::FlashWrite), 12, kAcceptedBit,
         WorkState::ParameterPreparation},
        {WorkState::ParameterTransfer, msg::LinkSetupText(12), msg::LinkSetupDoneText(12),
         msg::DataSetupFailureText(12), ToInt(CommandCode::ParameterWrite), 14, kAcceptedBit,
         WorkState::TransferWrapUp},
    };
    return rows;
}

const StageRow* FindRow(const std::vector<StageRow>& rows, std::int32_t state) {
    for (const StageRow& row : rows) {
        if (ToInt(row.state) == state) {
            return &row;
        }
    }
    return nullptr;
}

void WriteRow(WorkPageRecord& page, const StageRow& row) {
    page.ProgressText = row.progressText;
    page.DoneText = row.doneText;
    page.FailText = row.failText;
    page.CommandCode = row.commandCode;
    page.LampIndex = row.lampIndex;
    page.RequiredStatus = row.requiredStatus;
    page.NextState = ToInt(row.nextState);
}

std::string BytesAsText(const std::vector<std::uint8_t>& bytes) {
    return mduGlobalModule::BytesToText(bytes, 0);
}

}  // namespace

// One handler per state number; a state without a handler ignores every
// event.
const std::array<clsUpdateSequence::StateHandler, clsUpdateSequence::kStateCount>
    clsUpdateSequence::kStateHandlers = {
        &clsUpdateSequence::IdleState,                  // 0
        &clsUpdateSequence::PortScanState,              // 1
        &clsUpdateSequence::ConnectState,               // 2
        &clsUpdateSequence::DataPreparationState,       // 3
        &clsUpdateSequence::LinkModeSwitchState,        // 4
        &clsUpdateSequence::CommandStageState,          // 5
        &clsUpdateSequence::TransferSetUpState,         // 6
        &clsUpdateSequence::CommandStageState,          // 7
        &clsUpdateSequence::CommandStageState,          // 8
        &clsUpdateSequence::CommandStageState,          // 9
        &clsUpdateSequence::CommandStageState,          // 10
        &clsUpdateSequence::CommandStageState,          // 11
        &clsUpdateSequence::CommandStageState,          // 12
        &clsUpdateSequence::FlashPreparationState,      // 13
        &clsUpdateSequence::BlockTransferState,         // 14
        &clsUpdateSequence::ParameterPreparationState,  // 15
        &clsUpdateSequence::BlockTransferState,         // 16
        &clsUpdateSequence::TransferWrapUpState,        // 17
        nullptr,                                        // 18
        nullptr,                                        // 19
        &clsUpdateSequence::ClosingCommandState,        // 20
        &clsUpdateSequence::FinalCheckState,            // 21
};

clsUpdateSequence::clsUpdateSequence(IWorkPageWindow& window) : window_(window) {}

clsUpdateSequence::~clsUpdateSequence() = default;

bool clsUpdateSequence::HasState(std::int32_t state) {
    return state >= 0 && state < kStateCount && kStateHandlers[state] != nullptr;
}

void clsUpdateSequence::WorkPageStateMachine(std::int32_t venvWorkingEvent,
                                             std::span<const std::uint8_t> vByteArry) {
    if (failing_ && window_.WorkState() != ToInt(WorkState::Idle)) {
        return;  // a failed stage's box is open: nothing runs behind it
    }
    // Refresh the step record for this call.
    m_WorkPage.Received.assign(vByteArry.begin(), vByteArry.end());
    m_WorkPage.SendData.clear();
    m_WorkPage.Event = venvWorkingEvent;
    m_WorkPage.State = window_.WorkState();
    m_WorkPage.FailState = 0;

    if (!HasState(m_WorkPage.State)) {
        return;
    }
    ++depth_;
    (this->*kStateHandlers[m_WorkPage.State])();
    --depth_;
    // A run is over once the call that ended it has returned, its last box
    // included.
    if (depth_ == 0 && endToReport_) {
        endToReport_ = false;
        if (observer_ != nullptr) {
            observer_->OnRunEnded(run_);
        }
    }
}

// --- Shared operations ---------------------------------------------------------------

void clsUpdateSequence::EnterState(std::int32_t state) {
    failing_ = false;
    if (state == ToInt(WorkState::Idle) && runKind_ != RunKind::None) {
        EndRun(pendingOutcome_);
        endToReport_ = true;
    }
    window_.ChangeWorkState(state);
}

void clsUpdateSequence::AbandonRun(RunOutcome outcome) {
    if (runKind_ == RunKind::None) {
        return;
    }
    EndRun(outcome);
    endToReport_ = false;
    if (observer_ != nullptr) {
        observer_->OnRunEnded(run_);
    }
}

void clsUpdateSequence::EndRun(RunOutcome outcome) {
    // Where it failed: the state it left for idle, or stood in when abandoned.
    if (outcome != RunOutcome::Succeeded && outcome != RunOutcome::Skipped) {
        run_.failedStage = StageOfState(window_.WorkState());
    } else {
        run_.failureText.clear();
    }
    run_.outcome = outcome;
    run_.endMs = wallClockMs_();
    runKind_ = RunKind::None;
}

namespace {

std::int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void clsUpdateSequence::BeginRun(RunKind kind) {
    runKind_ = kind;
    failing_ = false;
    probingLinkMode_ = false;
    unopenedPorts_.clear();
    lateBarrierReplies_ = 0;
    closingTicks_ = 0;
    pendingOutcome_ = RunOutcome::Failed;
    if (!wallClockMs_) {
        wallClockMs_ = SystemUtcMs;
    }
    run_ = RunFacts{};
    run_.kind = kind;
    run_.startMs = wallClockMs_();
    LearnPort();
    if (kind == RunKind::Update) {
        LearnDataFile();
    }
    if (observer_ != nullptr) {
        observer_->OnRunStarted(run_);
    }
}

void clsUpdateSequence::LearnPort() {
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return;
    }
    // The driver's port number: the control takes it only when it opens.
    run_.port = commands->Comm().ComPort();
    const platform::ISerialControl* control = commands->Comm().mMsComm();
    run_.device =
        control != nullptr && run_.port > 0 ? control->DeviceName(run_.port) : std::string();
}

void clsUpdateSequence::LearnDataFile() {
    std::string name = window_.FileNameText();
    const auto first = name.find_first_not_of(' ');
    const auto last = name.find_last_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    if (name.empty()) {
        return;
    }
    const std::filesystem::path path(std::u8string(name.begin(), name.end()));
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::u8string shown = (error ? path : absolute).u8string();
    run_.fileName.assign(shown.begin(), shown.end());
    // Only a plain file: reading a device or a pipe here could wait on it.
    if (!std::filesystem::is_regular_file(path, error)) {
        return;
    }
    std::ifstream in(path, std::ios::binary);
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

void clsUpdateSequence::FactsLearned() {
    if (observer_ != nullptr && runKind_ != RunKind::None) {
        observer_->OnFactsLearned(run_);
    }
}

void clsUpdateSequence::ShowError(const std::string& text) {
    if (runKind_ != RunKind::None) {
        run_.failureText = text;
    }
    window_.ShowErrorMessage(text);
}

void clsUpdateSequence::SetLamp(std::int32_t index, std::int32_t colourCode) {
    window_.SetStatusLamps(index, colourCode);
}

bool clsUpdateSequence::ShowPortFault() {
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return false;
    }
    const std::string fault = commands->Comm().LastPortFault();
    if (fault.empty()) {
        return false;
    }
    BeginFailure();
    Box(fault, MsgButtons::Ok, MsgIcon::Critical);
    return true;
}

MsgResult clsUpdateSequence::Box(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    return window_.ShowMessageBox(text, buttons, icon);
}

void clsUpdateSequence::ReportNoResponse(std::int32_t failState, const std::string& text) {
    ShowError(text.empty() ? msg::StandardNoResponseText() : text);
    BeginFailure();
    Box(msg::TimeOutBoxText, MsgButtons::Ok, MsgIcon::Critical);
    EnterState(failState);
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

void clsUpdateSequence::ScanExhausted(bool showBox) {
    if (showBox) {
        BeginFailure();
        Box(msg::NoResponseBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
    }
    std::string text = msg::StandardNoResponseText();
    if (!unopenedPorts_.empty()) {
        text += "\r\n" + msg::UnopenedPortsLine(unopenedPorts_);
    }
    ReportNoResponse(ToInt(WorkState::Idle), text);
}

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

// --- State 0: idle -------------------------------------------------------------------

void clsUpdateSequence::IdleState() {
    WorkPageRecord& page = m_WorkPage;
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
            window_.SetProgressValue(0);
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
    WorkPageRecord& page = m_WorkPage;
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return;
    }
    // Moves the scan to the next port with a fresh count; past COM16 the
    // scan ends, with the box only when the last port did answer or time out.
    const auto nextPort = [&](bool boxWhenExhausted) {
        page.PortIndex = NextCommPort(page.PortIndex);
        page.RetryCount = 0;
        if (page.PortIndex > kLastPortIndex) {
            ScanExhausted(boxWhenExhausted);
        }
    };
    switch (page.Event) {
        case kEventAutoRunning:
            if (!commands->SetCommState(1)) {
                // A number without a device is normal; any other reason the
                // operator must learn (no permission, another program).
                const platform::PortFault fault = commands->Comm().LastPortFaultKind();
                if (fault != platform::PortFault::NoDevice) {
                    unopenedPorts_.push_back("COM" + std::to_string(page.PortIndex + 1) + " (" +
                                             clsComm::PortFaultReason(fault) + ")");
                }
                nextPort(false);
            } else if (!commands->SendHello(false, false)) {
                ShowError(msg::SendFailedText);
                EnterState(WorkState::Idle);
            }
            break;
        case kEventReplyReceived: {
            const SentenceReply reply = SentenceReply::Read(page.Received);
            if (reply.verdict == SentenceVerdict::Garbled) {
                ++page.RetryCount;
                if (page.RetryCount < kGarbledRepliesPerPort) {
                    // Same port again: the list stays, the timer is re-armed.
                    page.PortIndex = NextCommPort(static_cast<std::int16_t>(page.PortIndex - 1));
                } else {
                    nextPort(true);
                }
            } else if (!reply.Acknowledged()) {
                nextPort(true);
            } else {
                LearnPort();  // the port the unit answered on
                const std::string recordPart = ShowConnectionFacts(reply);
                window_.ShowSuccessMessage(msg::ScanConnectedText + recordPart);
                pendingOutcome_ = RunOutcome::Succeeded;
                const std::int32_t next = page.NextState;
                Box(msg::ScanConnectedBoxText, MsgButtons::Ok, MsgIcon::Information);
                EnterState(next);
            }
            break;
        }
        case kEventReplyTimeOut:
            nextPort(true);
            break;
        default:
            break;
    }
}

// --- State 2: connect ----------------------------------------------------------------------

void clsUpdateSequence::ConnectState() {
    WorkPageRecord& page = m_WorkPage;
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return;
    }
    const bool update = page.NextState == kModeUpdate;
    switch (page.Event) {
        case kEventAutoRunning:
            if (update) {
                // A port its control closed since the last run (the unit was
                // unplugged, perhaps plugged back in) is opened afresh.
                clsComm& comm = commands->Comm();
                if (comm.mMsComm() != nullptr && !comm.mMsComm()->PortOpen()) {
                    comm.SetCommuStats(comm.NewCommStats(0, true, true, false));
                }
                if (commands->SendHello(true, false)) {
                    SetLamp(kLampConnect, kLampBusy);
                    window_.ShowInfoMessage(msg::ConnectingText);
                } else {
                    SetLamp(kLampConnect, kLampFailed);
                    ShowError(msg::SendFailedText);
                    ShowPortFault();  // which port, and why it cannot be used
                    EnterState(WorkState::Idle);
                }
            } else {
                // A connection test starts from a closed port.
                clsComm& comm = commands->Comm();
                comm.SetCommuStats(comm.NewCommStats(0, true, true, false));
                if (commands->SendHello(true, true)) {
                    window_.ShowInfoMessage(msg::ConnectingText);
                } else {
                    ShowError(msg::SendFailedText);
                    EnterState(WorkState::Idle);
                }
            }
            break;
        case kEventReplyReceived: {
            if (probingLinkMode_) {
                // Any intact frame at the link speed: the unit is in link mode.
                if (page.Received.size() >= 5 && mduGlobalModule::CheckCrc16(page.Received)) {
                    LinkModeLeft();
                } else {
                    probingLinkMode_ = false;
                    if (update) {
                        SetLamp(kLampConnect, kLampFailed);
                    }
                    ReportNoResponse(ToInt(WorkState::Idle), msg::NoResponseText);
                }
                break;
            }
            const SentenceReply reply = SentenceReply::Read(page.Received);
            if (reply.verdict == SentenceVerdict::Garbled) {
                ++page.RetryCount;
                if (page.RetryCount < kGarbledRepliesPerPort) {
                    window_.StartAutoRunning();  // the hello again, same port
                } else {
                    Box(msg::NoResponseBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
                    ReportNoResponse(ToInt(WorkState::Idle), msg::StandardNoResponseText());
                }
            } else if (!reply.Acknowledged()) {
                if (update) {
                    SetLamp(kLampConnect, kLampFailed);
                }
                ShowError(msg::NoResponseText);
                EnterState(WorkState::Idle);
            } else {
                const std::string recordPart = ShowConnectionFacts(reply);
                if (update) {
                    SetLamp(kLampConnect, kLampDone);
                    window_.ShowInfoMessage(msg::ConnectedText + recordPart);
                    window_.ShowInfoMessage(msg::DataPreparingText);
                    EnterState(WorkState::DataPreparation);
                } else {
                    window_.ShowSuccessMessage(msg::ConnectedText + recordPart);
                    pendingOutcome_ = RunOutcome::Succeeded;
                    Box(msg::ConnectedBoxText, MsgButtons::Ok, MsgIcon::Information);
                    EnterState(WorkState::Idle);
                }
            }
            break;
        }
        case kEventReplyTimeOut:
            if (!probingLinkMode_ && ProbeLinkMode()) {
                break;
            }
            probingLinkMode_ = false;
            if (update) {
                SetLamp(kLampConnect, kLampFailed);
            }
            ReportNoResponse(ToInt(WorkState::Idle), msg::NoResponseText);
            break;
        default:
            break;
    }
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

void clsUpdateSequence::LinkModeLeft() {
    probingLinkMode_ = false;
    clsCommandLayer* commands = window_.Commands();
    commands->SetCommState(0);
    if (m_WorkPage.NextState == kModeUpdate) {
        SetLamp(kLampConnect, kLampFailed);
    }
    ShowError(msg::LinkModeLeftText());
    BeginFailure();
    Box(msg::LinkModeLeftBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
    EnterState(WorkState::Idle);
}

// --- State 3: data preparation -----------------------------------------------------------

bool clsUpdateSequence::PrepareDataFile() {
    m_DataFile.reset();
    m_DataFile = std::make_unique<clsPNV480DnLdData>();
    std::string name = window_.FileNameText();
    const auto first = name.find_first_not_of(' ');
    const auto last = name.find_last_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    m_DataFile->SetFileName(name);
    m_DataFile->SetToolVersion(kToolVersion);
    return m_DataFile->LoadData();
}

void clsUpdateSequence::DataPreparationState() {
    if (m_WorkPage.Event != kEventAutoRunning || window_.Commands() == nullptr) {
        return;
    }
    SetLamp(kLampDataPreparation, kLampBusy);
    window_.ShowInfoMessage(msg::DataPreparingText);
    if (PrepareDataFile()) {
        window_.ShowInfoMessage(msg::DataReadyText);
        run_.fileDataVersion = mduDeviceChecks::UnitTextForDisplay(m_DataFile->DataFileVersion());
        window_.SetInfoLine(msg::InfoLineDataFileVersion, run_.fileDataVersion);
        FactsLearned();
        SetLamp(kLampDataPreparation, kLampDone);
        EnterState(WorkState::LinkModeSwitch);
        window_.SetOneSecTimerEnabled(true);
    } else {
        ShowError(m_DataFile->ErrorMessage());
        SetLamp(kLampDataPreparation, kLampFailed);
        EnterState(WorkState::Idle);
    }
}

// --- State 4: link-mode switch ------------------------------------------------------------

void clsUpdateSequence::LinkModeSwitchState() {
    WorkPageRecord& page = m_WorkPage;
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return;
    }
    switch (page.Event) {
        case kEventAutoRunning:
            if (commands->SendLinkModeRequest(true, true)) {
                SetLamp(kLampLinkMode, kLampBusy);
                window_.PutMessageText("", false, "\r\n");
            } else {
                SetLamp(kLampLinkMode, kLampFailed);
                EnterState(WorkState::Idle);
            }
            break;
        case kEventReplyReceived: {
            // Only the fields count here, not whether the parser found a fault.
            const SentenceReply reply = SentenceReply::Read(page.Received);
            if (!reply.Acknowledged()) {
                SetLamp(kLampLinkMode, kLampFailed);
                ShowError(msg::LinkModeFailureText());
                EnterState(WorkState::Idle);
            } else {
                window_.ShowInfoMessage(msg::LinkModeDoneText);
                ShowSerialNumber(reply);
                SetLamp(kLampLinkMode, kLampDone);
                window_.SetWorkingBusy(true);
                EnterState(WorkState::Stage01Attach);
            }
            break;
        }
        case kEventReplyTimeOut:
            SetLamp(kLampLinkMode, kLampFailed);
            ReportNoResponse(ToInt(WorkState::Idle), msg::LinkModeFailureText());
            break;
        default:
            break;
    }
}

// --- States 5 and 7 to 12: single-command stages ------------------------------------------

void clsUpdateSequence::CommandStageState() {
    const StageRow* row = FindRow(CommandStages(), m_WorkPage.State);
    if (row == nullptr) {
        return;
    }
    WriteRow(m_WorkPage, *row);
    RunCommandStep(m_WorkPage);
}

bool clsUpdateSequence::RunCommandStep(WorkPageRecord& page) {
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return false;
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
                return true;
            }
            ShowError(msg::SendFailedText);
            SetLamp(lamp, kLampFailed);
            ShowPortFault();
            EnterState(failState);
            return false;
        }
        case kEventReplyReceived: {
            const std::int32_t nextState = page.NextState;
            const std::string doneText = page.DoneText;
            const CommandReply reply = commands->JudgeReply(page.Received, page.RequiredStatus);
            page.Reply = reply.plain;
            // A handler may ask the operator, and may put its own failure text
            // into the record.
            if (reply.Good() && RunReplyHandler(page)) {
                window_.ShowInfoMessage(doneText);
                SetLamp(lamp, kLampDone);
                EnterState(nextState);
                return true;
            }
            SetLamp(lamp, kLampFailed);
            ShowError(page.FailText);
            EnterState(failState);
            return false;
        }
        case kEventReplyTimeOut:
            SetLamp(lamp, kLampFailed);
            ReportNoResponse(failState, page.FailText);
            return false;
        default:
            return false;
    }
}

bool clsUpdateSequence::RunReplyHandler(WorkPageRecord& page) {
    switch (static_cast<CommandCode>(page.CommandCode)) {
        case CommandCode::QID:
            return OnUnitIDReply(page);
        case CommandCode::STS:
            return OnRecordReportReply(page);
        case CommandCode::VPGM:
            return OnProgramVersionReply(page);
        case CommandCode::VMAP:
            return OnMapVersionReply(page);
        default:
            return true;  // Attach, SSecu1 and the erase need only the status
    }
}

bool clsUpdateSequence::OnUnitIDReply(WorkPageRecord& /*page*/) {
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

bool clsUpdateSequence::OnRecordReportReply(WorkPageRecord& /*page*/) {
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
    if (m_DataFile && m_DataFile->CheckUnitProgramVersion(version)) {
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
    if (!m_DataFile) {
        return false;
    }
    const std::optional<int> order =
        mduGlobalModule::CompareVersionText(version, m_DataFile->DataFileVersion());
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
    if (m_WorkPage.Event != kEventAutoRunning) {
        return;
    }
    m_WorkPage.StartTime = window_.NowSeconds();
    window_.SetProgressMax(m_DataFile ? m_DataFile->TotalFlashBlocks() : 0);
    window_.SetProgressValue(0);
    SetLamp(kLampTransferSetUp, kLampDone);
    EnterState(WorkState::Stage03Identity);
}

// --- State 13: flash preparation ----------------------------------------------------------

void clsUpdateSequence::FlashPreparationState() {
    if (m_WorkPage.Event != kEventAutoRunning || !m_DataFile) {
        return;
    }
    window_.ShowInfoMessage(msg::LinkSetupText(9));
    m_DataFile->FlashBlockIndexReset();
    SetLamp(kLampFlashPreparation, kLampDone);
    m_WorkPage.NextState = ToInt(WorkState::FlashTransfer);
    EnterState(WorkState::FlashTransfer);
    window_.ShowInfoMessage(msg::FlashTransferText);
}

// --- States 14 and 16: block transfers --------------------------------------------------------

void clsUpdateSequence::BlockTransferState() {
    const StageRow* row = FindRow(BlockStages(), m_WorkPage.State);
    if (row == nullptr) {
        return;
    }
    WriteRow(m_WorkPage, *row);
    RunBlockTransferStep(m_WorkPage, row->state == WorkState::FlashTransfer);
}

bool clsUpdateSequence::RunBlockTransferStep(WorkPageRecord& page, bool flash) {
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr || !m_DataFile) {
        return false;
    }
    const auto send = [&](bool next, bool retry) {
        const BlockSendResult result = flash
                                           ? commands->SendFlashBlock(*m_DataFile, next, retry)
                                           : commands->SendParameterBlock(*m_DataFile, next, retry);
        OnBlockSendResult(page, static_cast<int>(result));
    };
    switch (page.Event) {
        case kEventAutoRunning:
            blockLink_ = BlockLink{};
            progressDue_ = false;
            send(true, false);
            return true;
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
            return true;
        case kEventReplyReceived:
            if (blockLink_.barrier) {
                AwaitBarrier(page, false);
                return true;
            }
            if (commands->JudgeReply(page.Received, page.RequiredStatus).Good()) {
                if (blockLink_.uncertain) {
                    SendBarrier(page);
                } else {
                    ++run_.blocksWritten;
                    send(true, false);
                }
            } else if (DropLateBarrierReply(page)) {
                return true;
            } else {
                blockLink_.uncertain = true;
                RetryBlock(page, flash, false);
            }
            return true;
        case kEventReplyTimeOut:
            if (blockLink_.barrier) {
                AwaitBarrier(page, true);
                return true;
            }
            blockLink_.uncertain = true;
            RetryBlock(page, flash, true);
            return true;
        default:
            return false;
    }
}

void clsUpdateSequence::SendBarrier(WorkPageRecord& page) {
    blockLink_.barrier = true;
    blockLink_.sends = 0;
    blockLink_.waits = 0;
    lateBarrierReplies_ = 0;
    ResendBarrier(page);
}

void clsUpdateSequence::ResendBarrier(WorkPageRecord& page) {
    ++blockLink_.sends;
    blockLink_.listened = false;
    if (!window_.Commands()->AutoSendMessageToUnit(CommandCode::STS, {}, 0, 0, true, false)) {
        OnBlockSendResult(page, static_cast<int>(BlockSendResult::NotSent));
    }
}

void clsUpdateSequence::AwaitBarrier(WorkPageRecord& page, bool timedOut) {
    clsCommandLayer* commands = window_.Commands();
    ReplyVerdict verdict = ReplyVerdict::NoFrame;
    if (!timedOut) {
        // Any reply echoing the barrier's code answers it, whatever its
        // status: everything sent before it has been answered.
        verdict = commands->JudgeReply(page.Received, 0).verdict;
        if (verdict == ReplyVerdict::Good || verdict == ReplyVerdict::Refused ||
            verdict == ReplyVerdict::MissingBits) {
            // The answer may be to the first of several sends; the others'
            // answers follow it.
            lateBarrierReplies_ = blockLink_.sends - 1;
            blockLink_ = BlockLink{};
            ++run_.blocksWritten;
            const bool flash = page.CommandCode == ToInt(CommandCode::FlashWrite);
            const BlockSendResult result =
                flash ? commands->SendFlashBlock(*m_DataFile, true, false)
                      : commands->SendParameterBlock(*m_DataFile, true, false);
            OnBlockSendResult(page, static_cast<int>(result));
            return;
        }
    }
    // Each send is given its own short time-out and then a block write's
    // (2 s) of listening: the unit answers in order, and the replies to
    // every earlier send of the block may come first. A clean frame echoing
    // another code is such a stray reply: listen on. A quiet wait after
    // listening, or a damaged frame: the barrier or its reply may be lost, so
    // ask again while sends remain. After the last send, a quiet wait ends
    // the stage as a block without reply does.
    const auto fail = [&] {
        SetLamp(page.LampIndex, kLampFailed);
        ReportNoResponse(page.FailState, page.FailText);
    };
    const auto listen = [&] {
        if (!commands->ListenForStrayReplies(kBarrierWaitMs)) {
            OnBlockSendResult(page, static_cast<int>(BlockSendResult::NotSent));
        }
    };
    if (++blockLink_.waits > kBarrierWaits) {
        fail();
        return;
    }
    const bool sendsLeft = blockLink_.sends < kBarrierSends;
    if (timedOut) {
        if (!blockLink_.listened) {
            blockLink_.listened = true;
            listen();
        } else if (sendsLeft) {
            ResendBarrier(page);
        } else {
            fail();
        }
        return;
    }
    if (verdict == ReplyVerdict::ForeignEcho || !sendsLeft) {
        listen();
        return;
    }
    ResendBarrier(page);
}

bool clsUpdateSequence::DropLateBarrierReply(WorkPageRecord& page) {
    if (lateBarrierReplies_ <= 0) {
        return false;
    }
    clsCommandLayer* commands = window_.Commands();
    const CommandReply reply = commands->JudgeReply(page.Received, 0);
    if (reply.verdict != ReplyVerdict::ForeignEcho || reply.plain.size() < 2 ||
        reply.plain[1] != ToInt(CommandCode::STS)) {
        return false;
    }
    --lateBarrierReplies_;
    // The block's own reply is still to come: wait for it as long as for a
    // fresh send.
    const clsLinkUnit* request = commands->CurrentLinkUnit();
    const std::int32_t waitMs = request != nullptr ? request->TimeOutInterval() : kBarrierWaitMs;
    if (!commands->ListenForStrayReplies(waitMs)) {
        OnBlockSendResult(page, static_cast<int>(BlockSendResult::NotSent));
    }
    return true;
}

void clsUpdateSequence::OnBlockSendResult(WorkPageRecord& page, int result) {
    switch (static_cast<BlockSendResult>(result)) {
        case BlockSendResult::Sent:
            SetLamp(page.LampIndex, kLampBusy);
            if (progressDue_) {
                ShowTransferProgress(page);
            }
            break;
        case BlockSendResult::NotSent: {
            // A port that failed (a unit or adapter pulled out) leaves the
            // unit half written: say so, and what to do.
            const bool portFailed = !window_.Commands()->Comm().LastPortFault().empty();
            ShowError(portFailed ? msg::LinkLostText() : std::string(msg::BlockSendFaultText));
            const std::int32_t failState = page.FailState;
            SetLamp(page.LampIndex, kLampFailed);
            ShowPortFault();
            EnterState(failState);
            break;
        }
        case BlockSendResult::NoBlock:
            // No block of this kind (left): the stage is done. The displays
            // show where the transfer ended, not where the last tick saw it.
            if (page.CommandCode == ToInt(CommandCode::FlashWrite)) {
                const std::int32_t max = window_.ProgressMax();
                window_.SetProgressValue(max);
                window_.SetPercentText(mduDisplayText::PercentText(max, max));
                window_.SetClockText(
                    mduDisplayText::ClockText(window_.NowSeconds() - page.StartTime));
            }
            SetLamp(page.LampIndex, kLampDone);
            window_.ShowInfoMessage(page.DoneText);
            EnterState(page.NextState);
            break;
    }
}

void clsUpdateSequence::RetryBlock(WorkPageRecord& page, bool flash, bool timedOut) {
    clsCommandLayer* commands = window_.Commands();
    clsLinkUnit* request = commands->CurrentLinkUnit();
    if (request == nullptr) {
        return;
    }
    request->SetRetryCounter(static_cast<std::int16_t>(request->RetryCounter() + 1));
    if (request->RetryCounter() > request->MaxLinkRetryTimes()) {
        SetLamp(page.LampIndex, kLampFailed);
        if (timedOut) {
            ReportNoResponse(page.FailState, page.FailText);
        } else {
            ShowError(page.FailText);
            EnterState(page.FailState);
        }
        return;
    }
    ++run_.resends;
    const BlockSendResult result = flash ? commands->SendFlashBlock(*m_DataFile, false, true)
                                         : commands->SendParameterBlock(*m_DataFile, false, true);
    OnBlockSendResult(page, static_cast<int>(result));
}

void clsUpdateSequence::ShowTransferProgress(const WorkPageRecord& page) {
    progressDue_ = false;
    UpdateProgress();
    UpdateElapsedTime(page.StartTime);
}

void clsUpdateSequence::UpdateProgress() {
    if (!m_DataFile) {
        return;
    }
    const std::int32_t index = m_DataFile->FlashBlockIndex();
    const std::int32_t value = index < 0 ? 0 : index;
    window_.SetProgressValue(value);
    window_.SetPercentText(mduDisplayText::PercentText(value, window_.ProgressMax()));
}

void clsUpdateSequence::UpdateElapsedTime(std::int64_t startTime) {
    const std::string clock = mduDisplayText::ClockText(window_.NowSeconds() - startTime);
    window_.SetClockText(clock);
    window_.PutMessageText(mduDisplayText::ProgressSuffix(clock, window_.PercentText()), true, ":");
}

// --- State 15: parameter preparation ---------------------------------------------------

void clsUpdateSequence::ParameterPreparationState() {
    if (m_WorkPage.Event != kEventAutoRunning || !m_DataFile) {
        return;
    }
    window_.ShowInfoMessage(msg::LinkSetupText(11));
    m_DataFile->EEPParameterBlockIndexReset();
    SetLamp(kLampParameterPreparation, kLampDone);
    EnterState(WorkState::ParameterTransfer);
    window_.ShowInfoMessage(msg::LinkSetupText(12));
}

// --- State 17: transfer wrap-up ------------------------------------------------------------

void clsUpdateSequence::TransferWrapUpState() {
    if (m_WorkPage.Event != kEventAutoRunning) {
        return;
    }
    SetLamp(kLampWrapUpSecond, kLampDone);
    SetLamp(kLampWrapUpThird, kLampDone);
    SetLamp(kLampWrapUpFirst, kLampDone);
    EnterState(WorkState::ClosingCommand);
}

// --- State 20: closing command ---------------------------------------------------------------

void clsUpdateSequence::ClosingCommandState() {
    WorkPageRecord& page = m_WorkPage;
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
    WorkPageRecord& page = m_WorkPage;
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
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
        case kEventOneSecond: {
            if (page.CheckPassed) {
                // The unit now holds the file's data: its version, beside the
                // one it had.
                run_.dataVersionAfter = run_.fileDataVersion;
                if (m_DataFile) {
                    window_.SetInfoLine(
                        msg::InfoLineUnitDataVersion,
                        msg::UpdatedVersionText(
                            mduDeviceChecks::UnitTextForDisplay(m_DataFile->DataFileVersion()),
                            mduDeviceChecks::UnitTextForDisplay(
                                commands->UnitConfigBase().UnitMapVersion())));
                }
                window_.ShowSuccessMessage(msg::UpdateSucceededText);
                SetLamp(kLampFinalCheck, kLampDone);
                pendingOutcome_ = RunOutcome::Succeeded;
                EnterState(WorkState::Idle);
                Box(msg::UpdateDoneBoxText, MsgButtons::Ok, MsgIcon::Information);
                break;
            }
            --page.CheckCountDown;
            if (page.CheckCountDown < 1) {
                ShowError(msg::FinalNoResponseText());
                SetLamp(kLampFinalCheck, kLampFailed);
                EnterState(WorkState::Idle);
                Box(msg::NoResponseBoxText, MsgButtons::Ok, MsgIcon::Critical);
                break;
            }
            const std::int64_t elapsed = window_.NowSeconds() - page.StartTime;
            window_.PutMessageText(std::to_string(elapsed), true, msg::FinalCheckSeparator);
            if (!commands->SendHello(true, false)) {
                // Idle first: its entry stops the ticks, so the port's box
                // below is the only one and nothing polls behind it.
                ShowError(msg::SendFailedText);
                SetLamp(kLampFinalCheck, kLampFailed);
                EnterState(WorkState::Idle);
                ShowPortFault();
            }
            break;
        }
        case kEventReplyReceived: {
            // Only an acknowledgement with a readable record report counts;
            // anything else is ignored and the polling goes on.
            const SentenceReply reply = SentenceReply::Read(page.Received);
            if (!reply.Acknowledged() || !reply.HasField(2)) {
                break;
            }
            // A report that cannot be read is not a normal one: the unit
            // answered, so waiting on would only end in the no-response text.
            const std::string text = mduDeviceChecks::DecodeRecordReport(reply.Field(2), false);
            if (text == mduDeviceChecks::NormalReportText) {
                page.CheckPassed = true;
                window_.SetInfoLine(msg::InfoLineRecordReport, text);
            } else {
                ShowError(msg::CameraMemoryFailureText());
                SetLamp(kLampFinalCheck, kLampFailed);
                EnterState(WorkState::Idle);
                Box(msg::CameraMemoryBoxText, MsgButtons::Ok, MsgIcon::Exclamation);
            }
            break;
        }
        default:
            break;
    }
}
