#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Milliseconds left until `end`, 0 once it has passed.
inline int MsUntil(std::chrono::steady_clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

inline std::chrono::steady_clock::time_point MsFromNow(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

// The host's end of a pseudo-terminal, opened raw like a serial port.
class HostPort {
  public:
    using Bytes = std::vector<std::uint8_t>;

    HostPort(const std::string& path, speed_t speed)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        if (fd_ >= 0 && !SetSpeed(speed)) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~HostPort() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    HostPort(const HostPort&) = delete;
    HostPort& operator=(const HostPort&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool SetSpeed(speed_t speed) {
        termios settings{};
        if (tcgetattr(fd_, &settings) != 0) {
            return false;
        }
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
        return tcsetattr(fd_, TCSANOW, &settings) == 0;
    }
    bool Write(const Bytes& bytes) {
        return fd_ >= 0 &&
               write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Waits until what was written has left (tcdrain).
    bool Drain() { return fd_ >= 0 && tcdrain(fd_) == 0; }
    // Bytes as they arrive, until `done` holds for what came or timeoutMs
    // passes; when each came, into `times`.
    Bytes Read(const std::function<bool(const Bytes&)>& done, int timeoutMs,
               std::vector<std::chrono::steady_clock::time_point>* times = nullptr) {
        Bytes seen;
        const auto end = MsFromNow(timeoutMs);
        while (fd_ >= 0 && !done(seen)) {
            pollfd fd{fd_, POLLIN, 0};
            if (poll(&fd, 1, MsUntil(end)) <= 0 || (fd.revents & POLLIN) == 0) {
                break;
            }
            std::uint8_t chunk[512];
            const ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            seen.insert(seen.end(), chunk, chunk + n);
            if (times != nullptr) {
                times->resize(seen.size(), std::chrono::steady_clock::now());
            }
        }
        return seen;
    }
    Bytes ReadLine(int timeoutMs,
                   std::vector<std::chrono::steady_clock::time_point>* times = nullptr) {
        return Read([](const Bytes& b) { return !b.empty() && b.back() == '\n'; }, timeoutMs,
                    times);
    }
    Bytes ReadCount(std::size_t count, int timeoutMs) {
        return Read([count](const Bytes& b) { return b.size() >= count; }, timeoutMs);
    }
    // True when the other end hangs up within timeoutMs.
    bool SeesHangUp(int timeoutMs) {
        const auto end = MsFromNow(timeoutMs);
        while (fd_ >= 0) {
            pollfd fd{fd_, POLLIN, 0};
            const int ready = poll(&fd, 1, MsUntil(end));
            if (ready <= 0) {
                return false;
            }
            if ((fd.revents & (POLLHUP | POLLERR)) != 0) {
                return true;
            }
            std::uint8_t chunk[64];
            const ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n == 0 || (n < 0 && errno == EIO)) {
                return true;
            }
        }
        return false;
    }

  private:
    int fd_ = -1;
};
