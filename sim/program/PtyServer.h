#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "SimulatedUnit.h"

namespace sim {

// Puts a SimulatedUnit on a pseudo-terminal. The host opens the terminal's
// device (DevicePath) as if it were the unit's serial port.
//
// The server holds a descriptor of the device itself, so a host that closes
// and re-opens the port does not hang the terminal up, and so that the line
// speed the host sets can be read back. Time on the unit's clock is
// microseconds since Open.
class PtyServer {
  public:
    struct Options {
        bool pace = false;
        bool anyBaud = false;
        std::string linkPath;
        std::int64_t exitAfterMs = -1;
    };

    PtyServer(SimulatedUnit& unit, Options options);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the terminal (raw, 9600 baud) and the link. False with a reason.
    bool Open(std::string& error);
    const std::string& DevicePath() const { return devicePath_; }

    // Serves until `stopFd` becomes readable or the exit time is reached.
    // Returns the exit status.
    int Run(int stopFd);

  private:
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        int baud = 0;
        std::size_t sent = 0;
        std::int64_t startUs = 0;
    };

    std::int64_t NowUs() const;
    // The speed the host set on its end, 0 when it cannot be read.
    int HostBaud() const;
    void Queue(platform::ISerialPeer::Transmission tx, std::int64_t nowUs);
    // Writes what is due; the time the next paced byte is due, or -1.
    std::int64_t Flush(std::int64_t nowUs, bool& blocked);
    void ReadHost();
    void CloseTerminal();
    void Note(const std::string& text);

    SimulatedUnit& unit_;
    Options options_;
    int master_ = -1;
    int keeper_ = -1;
    std::string devicePath_;
    bool linked_ = false;
    std::int64_t startNs_ = 0;
    std::deque<Chunk> out_;
    std::int64_t lineFreeUs_ = 0;
};

}  // namespace sim
