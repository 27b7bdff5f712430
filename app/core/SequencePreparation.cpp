// States 3 and 4: the data file is read and checked, then the unit is asked
// to switch to its binary link mode.

#include <memory>

#include "WorkPageEvent.h"
#include "clsCommandLayer.h"
#include "clsPNV480DnLdData.h"
#include "clsUpdateSequence.h"
#include "mduCommonMessage.h"
#include "mduDeviceChecks.h"

namespace msg = mduCommonMessage;

namespace {

constexpr std::int32_t kLampDataPreparation = 1;
constexpr std::int32_t kLampLinkMode = 2;

}  // namespace

// --- State 3: data preparation -----------------------------------------------------------

void clsUpdateSequence::DataPreparationState() {
    if (workPage_.Event != kEventAutoRunning || window_.Commands() == nullptr) {
        return;
    }
    SetLamp(kLampDataPreparation, kLampBusy);
    window_.ShowInfoMessage(msg::DataPreparingText);
    dataFile_.reset();  // the last run's blocks go before the new ones are read
    dataFile_ = std::make_unique<clsPNV480DnLdData>();
    dataFile_->SetFileName(ChosenFileName());
    dataFile_->SetToolVersion(kToolVersion);
    if (!dataFile_->LoadData()) {
        ShowError(dataFile_->ErrorMessage());
        SetLamp(kLampDataPreparation, kLampFailed);
        EnterState(WorkState::Idle);
        return;
    }
    window_.ShowInfoMessage(msg::DataReadyText);
    run_.fileDataVersion = mduDeviceChecks::UnitTextForDisplay(dataFile_->DataFileVersion());
    window_.SetInfoLine(msg::InfoLineDataFileVersion, run_.fileDataVersion);
    FactsLearned();
    SetLamp(kLampDataPreparation, kLampDone);
    EnterState(WorkState::LinkModeSwitch);
    window_.SetOneSecTimerEnabled(true);
}

// --- State 4: link-mode switch ------------------------------------------------------------

void clsUpdateSequence::LinkModeSwitchState() {
    clsCommandLayer* commands = window_.Commands();
    if (commands == nullptr) {
        return;
    }
    switch (workPage_.Event) {
        case kEventAutoRunning:
            if (commands->SendLinkModeRequest(true, true)) {
                linkModeRequested_ = true;
                SetLamp(kLampLinkMode, kLampBusy);
                window_.PutMessageText("", false, "\r\n");
            } else {
                SetLamp(kLampLinkMode, kLampFailed);
                EnterState(WorkState::Idle);
            }
            break;
        case kEventReplyReceived: {
            // Only the fields count here, not whether the parser found a fault.
            const SentenceReply reply = SentenceReply::Read(workPage_.Received);
            if (!reply.Acknowledged()) {
                // A clear refusal leaves the unit as it was; a damaged answer
                // may hide that it did switch.
                linkModeRequested_ = reply.verdict == SentenceVerdict::Garbled;
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
