#pragma once

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

// The far end of a pseudo-terminal for tests that need no unit protocol: the
// test reads what the host wrote when it wants to, and can hang up. It holds
// a descriptor of the terminal's own end as well, so that the host closing
// and re-opening it is no hang-up.
class PtyPeer {
  public:
    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return;
        }
        path_ = ::ptsname(master_);
        held_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios raw{};
        if (held_ >= 0 && ::tcgetattr(held_, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(held_, TCSANOW, &raw);
        }
    }
    ~PtyPeer() { HangUp(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Ok() const { return master_ >= 0 && held_ >= 0; }
    const std::string& Path() const { return path_; }

    std::vector<std::uint8_t> ReadAvailable() {
        std::vector<std::uint8_t> bytes;
        std::uint8_t buffer[512];
        ssize_t n;
        while (master_ >= 0 && (n = ::read(master_, buffer, sizeof buffer)) > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }
    void Write(std::span<const std::uint8_t> bytes) {
        if (master_ >= 0 && ::write(master_, bytes.data(), bytes.size()) < 0) {
            std::abort();
        }
    }
    // The device goes away: the host's end sees a hang-up.
    void HangUp() {
        if (held_ >= 0) {
            ::close(held_);
            held_ = -1;
        }
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

  private:
    int master_ = -1;
    int held_ = -1;
    std::string path_;
};
