#pragma once

#include <cstdint>
#include <deque>
#include <span>
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
//
// Line speed. On a real line every byte travels at the speed set when it was
// written; a pseudo-terminal carries no speed with its bytes, and the host
// may change its settings (or close the port, which puts them back) right
// after writing, before this program has read what it wrote. So the server
// keeps track of the host's speed rather than reading it once per batch:
//   - the terminal runs in packet mode with EXTPROC set on the host's side,
//     so that every change of the host's settings also arrives as a notice
//     in the byte stream: bytes read before a notice were written before
//     that change, and a change wakes the server even while no bytes flow;
//   - the speed is read back on every wake-up, after the bytes waiting
//     then, and kept as the speed of the bytes that follow;
//   - bytes read after a change the server had not yet seen may still have
//     been written before it. Of those, the leading ones that make whole
//     messages the unit takes at the earlier speed (a sentence with its
//     check digits, a request with an intact CRC) count at that speed, the
//     rest at the new one.
// EXTPROC tells the terminal that input editing happens elsewhere: a host
// that opens the port raw, as serial programs do, sees no difference; one
// that does not gets the unit's bytes unedited and without echo. A host that
// clears EXTPROC loses the notices but not the rest.
class PtyServer {
  public:
    struct Options {
        bool pace = false;
        bool anyBaud = false;
        std::string linkPath;
        std::int64_t exitAfterMs = -1;
        // A USB adapter that holds received bytes back: every reply reaches
        // the host this long after its last byte came off the wire.
        std::int64_t holdBackUs = 0;
        // Paced without watching the line between bytes (see Run).
        bool paceSleeps = false;
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
        bool whole = false;  // written at once at startUs (held back)
    };

    std::int64_t NowUs() const;
    // The speed the host set on its end, 0 when it cannot be read.
    int HostBaud() const;
    void Queue(platform::ISerialPeer::Transmission tx, std::int64_t nowUs);
    // Paced: when host bytes read at readUs have come off the wire.
    std::int64_t Arrival(std::size_t count, int baud, std::int64_t readUs);
    // Writes what is due; the time the next paced byte is due, or -1.
    std::int64_t Flush(std::int64_t nowUs, bool& blocked);
    // Reads what the host has written, hands it to the unit at the speed it
    // was sent at (see the class comment) and brings lineBaud_ up to date.
    void ReadHost();
    // Bytes written while the host's speed went from `earlier` to `later`
    // (the same when no change lies among them).
    void Deliver(std::span<const std::uint8_t> bytes, int earlier, int later, std::int64_t nowUs);
    void CloseTerminal();
    void Note(const std::string& text);

    SimulatedUnit& unit_;
    Options options_;
    int master_ = -1;
    int keeper_ = -1;
    std::string devicePath_;
    bool linked_ = false;
    bool packet_ = false;  // the terminal reports setting changes in its byte stream
    int lineBaud_ = 0;     // the host's speed when last looked at, 0 unknown
    std::int64_t startNs_ = 0;
    std::deque<Chunk> out_;
    std::int64_t lineFreeUs_ = 0;
    // Paced: when the last host byte handed to the unit has come off the
    // wire (bytes cannot arrive faster than the line's speed).
    std::int64_t hostFreeUs_ = 0;
    std::int64_t lastWrittenUs_ = -1'000'000;  // paced: when the last reply was complete
};

}  // namespace sim
