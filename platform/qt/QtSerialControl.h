#pragma once

#include <QObject>
#include <QSerialPort>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ISerialControl.h"
#include "LineSettings.h"
#include "SerialControlOptions.h"
#include "SerialPortList.h"

namespace platform {

// The serial control on a real port (or anything that behaves as one, such
// as a pseudo-terminal), for the serial driver.
//
// Port numbers and the devices behind them are SerialPortList's.
//
// Notifications come through the Qt event loop, never from inside a property
// access: the send notification once a frame has been handed to the
// operating system in full, the receive notification while at least
// RThreshold bytes are waiting (offered again after a send notification, so
// a reply that overtook it is collected at once). Discarding output only
// drops bytes not yet handed to the operating system, so a frame that was
// reported as sent is never thrown away. A device that goes away while open
// closes the port; the next open reports it missing.
class QtSerialControl final : public QObject, public ISerialControl {
    Q_OBJECT

  public:
    explicit QtSerialControl(QObject* parent = nullptr);
    ~QtSerialControl() override;

    // ISerialControl
    int CommPort() const override { return commPort_; }
    void SetCommPort(int port) override;
    std::string Settings() const override { return settings_; }
    void SetSettings(const std::string& settings) override;
    bool PortOpen() const override;
    void SetPortOpen(bool open) override;
    int InBufferSize() const override { return options_.inBufferSize; }
    void SetInBufferSize(int size) override { options_.inBufferSize = size; }
    int OutBufferSize() const override { return options_.outBufferSize; }
    void SetOutBufferSize(int size) override { options_.outBufferSize = size; }
    int InBufferCount() const override;
    void SetInBufferCount(int count) override;
    int OutBufferCount() const override;
    void SetOutBufferCount(int count) override;
    int InputMode() const override { return options_.inputMode; }
    void SetInputMode(int mode) override { options_.inputMode = mode; }
    int RThreshold() const override { return options_.rThreshold; }
    void SetRThreshold(int threshold) override { options_.rThreshold = threshold; }
    int SThreshold() const override { return options_.sThreshold; }
    void SetSThreshold(int threshold) override { options_.sThreshold = threshold; }
    std::string ParityReplace() const override { return options_.parityReplace; }
    void SetParityReplace(const std::string& text) override { options_.parityReplace = text; }
    bool DTREnable() const override { return options_.dtrEnable; }
    void SetDTREnable(bool enable) override;
    bool NullDiscard() const override { return options_.nullDiscard; }
    void SetNullDiscard(bool discard) override { options_.nullDiscard = discard; }
    bool EOFEnable() const override { return options_.eofEnable; }
    void SetEOFEnable(bool enable) override { options_.eofEnable = enable; }
    int Handshaking() const override { return options_.handshaking; }
    void SetHandshaking(int mode) override;
    std::vector<std::uint8_t> Input() override;
    void Output(std::span<const std::uint8_t> bytes) override;
    int CommEvent() const override { return commEvent_; }
    void SetOnComm(std::function<void()> handler) override { onComm_ = std::move(handler); }

    // --- Port numbers (SerialPortList) ---------------------------------------

    static std::string DeviceForPort(int port) { return SerialPortList::DeviceForPort(port); }
    PortFacts DescribePort(int port) const override { return SerialPortList::DescribePort(port); }
    std::vector<PortFacts> DescribePorts(int count) const override {
        return SerialPortList::DescribePorts(count);
    }
    std::string DeviceName(int port) const override { return DeviceForPort(port); }
    static std::vector<std::string> SerialDevices() { return SerialPortList::SerialDevices(); }
    static std::vector<std::string> OrderDeviceNames(std::vector<std::string> names) {
        return SerialPortList::OrderDeviceNames(std::move(names));
    }

    // --- Diagnostics -----------------------------------------------------------

    // The device the last open used.
    const std::string& Device() const { return device_; }
    // Whether the port granted the low-latency request at the last open, and
    // what the operating system answered.
    bool LowLatencyGranted() const { return lowLatencyGranted_; }
    const std::string& LowLatencyAnswer() const { return lowLatencyAnswer_; }

  private:
    void Open();
    void Close();
    void ApplyLineSettings(const LineSettings& line);
    void RequestLowLatency();
    // Takes the device for this control alone, else closes it and throws
    // the busy fault.
    void LockDevice();
    std::string DescribeOpenFailure(QSerialPort::SerialPortError error, PortFault& kind) const;
    void OnReadyRead();
    void OnBytesWritten(qint64 bytes);
    void OnErrorOccurred(QSerialPort::SerialPortError error);
    bool HungUp() const;
    void CheckReceiveLevel();
    void Post(int event);
    void Deliver(int event, std::uint64_t session);

    QSerialPort port_;
    int commPort_ = 1;
    std::string settings_ = "9600,N,8,1";
    LineSettings line_;
    SerialControlOptions options_;
    int commEvent_ = 0;
    std::function<void()> onComm_;
    bool delivering_ = false;  // a notification is being handled
    bool writing_ = false;     // inside Output: the port may report the write at once

    std::string device_;
    bool lowLatencyGranted_ = false;
    std::string lowLatencyAnswer_;
    // Bumped on every open and close, so that a notification queued for one
    // opening is never delivered to the next.
    std::uint64_t session_ = 0;
    bool receivePending_ = false;
    bool sendPending_ = false;
    bool closePending_ = false;
    // Why the port was let go of when its device went away (empty otherwise):
    // what a send is refused with until the next open.
    std::string goneReason_;
};

}  // namespace platform
