// What a host of the block exchange costs at the least, whatever it does with
// the blocks: a child on a pseudo-terminal plays a unit paced at 115200 baud
// (it takes a 232-byte request in its wire time, then sends a 5-byte reply in
// one write once its wire time has passed, as gpsunit-sim --pace-sleeps does:
// it writes a millisecond's worth of bytes at a time), and the parent sends
// the next request as soon as a reply is whole. The parent's processor time
// per block is the floor for one process per port on this machine:
//   wake_floor qt [BLOCKS]     the parent is a Qt event loop with QSerialPort
//   wake_floor qt-whole [BLOCKS]  the same, woken only once a reply is whole
//                              (the terminal's VMIN set to the reply length)
//   wake_floor qt-direct [BLOCKS]  a Qt event loop that reads and writes the
//                              terminal itself (a socket notifier, read(),
//                              write()), woken only once a reply is whole
//   wake_floor poll [BLOCKS]   the parent is a bare poll() loop
//   wake_floor poll-whole [BLOCKS]  the same, woken only once a reply is whole
// A third argument `bytes` makes the unit send its reply a byte at a time
// instead (a wake-up per byte, as over a line without an adapter's buffer).
// Run it beside lowest-priority spinners to compare with the station bench.

#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QSerialPort>
#include <QSocketNotifier>

namespace {

constexpr int kRequest = 232;
constexpr int kReply = 5;
constexpr long kByteNs = 86'806;  // 10 bit times at 115200 baud

void SleepNs(long ns) {
    timespec t{ns / 1'000'000'000, ns % 1'000'000'000};
    nanosleep(&t, nullptr);
}

// The paced unit, on the master side of the terminal.
[[noreturn]] void Unit(int master, int blocks, bool bytewise) {
    std::vector<char> request(kRequest);
    for (int block = 0; block < blocks; ++block) {
        int got = 0;
        while (got < kRequest) {
            const ssize_t n = read(master, request.data() + got, kRequest - got);
            if (n <= 0) {
                _exit(1);
            }
            if (got == 0) {
                SleepNs(kRequest * kByteNs);  // the rest of the request's wire time
            }
            got += static_cast<int>(n);
        }
        if (bytewise) {
            for (int i = 0; i < kReply; ++i) {
                const char byte = static_cast<char>(i);
                if (write(master, &byte, 1) != 1) {
                    _exit(1);
                }
                SleepNs(kByteNs);
            }
        } else {
            const char reply[kReply] = {0, 1, 2, 3, 4};
            SleepNs(kReply * kByteNs);
            if (write(master, reply, kReply) != kReply) {
                _exit(1);
            }
        }
    }
    // Let the host read the last reply before the line hangs up.
    SleepNs(200'000'000);
    _exit(0);
}

// Counts the replies' bytes as they come: a reply is whole at kReply bytes.
struct Replies {
    enum class Step { Wait, Next, Last };
    int blocks;
    int done = 0;
    long long have = 0;
    Step Add(long long bytes) {
        have += bytes;
        if (have < kReply) {
            return Step::Wait;
        }
        have = 0;
        return ++done == blocks ? Step::Last : Step::Next;
    }
};

long VoluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void WakeOnWholeReply(int fd) {
    termios line{};
    tcgetattr(fd, &line);
    line.c_cc[VMIN] = kReply;
    line.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &line);
}

int RunQt(int argc, char** argv, const char* device, int blocks, bool whole, double& cpu) {
    QCoreApplication app(argc, argv);
    QSerialPort port;
    port.setPortName(QString::fromLocal8Bit(device));
    port.setBaudRate(115200);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot open %s\n", device);
        return 1;
    }
    if (whole) {
        WakeOnWholeReply(static_cast<int>(port.handle()));
    }
    const QByteArray request(kRequest, 'r');
    Replies replies{blocks};
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        const Replies::Step step = replies.Add(port.readAll().size());
        if (step == Replies::Step::Last) {
            app.quit();
        } else if (step == Replies::Step::Next) {
            port.write(request);
        }
    });
    bool failed = false;
    QObject::connect(&port, &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError) {
            failed = true;
            app.quit();
        }
    });
    const double before = CpuSeconds();  // Qt's start-up is not counted
    port.write(request);
    app.exec();
    cpu = CpuSeconds() - before;
    return failed ? 1 : 0;
}

int RunQtDirect(int argc, char** argv, int slave, int blocks, double& cpu) {
    QCoreApplication app(argc, argv);
    WakeOnWholeReply(slave);
    const std::string request(kRequest, 'r');
    Replies replies{blocks};
    bool failed = false;
    QSocketNotifier notifier(slave, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char buffer[64];
        const ssize_t n = read(slave, buffer, sizeof buffer);
        const Replies::Step step = n > 0 ? replies.Add(n) : Replies::Step::Last;
        if (n <= 0 || (step == Replies::Step::Next &&
                       write(slave, request.data(), request.size()) != kRequest)) {
            failed = true;
        }
        if (failed || step == Replies::Step::Last) {
            app.quit();
        }
    });
    const double before = CpuSeconds();
    if (write(slave, request.data(), request.size()) != kRequest) {
        return 1;
    }
    app.exec();
    cpu = CpuSeconds() - before;
    return failed ? 1 : 0;
}

int RunPoll(int slave, int blocks, bool whole, double& cpu) {
    if (whole) {
        WakeOnWholeReply(slave);
    }
    const double before = CpuSeconds();
    const std::string request(kRequest, 'r');
    char buffer[64];
    for (int block = 0; block < blocks; ++block) {
        if (write(slave, request.data(), request.size()) != kRequest) {
            return 1;
        }
        int have = 0;
        while (have < kReply) {
            pollfd fd{slave, POLLIN, 0};
            if (poll(&fd, 1, -1) <= 0) {
                return 1;
            }
            const ssize_t n = read(slave, buffer, sizeof buffer);
            if (n <= 0) {
                return 1;
            }
            have += static_cast<int>(n);
        }
    }
    cpu = CpuSeconds() - before;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "qt";
    const int blocks = argc > 2 ? std::atoi(argv[2]) : 1000;
    const bool bytewise = argc > 3 && std::string(argv[3]) == "bytes";
    if ((mode != "qt" && mode != "qt-whole" && mode != "qt-direct" && mode != "poll" &&
         mode != "poll-whole") ||
        blocks < 1 || (argc > 3 && !bytewise)) {
        std::fprintf(stderr,
                     "usage: wake_floor qt|qt-whole|qt-direct|poll|poll-whole [BLOCKS [bytes]]\n");
        return 2;
    }
    int master = -1;
    int slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B115200);
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(slave);
        Unit(master, blocks, bytewise);
    }
    close(master);
    double cpu = 0.0;
    const long switchesBefore = VoluntarySwitches();
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    int status = 0;
    if (mode == "qt" || mode == "qt-whole") {
        const std::string device = ttyname(slave);
        status = RunQt(argc, argv, device.c_str(), blocks, mode == "qt-whole", cpu);
    } else if (mode == "qt-direct") {
        status = RunQtDirect(argc, argv, slave, blocks, cpu);
    } else {
        status = RunPoll(slave, blocks, mode == "poll-whole", cpu);
    }
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double wall = static_cast<double>(end.tv_sec - start.tv_sec) +
                        static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
    waitpid(child, nullptr, 0);
    // Sleeps of the host (its unit child not counted): a wake-up each.
    const double switches =
        static_cast<double>(VoluntarySwitches() - switchesBefore) / static_cast<double>(blocks);
    std::printf(
        "%s%s: %d blocks in %.2f s, %.1f us of processor time per block (%.3f s), %.2f sleeps "
        "per block\n",
        mode.c_str(), bytewise ? " (bytes)" : "", blocks, wall, cpu * 1e6 / blocks, cpu, switches);
    return status;
}
