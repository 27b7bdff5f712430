// Placeholder so that the window and the tests can link against the driver's
// interface while the driver itself is being written. Replace in full.
#include "clsComm.h"

clsComm::clsComm() = default;
clsComm::~clsComm() = default;
void clsComm::SetmFrameSpaceTimer(platform::IWindowTimer* timer) { frameSpaceTimer_ = timer; }
void clsComm::SetmFrameTimeOutTimer(platform::IWindowTimer* timer) { timeOutTimer_ = timer; }
void clsComm::SetmMsComm(platform::ISerialControl* control) { msComm_ = control; }
void clsComm::SetaxMsComm(platform::ISerialControl* control) { msComm_ = control; }
bool clsComm::FrameSpaceTimerEnable() const { return false; }
void clsComm::SetFrameSpaceTimerEnable(bool) {}
bool clsComm::WaitTimeOutTimerEnable() const { return false; }
void clsComm::SetWaitTimeOutTimerEnable(bool) {}
void clsComm::SetCommuStats(std::int32_t) {}
std::int32_t clsComm::NewCommStats(std::int32_t, bool, bool, bool) { return commuStats_; }
bool clsComm::SendDataToUnit(const std::vector<std::uint8_t>&, std::int32_t, std::int32_t,
                             std::int16_t) {
    return false;
}
void clsComm::EmptyToReceiveBuffer() {}
