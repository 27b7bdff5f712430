#include "PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

constexpr std::int64_t kBitsPerByteUs = 10'000'000;  // 10 bit times, in us x baud
// Paced bytes go to the terminal in batches of about a millisecond's worth
// (one byte at 9600 baud, eleven at 115200): fewer wake-ups, each of which
// may come a little late, and a short reply's last byte on time.
constexpr std::int64_t kPaceBatchUs = 1000;
// How long a paced unit stays awake after a reply (the host's next request
// normally follows within a tenth of a millisecond) and before a due byte.
constexpr std::int64_t kAwakeAfterReplyUs = 2000;
constexpr std::int64_t kAwakeBeforeDueUs = 300;

int SpeedToBaud(speed_t speed) {
    static constexpr std::array<std::pair<speed_t, int>, 13> kSpeeds{{
        {B300, 300},
        {B600, 600},
        {B1200, 1200},
        {B2400, 2400},
        {B4800, 4800},
        {B9600, 9600},
        {B19200, 19200},
        {B38400, 38400},
        {B57600, 57600},
        {B115200, 115200},
        {B230400, 230400},
        {B460800, 460800},
        {B921600, 921600},
    }};
    for (const auto& [code, baud] : kSpeeds) {
        if (code == speed) {
            return baud;
        }
    }
    return 0;
}

std::int64_t Earliest(std::int64_t a, std::int64_t b) {
    if (a < 0) {
        return b;
    }
    if (b < 0) {
        return a;
    }
    return std::min(a, b);
}

}  // namespace

PtyServer::PtyServer(SimulatedUnit& unit, Options options)
    : unit_(unit), options_(std::move(options)) {}

PtyServer::~PtyServer() {
    CloseTerminal();
    if (linked_) {
        unlink(options_.linkPath.c_str());
    }
}

bool PtyServer::Open(std::string& error) {
    const auto fail = [&error](const std::string& what) {
        error = what + ": " + std::strerror(errno);
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        return fail("posix_openpt");
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        return fail("grantpt/unlockpt");
    }
    const char* name = ptsname(master_);
    if (name == nullptr) {
        return fail("ptsname");
    }
    devicePath_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    // Packet mode: changes of the host's settings come as notices between
    // the data (with EXTPROC set below). Without it the speed is still read
    // on every wake-up.
    int on = 1;
    packet_ = ioctl(master_, TIOCPKT, &on) == 0;

    // Our own hold on the device: keeps the terminal up while no host has it
    // open, and is where the host's line settings can be read.
    keeper_ = open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (keeper_ < 0) {
        return fail("open " + devicePath_);
    }
    termios settings{};
    if (tcgetattr(keeper_, &settings) != 0) {
        return fail("tcgetattr");
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
#ifdef EXTPROC
    settings.c_lflag |= EXTPROC;  // a host keeps it when it makes the line raw
#endif
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(keeper_, TCSANOW, &settings) != 0) {
        return fail("tcsetattr");
    }
    lineBaud_ = HostBaud();

    if (!options_.linkPath.empty()) {
        struct stat existing {};
        if (lstat(options_.linkPath.c_str(), &existing) == 0) {
            if (!S_ISLNK(existing.st_mode)) {
                error = options_.linkPath + " exists and is not a symbolic link";
                return false;
            }
            unlink(options_.linkPath.c_str());
        }
        if (symlink(devicePath_.c_str(), options_.linkPath.c_str()) != 0) {
            return fail("symlink " + options_.linkPath);
        }
        linked_ = true;
    }
    // Paced bytes are due to the microsecond: no timer slack on our wake-ups.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    startNs_ = std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
                   .count();
    return true;
}

std::int64_t PtyServer::NowUs() const {
    const std::int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
    return (ns - startNs_) / 1000;
}

int PtyServer::HostBaud() const {
    termios settings{};
    if (keeper_ < 0 || tcgetattr(keeper_, &settings) != 0) {
        return 0;
    }
    return SpeedToBaud(cfgetospeed(&settings));
}

void PtyServer::Queue(platform::ISerialPeer::Transmission tx, std::int64_t nowUs) {
    const int host = HostBaud();
    if (!options_.anyBaud && host != 0 && host != tx.baud) {
        // A receiver at the wrong speed samples the bits at the wrong
        // places: what arrives has nothing to do with what was sent.
        for (std::uint8_t& b : tx.bytes) {
            b ^= 0xA5;
        }
        LogEntry entry;
        entry.timeUs = nowUs;
        entry.kind = LogEntry::Kind::Line;
        entry.baud = host;
        entry.note = "reply sent at " + std::to_string(tx.baud) + " while the host listens at " +
                     std::to_string(host) + ": garbled";
        unit_.Log().Add(std::move(entry));
    }
    Chunk chunk;
    chunk.baud = options_.pace && host != 0 ? host : tx.baud;
    chunk.startUs = options_.pace ? std::max(nowUs, lineFreeUs_) : nowUs;
    const auto count = static_cast<std::int64_t>(tx.bytes.size());
    chunk.bytes = std::move(tx.bytes);
    lineFreeUs_ = chunk.startUs + (count * kBitsPerByteUs + chunk.baud - 1) / chunk.baud;
    if (options_.holdBackUs > 0) {
        // Held in the adapter: all of it reaches the host at once, later.
        chunk.startUs = (options_.pace ? lineFreeUs_ : nowUs) + options_.holdBackUs;
        chunk.whole = true;
    }
    out_.push_back(std::move(chunk));
}

std::int64_t PtyServer::Flush(std::int64_t nowUs, bool& blocked) {
    blocked = false;
    while (!out_.empty()) {
        Chunk& chunk = out_.front();
        if (chunk.startUs > nowUs) {
            return chunk.startUs;
        }
        std::size_t due = chunk.bytes.size();
        const bool paced = options_.pace && !chunk.whole;
        if (paced) {
            // A byte reaches the host when its last bit has: the bytes whose
            // wire time has passed are due.
            const std::int64_t elapsed = nowUs - chunk.startUs;
            due = std::min<std::size_t>(
                due, static_cast<std::size_t>(elapsed * chunk.baud / kBitsPerByteUs));
        }
        if (due > chunk.sent) {
            const ssize_t n = write(master_, chunk.bytes.data() + chunk.sent, due - chunk.sent);
            if (n < 0) {
                blocked = errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
                if (!blocked) {
                    out_.clear();
                }
                return -1;
            }
            chunk.sent += static_cast<std::size_t>(n);
            if (chunk.sent < due) {
                blocked = true;
                return -1;
            }
        }
        if (chunk.sent == chunk.bytes.size()) {
            if (options_.pace) {
                // When the reply's last byte reached the host, for timing.
                lastWrittenUs_ = NowUs();
                LogEntry written;
                written.timeUs = lastWrittenUs_;
                written.kind = LogEntry::Kind::Line;
                written.note = "written";
                unit_.Log().Add(std::move(written));
            }
            out_.pop_front();
            continue;
        }
        // Wake when the next batch of bytes (or the rest, when few are left)
        // has come off the wire: one wake-up for a short reply, so that its
        // last byte is on time.
        const auto batch = static_cast<std::size_t>(
            std::max<std::int64_t>(1, kPaceBatchUs * chunk.baud / kBitsPerByteUs));
        const std::size_t next = std::min(chunk.bytes.size(), chunk.sent + batch);
        const auto until = static_cast<std::int64_t>(
            chunk.bytes.size() - next < batch ? chunk.bytes.size() : next);
        return chunk.startUs + (until * kBitsPerByteUs + chunk.baud - 1) / chunk.baud;
    }
    return -1;
}

void PtyServer::ReadHost() {
    // Speeds around the newest change notice: `before` for bytes written
    // before it, `after` as read when it came.
    int before = lineBaud_;
    int after = lineBaud_;
    bool notice = false;
    std::vector<std::uint8_t> segment;  // bytes since the newest notice
    std::array<std::uint8_t, 4096> buffer{};
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t n = read(master_, buffer.data(), buffer.size());
        if (n <= 0) {
            break;  // all read (EAGAIN), or nobody on the other end
        }
        const auto count = static_cast<std::size_t>(n);
        if (!packet_) {
            segment.insert(segment.end(), buffer.begin(), buffer.begin() + n);
        } else if (buffer[0] == TIOCPKT_DATA) {
            segment.insert(segment.end(), buffer.begin() + 1, buffer.begin() + n);
        } else if (count == 1 && (buffer[0] & TIOCPKT_IOCTL) != 0) {
            Deliver(segment, before, after, NowUs());
            segment.clear();
            before = after;
            after = HostBaud();
            notice = true;
        }
    }
    const int now = HostBaud();
    Deliver(segment, notice ? before : lineBaud_, now, NowUs());
    lineBaud_ = now;
}

std::int64_t PtyServer::Arrival(std::size_t count, int baud, std::int64_t readUs) {
    if (!options_.pace || baud <= 0) {
        return readUs;
    }
    // The bytes left the host when they were read (or after the ones before
    // them) and take their wire time to arrive.
    const auto bits = static_cast<std::int64_t>(count) * kBitsPerByteUs;
    hostFreeUs_ = std::max(readUs, hostFreeUs_) + (bits + baud - 1) / baud;
    return hostFreeUs_;
}

void PtyServer::Deliver(std::span<const std::uint8_t> bytes, int earlier, int later,
                        std::int64_t nowUs) {
    if (bytes.empty()) {
        return;
    }
    unit_.NoteHostRead(nowUs);
    if (options_.anyBaud || (earlier == 0 && later == 0)) {
        unit_.OnHostBytes(bytes, unit_.Baud(), Arrival(bytes.size(), unit_.Baud(), nowUs));
        return;
    }
    earlier = earlier != 0 ? earlier : later;
    later = later != 0 ? later : earlier;
    if (earlier == later) {
        unit_.OnHostBytes(bytes, later, Arrival(bytes.size(), later, nowUs));
        return;
    }
    // A change lies somewhere among the bytes: the leading whole messages
    // that the unit takes at the earlier speed went out before it.
    std::size_t taken = 0;
    while (taken < bytes.size()) {
        const std::size_t length = unit_.WholeMessageLength(bytes.subspan(taken), earlier, nowUs);
        if (length == 0) {
            break;
        }
        unit_.OnHostBytes(bytes.subspan(taken, length), earlier, Arrival(length, earlier, nowUs));
        taken += length;
    }
    Note("host changed its speed from " + std::to_string(earlier) + " to " + std::to_string(later) +
         " around " + std::to_string(bytes.size()) + " bytes: " + std::to_string(taken) +
         " taken as sent at " + std::to_string(earlier));
    if (taken < bytes.size()) {
        unit_.OnHostBytes(bytes.subspan(taken), later, Arrival(bytes.size() - taken, later, nowUs));
    }
}

void PtyServer::CloseTerminal() {
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
    if (keeper_ >= 0) {
        close(keeper_);
        keeper_ = -1;
    }
    out_.clear();
}

void PtyServer::Note(const std::string& text) {
    LogEntry entry;
    entry.timeUs = NowUs();
    entry.kind = LogEntry::Kind::Line;
    entry.note = text;
    unit_.Log().Add(std::move(entry));
}

int PtyServer::Run(int stopFd) {
    const std::int64_t exitUs = options_.exitAfterMs >= 0 ? options_.exitAfterMs * 1000 : -1;
    std::int64_t quietUntilUs = -1;  // back-off after a hang-up seen on the terminal
    for (;;) {
        std::int64_t nowUs = NowUs();
        if (exitUs >= 0 && nowUs >= exitUs) {
            return 0;
        }
        if (master_ >= 0) {
            const std::int64_t due = unit_.NextDueUs();
            if (due >= 0 && due <= nowUs) {
                for (auto& tx : unit_.Poll(nowUs)) {
                    Queue(std::move(tx), nowUs);
                }
            }
            if (!unit_.Connected()) {
                CloseTerminal();
                Note("the unit has left the line: terminal closed");
            }
        }
        bool blocked = false;
        std::int64_t wakeUs = master_ >= 0 ? Flush(nowUs, blocked) : -1;
        if (master_ >= 0) {
            wakeUs = Earliest(wakeUs, unit_.NextDueUs());
        }
        wakeUs = Earliest(wakeUs, exitUs);
        wakeUs = Earliest(wakeUs, quietUntilUs);

        std::array<pollfd, 2> fds{};
        fds[0] = {stopFd, POLLIN, 0};
        nfds_t count = 1;
        const bool listen = master_ >= 0 && (quietUntilUs < 0 || nowUs >= quietUntilUs);
        if (listen) {
            quietUntilUs = -1;
            fds[1] = {master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
            count = 2;
        }
        // Wake-ups to the microsecond: a paced byte or reply is due then.
        // Paced, the unit is a device that does not sleep: just after it has
        // answered and just before a byte is due it watches the line without
        // waiting on the system's timers, whose wake-ups on an idle (virtual)
        // machine can come several hundred microseconds late.
        const bool awake = options_.pace && !options_.paceSleeps &&
                           (nowUs - lastWrittenUs_ < kAwakeAfterReplyUs ||
                            (wakeUs >= 0 && wakeUs - nowUs < kAwakeBeforeDueUs));
        timespec timeout{};
        const std::int64_t waitUs =
            awake ? 0 : (wakeUs < 0 ? -1 : std::clamp<std::int64_t>(wakeUs - nowUs, 0, 60'000'000));
        timeout.tv_sec = static_cast<time_t>(waitUs / 1'000'000);
        timeout.tv_nsec = static_cast<long>((waitUs % 1'000'000) * 1000);
        if (ppoll(fds.data(), count, waitUs < 0 ? nullptr : &timeout, nullptr) < 0 &&
            errno != EINTR) {
            Note(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return 0;
        }
        if (count == 2) {
            if ((fds[1].revents & POLLIN) == 0 && (fds[1].revents & (POLLHUP | POLLERR)) != 0) {
                // Nobody holds the other end (should not happen while we keep
                // our own descriptor): look again a little later rather than spin.
                quietUntilUs = NowUs() + 20'000;
            } else {
                // Also on a wake-up without bytes: the host's speed is kept
                // up to date for the bytes that come next.
                ReadHost();
            }
        }
    }
}

}  // namespace sim
