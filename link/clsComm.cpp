#include "clsComm.h"

#include <exception>
#include <string>

#include "ProgramMessageBoxes.h"
#include "mduGlobalModule.h"

namespace {

constexpr const char* kSettingsText = "9600,N,8,1";
constexpr const char* kSettingsLink = "115200,N,8,1";

// What ReadReceivedBytes does with the frame-space timer.
constexpr int kLeaveTimer = -1;
constexpr int kRestartTimer = 0;
constexpr int kStopTimer = 1;

}  // namespace

clsComm::clsComm() = default;

clsComm::~clsComm() {
    if (msComm_ != nullptr) {
        try {
            if (msComm_->PortOpen()) {
                msComm_->SetPortOpen(false);
            }
        } catch (const std::exception&) {
            // The port is being given up either way.
        }
    }
    SetmMsComm(nullptr);
    SetmFrameSpaceTimer(nullptr);
    SetmFrameTimeOutTimer(nullptr);
}

// --- Attached objects ----------------------------------------------------------

void clsComm::SetmFrameSpaceTimer(platform::IWindowTimer* timer) {
    if (timer == frameSpaceTimer_) {
        return;
    }
    if (frameSpaceTimer_ != nullptr) {
        frameSpaceTimer_->SetOnTimer(nullptr);
    }
    frameSpaceTimer_ = timer;
    if (frameSpaceTimer_ != nullptr) {
        frameSpaceTimer_->SetOnTimer([this] { OnFrameSpaceTimer(); });
    }
}

void clsComm::SetmFrameTimeOutTimer(platform::IWindowTimer* timer) {
    if (timer == timeOutTimer_) {
        return;
    }
    if (timeOutTimer_ != nullptr) {
        timeOutTimer_->SetOnTimer(nullptr);
    }
    timeOutTimer_ = timer;
    if (timeOutTimer_ != nullptr) {
        timeOutTimer_->SetOnTimer([this] { OnTimeOutTimer(); });
    }
}

void clsComm::SetmMsComm(platform::ISerialControl* control) {
    if (control == msComm_) {
        return;
    }
    if (msComm_ != nullptr) {
        msComm_->SetOnComm(nullptr);
    }
    msComm_ = control;
    if (msComm_ != nullptr) {
        msComm_->SetOnComm([this] { OnComm(); });
    }
}

void clsComm::SetaxMsComm(platform::ISerialControl* control) {
    if (control == msComm_) {
        return;
    }
    SetmMsComm(control);
    if (control == nullptr) {
        commFrameState_ = 0;
        commuStats_ = 0;
        return;
    }
    try {
        control->SetRThreshold(3);
        if (commFrameState_ == 0) {
            commFrameState_ = 1;
        }
        control->SetInputMode(1);
    } catch (const std::exception&) {
        // Both are plain options that a control accepts at any time.
    }
}

// --- Timers --------------------------------------------------------------------

namespace {

// Set True: off, on and the interval written again, so the count restarts at
// 0, then the flag. Set False: the flag cleared and the timer stopped. The
// flag says the driver armed the timer, whatever the timer's own state.
void ArmTimer(platform::IWindowTimer* timer, bool& flag, bool enable) {
    flag = enable;
    if (timer == nullptr) {
        return;
    }
    timer->SetEnabled(false);
    if (enable) {
        timer->SetEnabled(true);
        timer->SetInterval(timer->Interval());
    }
}

}  // namespace

bool clsComm::FrameSpaceTimerEnable() const {
    return frameSpaceTimer_ != nullptr && frameSpaceTimer_->Enabled();
}

void clsComm::SetFrameSpaceTimerEnable(bool enable) {
    ArmTimer(frameSpaceTimer_, frameSpaceFlag_, enable);
}

bool clsComm::WaitTimeOutTimerEnable() const {
    return timeOutTimer_ != nullptr && timeOutTimer_->Enabled();
}

void clsComm::SetWaitTimeOutTimerEnable(bool enable) {
    ArmTimer(timeOutTimer_, timeOutFlag_, enable);
}

void clsComm::StopTimersKeepFlags() {
    if (frameSpaceTimer_ != nullptr) {
        frameSpaceTimer_->SetEnabled(false);
    }
    if (timeOutTimer_ != nullptr) {
        timeOutTimer_->SetEnabled(false);
    }
}

// --- Link state ------------------------------------------------------------------

void clsComm::SetCommuStats(std::int32_t state) {
    commuStats_ = ChangeCommStats(state, false);
}

std::int32_t clsComm::NewCommStats(std::int32_t vNewCommSts, bool vForceUpDateSts,
                                   bool /*vThrowError*/, bool vShowMwssage) {
    const std::int32_t result = ChangeCommStats(vNewCommSts, vShowMwssage);
    if (vForceUpDateSts) {
        commuStats_ = result;
    }
    return result;
}

std::string clsComm::PortFaultText(const std::exception& error) {
    const auto* control = dynamic_cast<const platform::SerialControlError*>(&error);
    lastPortFaultKind_ = control != nullptr ? control->Kind() : platform::PortFault::Other;
    return DescribePortFault(comPort_, lastPortFaultKind_, error.what());
}

std::string clsComm::DescribePortFault(int port, platform::PortFault kind,
                                       const std::string& description) {
    // What happened and what to do, then the system's own words for support.
    const char* what = "無法使用此傳輸埠!!";
    switch (kind) {
        case platform::PortFault::Gone:
            what = "GPS連結線或傳輸埠裝置已被拔除!!";
            break;
        case platform::PortFault::NoDevice:
            what = "此傳輸埠沒有連接任何裝置!!";
            break;
        case platform::PortFault::PermissionDenied:
            what = "沒有使用此傳輸埠的權限!!";
            break;
        case platform::PortFault::Busy:
            what = "此傳輸埠正被其他程式使用中!!";
            break;
        case platform::PortFault::Other:
            break;
    }
    return "傳輸埠 (" + std::to_string(port) + ") 控制異常 : " + what + "\r\n    " +
           PortFaultAdvice(kind) + "\r\n    系統說明 : " + description;
}

std::string clsComm::PortFaultAdvice(platform::PortFault kind) {
    switch (kind) {
        case platform::PortFault::Gone:
            return "請插回連結線, 等待至GPS方向指示燈旋轉閃動後再試一次.";
        case platform::PortFault::PermissionDenied:
            return "請系統管理員開放此傳輸埠的使用權限 (Linux : 將帳號加入 dialout "
                   "群組後重新登入).";
        case platform::PortFault::Busy:
            return "請關閉使用此傳輸埠的其他程式後再試一次.";
        case platform::PortFault::NoDevice:
        case platform::PortFault::Other:
            break;
    }
    return "請確認連結線已插上電腦, 並選擇正確的傳輸埠.";
}

std::string clsComm::PortFaultReason(platform::PortFault kind) {
    switch (kind) {
        case platform::PortFault::Gone:
            return "裝置已被拔除";
        case platform::PortFault::NoDevice:
            return "沒有裝置";
        case platform::PortFault::PermissionDenied:
            return "沒有使用權限";
        case platform::PortFault::Busy:
            return "被其他程式使用中";
        case platform::PortFault::Other:
            break;
    }
    return "無法開啟";
}

std::int32_t clsComm::ChangeCommStats(std::int32_t requested, bool showMessage) {
    std::int32_t result = commuStats_;
    try {
        if (msComm_ == nullptr) {
            throw platform::SerialControlError("no serial control is attached");
        }
        if (msComm_->CommPort() == comPort_ && requested == commuStats_) {
            return result;
        }
        switch (requested) {
            case 0:
                if (commuStats_ == 1 || commuStats_ == 2) {
                    if (msComm_->PortOpen()) {
                        msComm_->SetPortOpen(false);
                    }
                    ResetCommState();
                    result = 0;
                }
                commTestFlag_ = false;
                return result;
            case 1:
            case 2:
                if (msComm_->PortOpen()) {
                    msComm_->SetPortOpen(false);
                }
                if (msComm_->CommPort() != comPort_) {
                    SetupCommPort(comPort_);
                }
                msComm_->SetSettings(requested == 1 ? kSettingsText : kSettingsLink);
                EmptyToReceiveBufferOrThrow();
                msComm_->SetOutBufferCount(0);
                msComm_->SetPortOpen(true);
                commFrameState_ = 1;
                commTestFlag_ = false;
                lastPortFault_.clear();
                return requested;
            default:
                return result;
        }
    } catch (const std::exception& error) {
        lastPortFault_ = PortFaultText(error);
        try {
            CleanUpAfterFailure();
        } catch (const std::exception& again) {
            lastPortFault_ = PortFaultText(again);
            try {
                CleanUpAfterFailure();
            } catch (const std::exception&) {
                // Second failure of the clean-up: the state is reset below.
            }
        }
        ResetCommState();
        if (showMessage) {
            platform::ProgramMessageBoxes::Get().Show(lastPortFault_, platform::MsgButtons::Ok,
                                                      platform::MsgIcon::Critical);
        }
        return 0;
    }
}

void clsComm::CleanUpAfterFailure() {
    if (msComm_ != nullptr && msComm_->PortOpen()) {
        msComm_->SetPortOpen(false);
    }
    ResetCommState();
}

void clsComm::SetupCommPort(std::int16_t port) {
    if (msComm_ == nullptr || msComm_->PortOpen()) {
        return;
    }
    msComm_->SetCommPort(port);
    msComm_->SetInBufferSize(2048);
    msComm_->SetOutBufferSize(2048);
    msComm_->SetInputMode(1);
    msComm_->SetRThreshold(4);
    msComm_->SetSThreshold(1);
    msComm_->SetParityReplace("");
    msComm_->SetDTREnable(false);
    msComm_->SetNullDiscard(false);
    msComm_->SetEOFEnable(false);
    msComm_->SetHandshaking(0);
}

void clsComm::ResetCommState() {
    SetFrameSpaceTimerEnable(false);
    SetWaitTimeOutTimerEnable(false);
    commuStats_ = 0;
    commFrameState_ = 0;
}

// --- One exchange ------------------------------------------------------------------

bool clsComm::SendDataToUnit(const std::vector<std::uint8_t>& vByteData,
                             std::int32_t vFrameSpaceInterval, std::int32_t vTimeOut,
                             std::int16_t vFastResponse) {
    if (commFrameState_ != 1 || (commuStats_ != 1 && commuStats_ != 2) || msComm_ == nullptr) {
        return false;
    }
    lastPortFault_.clear();
    droppedBeforeSend_ = msComm_->InBufferCount() > 0;
    repliedBeforeSent_ = false;
    try {
        EmptyToReceiveBufferOrThrow();
        fastResponseLength_ = vFastResponse;
        msComm_->SetRThreshold(vFastResponse >= 0 ? int{vFastResponse} + 1 : 4);
        msComm_->SetOutBufferCount(0);
        commFrameState_ = 2;
        frameSpaceInterval_ = vFrameSpaceInterval;
        if (frameSpaceTimer_ != nullptr) {
            frameSpaceTimer_->SetInterval(vFrameSpaceInterval);
        }
        SetFrameSpaceTimerEnable(false);
        SetWaitTimeOutTimerEnable(false);
        timeOutInterval_ = vTimeOut;
        if (vTimeOut != -1) {
            if (timeOutTimer_ != nullptr) {
                timeOutTimer_->SetInterval(vTimeOut);
            }
            SetWaitTimeOutTimerEnable(true);
        }
        msComm_->Output(vByteData);
        return true;
    } catch (const std::exception& error) {
        // The port refused the frame (it went away while open, say). Give it
        // up, so that the next state change opens it afresh and reports why
        // it cannot, instead of sending into a dead port again.
        lastPortFault_ = PortFaultText(error);
        try {
            CleanUpAfterFailure();
        } catch (const std::exception&) {
            ResetCommState();
        }
        return false;
    }
}

void clsComm::EmptyToReceiveBuffer() {
    try {
        EmptyToReceiveBufferOrThrow();
    } catch (const std::exception&) {
        receiveIndex_ = -1;
        fastResponseLength_ = -1;
    }
}

void clsComm::EmptyToReceiveBufferOrThrow() {
    receiveIndex_ = -1;
    fastResponseLength_ = -1;
    if (msComm_ != nullptr) {
        msComm_->SetInBufferCount(0);
    }
}

bool clsComm::ReadReceivedBytes(int timerAction) {
    if (msComm_ != nullptr && msComm_->InBufferCount() >= 1) {
        std::vector<std::uint8_t> bytes;
        try {
            bytes = msComm_->Input();
        } catch (const std::exception&) {
            bytes.clear();
        }
        for (std::uint8_t byte : bytes) {
            ++receiveIndex_;
            if (receiveIndex_ >= kReceiveBufferSize) {
                receiveIndex_ = 0;
            }
            receiveBuffer_[static_cast<std::size_t>(receiveIndex_)] = byte;
        }
    }
    if (timerAction == kRestartTimer) {
        SetFrameSpaceTimerEnable(true);
    } else if (timerAction != kLeaveTimer) {
        SetFrameSpaceTimerEnable(false);
    }
    return receiveIndex_ > 0;
}

std::vector<std::uint8_t> clsComm::GetReceivedBytes() const {
    if (receiveIndex_ < 0) {
        return {};
    }
    return std::vector<std::uint8_t>(receiveBuffer_.begin(),
                                     receiveBuffer_.begin() + receiveIndex_ + 1);
}

// --- Notifications and expiries --------------------------------------------------------

void clsComm::OnComm() {
    if (msComm_ == nullptr) {
        return;
    }
    const int event = msComm_->CommEvent();
    if (event == platform::ISerialControl::kEventReceive) {
        if (commFrameState_ != 3 && commFrameState_ != 4) {
            // The bytes stay in the control for a later notification. Before
            // the frame has left the port they cannot answer it.
            repliedBeforeSent_ |= commFrameState_ == 2 && msComm_->OutBufferCount() > 0;
            return;
        }
        ReadReceivedBytes(kLeaveTimer);
        commFrameState_ = 4;
        if (fastResponseLength_ >= 0 && fastResponseLength_ == receiveIndex_ &&
            mduGlobalModule::CheckCrc16(std::span<const std::uint8_t>(
                receiveBuffer_.data(), static_cast<std::size_t>(fastResponseLength_) + 1))) {
            // The whole expected reply is here and intact: end without
            // waiting for the gap.
            frameSpaceFlag_ = true;
            OnFrameSpaceTimer();
            return;
        }
        SetFrameSpaceTimerEnable(true);
    } else if (event == platform::ISerialControl::kEventSend) {
        if (commFrameState_ != 2) {
            return;
        }
        if (timeOutInterval_ == -1) {
            RaiseResponse(0, {});
        } else {
            commFrameState_ = 3;
        }
    }
}

void clsComm::OnFrameSpaceTimer() {
    StopTimersKeepFlags();
    if (!frameSpaceFlag_) {
        return;
    }
    SetFrameSpaceTimerEnable(false);
    ReadReceivedBytes(kStopTimer);
    std::vector<std::uint8_t> bytes = GetReceivedBytes();
    commFrameState_ = 1;
    RaiseResponse(1, bytes);
}

void clsComm::OnTimeOutTimer() {
    StopTimersKeepFlags();
    if (!timeOutFlag_) {
        return;
    }
    SetWaitTimeOutTimerEnable(false);
    std::vector<std::uint8_t> bytes;
    if (ReadReceivedBytes(kStopTimer)) {
        bytes = GetReceivedBytes();
    }
    commFrameState_ = 1;
    RaiseResponse(2, bytes);
}

void clsComm::RaiseResponse(std::int32_t event, const std::vector<std::uint8_t>& message) {
    if (auto handler = onResponse_) {
        handler(event, message);
    }
}
