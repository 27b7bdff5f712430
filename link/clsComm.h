#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ISerialControl.h"
#include "IWindowTimer.h"

// The serial driver: the only code that touches the serial port.
//
// The owner lends it a serial control and two window timers (frame space and
// reply time-out), sets the port number, then for each exchange selects the
// line state (1 = text at 9600 baud, 2 = binary link at 115200 baud), sends
// one frame with SendDataToUnit and waits for CommResponseMessage:
//   0 = the frame has left and no reply is awaited (empty message),
//   1 = a reply is complete,
//   2 = the reply time-out expired (the bytes when at least two arrived).
class clsComm {
  public:
    using ResponseHandler =
        std::function<void(std::int32_t vCommEvent, const std::vector<std::uint8_t>& vMessage)>;

    static constexpr int kReceiveBufferSize = 513;

    clsComm();
    ~clsComm();
    clsComm(const clsComm&) = delete;
    clsComm& operator=(const clsComm&) = delete;

    // The owner's objects; the driver never creates them. Attaching installs
    // the driver's expiry / notification handler; nullptr detaches. Attached
    // objects must outlive the driver (or be detached first): its destructor
    // closes the port and removes its handlers from them.
    platform::IWindowTimer* mFrameSpaceTimer() const { return frameSpaceTimer_; }
    void SetmFrameSpaceTimer(platform::IWindowTimer* timer);
    platform::IWindowTimer* mFrameTimeOutTimer() const { return timeOutTimer_; }
    void SetmFrameTimeOutTimer(platform::IWindowTimer* timer);
    platform::ISerialControl* mMsComm() const { return msComm_; }
    void SetmMsComm(platform::ISerialControl* control);
    // Attach a control and prime it (receive threshold 3, binary input).
    void SetaxMsComm(platform::ISerialControl* control);

    std::int16_t FastResponseLength() const { return fastResponseLength_; }
    bool CommTestFlag() const { return commTestFlag_; }
    void SetCommTestFlag(bool flag) { commTestFlag_ = flag; }

    bool FrameSpaceTimerEnable() const;
    void SetFrameSpaceTimerEnable(bool enable);
    bool WaitTimeOutTimerEnable() const;
    void SetWaitTimeOutTimerEnable(bool enable);

    std::int32_t CommuStats() const { return commuStats_; }
    // Runs the state change without a message and stores its result.
    void SetCommuStats(std::int32_t state);
    std::int32_t CommFrameState() const { return commFrameState_; }
    void SetCommFrameState(std::int32_t state) { commFrameState_ = state; }
    std::int16_t ComPort() const { return comPort_; }
    void SetComPort(std::int16_t port) { comPort_ = port; }

    // Runs the state change; stores the result only when vForceUpDateSts.
    // Errors never reach the caller, whatever vThrowError says.
    std::int32_t NewCommStats(std::int32_t vNewCommSts, bool vForceUpDateSts = false,
                              bool vThrowError = false, bool vShowMwssage = false);

    // Sends one frame and arms the reply handling. False (and nothing touched)
    // while a cycle runs or the port is not open in one of the two settings.
    // A port that refuses the frame (gone away while open) is given up: False,
    // link state 0, so that the next state change opens it afresh.
    bool SendDataToUnit(const std::vector<std::uint8_t>& vByteData,
                        std::int32_t vFrameSpaceInterval, std::int32_t vTimeOut,
                        std::int16_t vFastResponse);
    void EmptyToReceiveBuffer();

    // Bytes that no request of the current cycle can have called for: some
    // were waiting when its frame was handed over (and were thrown away), or
    // some came in while the frame was still waiting to leave the port (they
    // are delivered as the cycle's reply all the same). A reply carries no
    // request number; these tell its reader that the line is out of step.
    bool DroppedBeforeSend() const { return droppedBeforeSend_; }
    bool RepliedBeforeSent() const { return repliedBeforeSent_; }

    // The port fault of the last state change or send that failed, as the
    // operator reads it ("傳輸埠 (n) 控制異常 : ", what happened, what to do,
    // and the platform's description for support). Opening the port and
    // sending clear it.
    const std::string& LastPortFault() const { return lastPortFault_; }
    platform::PortFault LastPortFaultKind() const { return lastPortFaultKind_; }
    static std::string DescribePortFault(int port, platform::PortFault kind,
                                         const std::string& description);
    // A few words for a port in a list ("沒有使用權限").
    static std::string PortFaultReason(platform::PortFault kind);
    // What the operator can do about a fault of the kind, one sentence.
    static std::string PortFaultAdvice(platform::PortFault kind);

    // The CommResponseMessage event.
    void SetCommResponseMessage(ResponseHandler handler) { onResponse_ = std::move(handler); }

  private:
    std::int32_t ChangeCommStats(std::int32_t requested, bool showMessage);
    // The operator's text for a failure of the control; remembers its kind.
    std::string PortFaultText(const std::exception& error);
    void SetupCommPort(std::int16_t port);
    void ResetCommState();
    void CleanUpAfterFailure();
    void StopTimersKeepFlags();
    void EmptyToReceiveBufferOrThrow();
    bool ReadReceivedBytes(int timerAction);
    std::vector<std::uint8_t> GetReceivedBytes() const;
    void OnComm();
    void OnFrameSpaceTimer();
    void OnTimeOutTimer();
    void RaiseResponse(std::int32_t event, const std::vector<std::uint8_t>& message);

    std::int32_t commuStats_ = 0;
    std::int32_t commFrameState_ = 0;
    std::int16_t comPort_ = 1;
    std::int32_t frameSpaceInterval_ = 0;
    std::int32_t timeOutInterval_ = -1;
    bool frameSpaceFlag_ = false;
    bool timeOutFlag_ = false;
    std::array<std::uint8_t, kReceiveBufferSize> receiveBuffer_{};
    std::int16_t receiveIndex_ = -1;
    bool commTestFlag_ = false;
    std::int16_t fastResponseLength_ = -1;
    bool droppedBeforeSend_ = false;
    bool repliedBeforeSent_ = false;
    std::string lastPortFault_;
    platform::PortFault lastPortFaultKind_ = platform::PortFault::Other;

    platform::IWindowTimer* frameSpaceTimer_ = nullptr;
    platform::IWindowTimer* timeOutTimer_ = nullptr;
    platform::ISerialControl* msComm_ = nullptr;
    ResponseHandler onResponse_;
};
