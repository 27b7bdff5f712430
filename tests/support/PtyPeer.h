#pragma once

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

// The far end of a pseudo-terminal for tests that need no unit protocol. It
// also holds a descriptor of the host's end, so that the host closing and
// re-opening it is no hang-up; only HangUp is.
class PtyPeer {
  public:
    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            path_ = ::ptsname(master_);
            held_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        }
        termios raw{};
        if (held_ >= 0 && ::tcgetattr(held_, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(held_, TCSANOW, &raw);
        }
    }
    ~PtyPeer() {
        ::close(held_);
        ::close(master_);
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Ok() const { return held_ >= 0; }
    const std::string& Path() const { return path_; }
    int Held() const { return held_; }

    bool Write(std::span<const std::uint8_t> bytes) {
        return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // The far end goes away: the host's reads fail with an I/O error.
    void HangUp() {
        ::close(master_);
        master_ = -1;
    }

    std::vector<std::uint8_t> ReadAvailable() {
        std::vector<std::uint8_t> bytes;
        std::uint8_t buffer[512];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

  private:
    int master_ = -1;
    int held_ = -1;
    std::string path_;
};
