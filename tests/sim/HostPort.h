#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The host's end of a pseudo-terminal, opened raw like a serial port.
class HostPort {
  public:
    using Bytes = std::vector<std::uint8_t>;
    struct Timed {
        std::chrono::steady_clock::time_point at;
        std::uint8_t byte;
    };

    HostPort(const std::string& path, speed_t speed);
    ~HostPort();
    HostPort(const HostPort&) = delete;
    HostPort& operator=(const HostPort&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool SetSpeed(speed_t speed);
    bool Write(const Bytes& bytes);
    // Waits until what was written has left (tcdrain).
    bool Drain();
    // Bytes as they arrive, until `done` holds for what came or timeoutMs
    // passes.
    std::vector<Timed> ReadTimed(const std::function<bool(const Bytes&)>& done, int timeoutMs);
    Bytes Read(const std::function<bool(const Bytes&)>& done, int timeoutMs);
    Bytes ReadLine(int timeoutMs);
    Bytes ReadCount(std::size_t count, int timeoutMs);
    // True when the other end hangs up within timeoutMs.
    bool SeesHangUp(int timeoutMs);

  private:
    int fd_ = -1;
};
