// The update sequence's dispatcher, the operations its states share and the
// run's facts. The states themselves are in the Sequence*.cpp files.

#include "clsUpdateSequence.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "CommandCode.h"
#include "IRunObserver.h"
#include "ISerialControl.h"
#include "Sha256.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsPNV480DnLdData.h"
#include "mduCommonMessage.h"

namespace msg = mduCommonMessage;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

std::int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
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
    workPage_.Received.assign(vByteArry.begin(), vByteArry.end());
    workPage_.SendData.clear();
    workPage_.Event = venvWorkingEvent;
    workPage_.State = window_.WorkState();
    workPage_.FailState = 0;

    if (!HasState(workPage_.State)) {
        return;
    }
    ++depth_;
    (this->*kStateHandlers[workPage_.State])();
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

const clsUpdateSequence::StageRow* clsUpdateSequence::FindRow(const std::vector<StageRow>& rows,
                                                              std::int32_t state) {
    for (const StageRow& row : rows) {
        if (ToInt(row.state) == state) {
            return &row;
        }
    }
    return nullptr;
}

void clsUpdateSequence::WriteRow(WorkPageRecord& page, const StageRow& row) {
    page.ProgressText = row.progressText;
    page.DoneText = row.doneText;
    page.FailText = row.failText;
    page.CommandCode = row.commandCode;
    page.LampIndex = row.lampIndex;
    page.RequiredStatus = row.requiredStatus;
    page.NextState = ToInt(row.nextState);
}

// --- State changes and the run ---------------------------------------------------------

void clsUpdateSequence::EnterState(std::int32_t state) {
    failing_ = false;
    if (state == ToInt(WorkState::Idle) && runKind_ != RunKind::None) {
        if (runKind_ == RunKind::Update && linkModeRequested_ && !run_.eraseBegun) {
            BringBackBeforeErase();
        }
        EndRun(pendingOutcome_);
        endToReport_ = true;
    }
    window_.ChangeWorkState(state);
}

void clsUpdateSequence::BringBackBeforeErase() {
    // The unit may be in its link mode, its memory as it was: the closing
    // command makes it check that memory and greet again. It expects no
    // reply; the rolling key reaches a unit that never took the link table.
    // A port that cannot send leaves the unit where it is (a replug brings
    // it back).
    if (clsCommandLayer* commands = window_.Commands()) {
        commands->AutoSendMessageToUnit(CommandCode::RST, {}, 0, 0, false, false);
    }
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
    if (runKind_ == RunKind::Update && linkModeRequested_) {
        erasedOnPort_[run_.port] = run_.eraseBegun;
    }
    if (runKind_ == RunKind::Scan && outcome != RunOutcome::Succeeded) {
        SelectChosenPort();
    }
    // Where it failed: the state it left for idle, or stood in when abandoned.
    if (outcome != RunOutcome::Succeeded && outcome != RunOutcome::Skipped) {
        run_.failedStage = StageOfState(window_.WorkState());
    } else {
        run_.failureText.clear();
    }
    run_.outcome = outcome;
    run_.endMs = SystemUtcMs();
    runKind_ = RunKind::None;
}

void clsUpdateSequence::BeginRun(RunKind kind) {
    runKind_ = kind;
    failing_ = false;
    probingLinkMode_ = false;
    unopenedPorts_.clear();
    unopenedFaults_.clear();
    openedPorts_ = 0;
    linkModeRequested_ = false;
    greetingSerial_.clear();
    foreignSerial_.clear();
    blockLink_.Reset();
    closingTicks_ = 0;
    pendingOutcome_ = RunOutcome::Failed;
    run_ = RunFacts{};
    run_.kind = kind;
    run_.startMs = SystemUtcMs();
    LearnPort();
    chosenPort_ = run_.port;
    if (kind == RunKind::Update) {
        LearnDataFile();
    }
    ClearProgressRow();
    if (observer_ != nullptr) {
        observer_->OnRunStarted(run_);
    }
}

void clsUpdateSequence::SelectChosenPort() {
    if (chosenPort_ > 0) {
        window_.SelectCommPort(static_cast<std::uint8_t>(chosenPort_ - 1));
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

std::string clsUpdateSequence::ChosenFileName() const {
    const std::string name = window_.FileNameText();
    const auto first = name.find_first_not_of(' ');
    const auto last = name.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
}

void clsUpdateSequence::LearnDataFile() {
    const std::string name = ChosenFileName();
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

// --- What the operator sees --------------------------------------------------------------

void clsUpdateSequence::ShowError(const std::string& text) {
    if (runKind_ != RunKind::None) {
        run_.failureText = text;
    }
    window_.ShowErrorMessage(text);
}

void clsUpdateSequence::EndFailure(std::int32_t failState, bool boxShown) {
    if (run_.eraseBegun && !boxShown) {
        BeginFailure();  // the box lets events in: they must find the stage ended
        Box(msg::DataIncompleteBoxText(), MsgButtons::Ok, MsgIcon::Critical);
    }
    EnterState(failState);
}

std::string clsUpdateSequence::SendFailureText() {
    clsCommandLayer* commands = window_.Commands();
    const std::string fault =
        commands != nullptr ? commands->Comm().LastPortFault() : std::string();
    return fault.empty() ? std::string(msg::SendFailedText) : fault;
}

void clsUpdateSequence::ClearProgressRow() {
    window_.SetProgressValue(0);
    window_.SetPercentText(mduDisplayText::PercentText(0, window_.ProgressMax()));
    window_.SetClockText(mduDisplayText::InitialClockText);
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
    BeginFailure();  // the box lets events in: they must find the stage ended
    Box(fault, MsgButtons::Ok, MsgIcon::Critical);
    return true;
}

MsgResult clsUpdateSequence::Box(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    return window_.ShowMessageBox(text, buttons, icon);
}

void clsUpdateSequence::ReportNoResponse(std::int32_t failState, const std::string& text) {
    ShowError(text.empty() ? msg::StandardNoResponseText() : text);
    // The box before the state change, which re-arms the sequence timer;
    // events that come while it is open find the stage ended.
    BeginFailure();
    Box(msg::TimeOutBoxText, MsgButtons::Ok, MsgIcon::Critical);
    EnterState(failState);
}
