#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "PortFacts.h"

namespace platform {

// What kind of failure a port had, for the operator's text.
enum class PortFault {
    Other,
    Gone,              // the device went away while the port was open
    NoDevice,          // no device behind the number, or it vanished before opening
    PermissionDenied,  // the user may not use the device
    Busy,              // another program holds it
};

// A failure of the serial control (port missing, busy, no permission, refused
// setting, operation on a closed port). what() is the platform's own
// description, shown to the operator for support beside a text of its kind.
class SerialControlError : public std::runtime_error {
  public:
    explicit SerialControlError(const std::string& what, PortFault kind = PortFault::Other)
        : std::runtime_error(what), kind_(kind) {}
    PortFault Kind() const { return kind_; }

  private:
    PortFault kind_;
};

// The serial communications control that the window lends to the serial
// driver: the properties and the one notification the driver uses. Property
// writes that the port cannot honour throw SerialControlError; reads never
// throw.
class ISerialControl {
  public:
    // CommEvent values.
    static constexpr int kEventSend = 1;     // output buffer drained (SThreshold 1)
    static constexpr int kEventReceive = 2;  // at least RThreshold bytes waiting

    virtual ~ISerialControl() = default;

    virtual int CommPort() const = 0;
    virtual void SetCommPort(int port) = 0;  // throws while the port is open

    // Line settings text such as "9600,N,8,1" (baud, parity, data bits, stop bits).
    virtual std::string Settings() const = 0;
    virtual void SetSettings(const std::string& settings) = 0;

    virtual bool PortOpen() const = 0;
    virtual void SetPortOpen(bool open) = 0;  // opening may throw

    virtual int InBufferSize() const = 0;
    virtual void SetInBufferSize(int size) = 0;
    virtual int OutBufferSize() const = 0;
    virtual void SetOutBufferSize(int size) = 0;

    // Bytes waiting to be read; writing 0 discards them.
    virtual int InBufferCount() const = 0;
    virtual void SetInBufferCount(int count) = 0;
    // Bytes not yet sent; writing 0 discards them.
    virtual int OutBufferCount() const = 0;
    virtual void SetOutBufferCount(int count) = 0;

    virtual int InputMode() const = 0;  // 1 = binary
    virtual void SetInputMode(int mode) = 0;
    virtual int RThreshold() const = 0;
    virtual void SetRThreshold(int threshold) = 0;
    virtual int SThreshold() const = 0;
    virtual void SetSThreshold(int threshold) = 0;
    virtual std::string ParityReplace() const = 0;
    virtual void SetParityReplace(const std::string& text) = 0;
    virtual bool DTREnable() const = 0;
    virtual void SetDTREnable(bool enable) = 0;
    virtual bool NullDiscard() const = 0;
    virtual void SetNullDiscard(bool discard) = 0;
    virtual bool EOFEnable() const = 0;
    virtual void SetEOFEnable(bool enable) = 0;
    virtual int Handshaking() const = 0;  // 0 = none
    virtual void SetHandshaking(int mode) = 0;

    // All waiting bytes, removed from the input buffer.
    virtual std::vector<std::uint8_t> Input() = 0;
    // Queues bytes for sending.
    virtual void Output(std::span<const std::uint8_t> bytes) = 0;

    // The event being notified, read inside the OnComm handler.
    virtual int CommEvent() const = 0;
    // The notification, delivered on the GUI thread, never from inside a
    // property access.
    virtual void SetOnComm(std::function<void()> handler) = 0;

    // What the system knows of the device behind a port number (for the
    // operator, not for the driver). Unknown by default.
    virtual PortFacts DescribePort(int /*port*/) const { return {}; }
    // Only the device behind a port ("" for none), which may cost less.
    virtual std::string DeviceName(int port) const { return DescribePort(port).device; }
    // The same for ports 1 to `count`, where the system allows in one look
    // at its devices (a port list would otherwise ask it once a port).
    virtual std::vector<PortFacts> DescribePorts(int count) const {
        std::vector<PortFacts> all;
        for (int port = 1; port <= count; ++port) {
            all.push_back(DescribePort(port));
        }
        return all;
    }
};

}  // namespace platform
