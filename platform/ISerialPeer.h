#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace platform {

// Something at the far end of an in-memory serial line (the simulated unit).
// Times are microseconds of the line's clock. A byte takes 10 bit times on
// the wire (start, 8 data, stop) at the speed its sender uses; the line hands
// bytes over when they have fully arrived. Bytes sent at one speed and
// received at another arrive garbled, as on a real cable.
class ISerialPeer {
  public:
    struct Transmission {
        std::vector<std::uint8_t> bytes;
        int baud = 9600;
    };

    virtual ~ISerialPeer() = default;

    // Bytes from the host that have arrived at the peer; hostBaud is the
    // speed the host sent them at.
    virtual void OnHostBytes(std::span<const std::uint8_t> bytes, int hostBaud,
                             std::int64_t nowUs) = 0;
    // When the peer next wants to transmit (or change state), -1 when idle.
    virtual std::int64_t NextDueUs() const = 0;
    // Called at or after NextDueUs(): what the peer starts transmitting now.
    virtual std::vector<Transmission> Poll(std::int64_t nowUs) = 0;
    // False once the cable is pulled (the device has gone away).
    virtual bool Connected() const = 0;
};

}  // namespace platform
