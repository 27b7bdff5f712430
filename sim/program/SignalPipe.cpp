#include "SignalPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace sim {

namespace {

volatile std::sig_atomic_t gWriteFd = -1;

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (gWriteFd >= 0) {
        [[maybe_unused]] const ssize_t n = write(gWriteFd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

SignalPipe::~SignalPipe() {
    if (writeFd_ >= 0) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        gWriteFd = -1;
        close(writeFd_);
    }
    if (readFd_ >= 0) {
        close(readFd_);
    }
}

bool SignalPipe::Install(std::string& error) {
    int fds[2];
    if (pipe(fds) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    for (const int fd : fds) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    gWriteFd = writeFd_;

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (sigaction(SIGTERM, &action, nullptr) != 0 || sigaction(SIGINT, &action, nullptr) != 0 ||
        sigaction(SIGPIPE, &ignore, nullptr) != 0) {
        error = std::string("sigaction: ") + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace sim
