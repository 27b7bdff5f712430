#include "HostPort.h"

#include "Deadline.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

HostPort::HostPort(const std::string& path, speed_t speed) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ >= 0 && !SetSpeed(speed)) {
        close(fd_);
        fd_ = -1;
    }
}

HostPort::~HostPort() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool HostPort::SetSpeed(speed_t speed) {
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

bool HostPort::Write(const Bytes& bytes) {
    return fd_ >= 0 && write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

bool HostPort::Drain() {
    return fd_ >= 0 && tcdrain(fd_) == 0;
}

std::vector<HostPort::Timed> HostPort::ReadTimed(const std::function<bool(const Bytes&)>& done,
                                                 int timeoutMs) {
    std::vector<Timed> out;
    Bytes seen;
    const Deadline deadline(timeoutMs);
    while (fd_ >= 0 && !done(seen)) {
        pollfd fd{fd_, POLLIN, 0};
        if (poll(&fd, 1, deadline.RemainingMs()) <= 0 || (fd.revents & POLLIN) == 0) {
            break;
        }
        std::uint8_t chunk[512];
        const ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        for (ssize_t i = 0; i < n; ++i) {
            out.push_back({now, chunk[i]});
            seen.push_back(chunk[i]);
        }
    }
    return out;
}

HostPort::Bytes HostPort::Read(const std::function<bool(const Bytes&)>& done, int timeoutMs) {
    Bytes out;
    for (const Timed& t : ReadTimed(done, timeoutMs)) {
        out.push_back(t.byte);
    }
    return out;
}

HostPort::Bytes HostPort::ReadLine(int timeoutMs) {
    return Read([](const Bytes& b) { return !b.empty() && b.back() == '\n'; }, timeoutMs);
}

HostPort::Bytes HostPort::ReadCount(std::size_t count, int timeoutMs) {
    return Read([count](const Bytes& b) { return b.size() >= count; }, timeoutMs);
}

bool HostPort::SeesHangUp(int timeoutMs) {
    const Deadline deadline(timeoutMs);
    while (fd_ >= 0) {
        pollfd fd{fd_, POLLIN, 0};
        const int ready = poll(&fd, 1, deadline.RemainingMs());
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
