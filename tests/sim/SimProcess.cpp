#include "SimProcess.h"

#include "Deadline.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    stdout_ = fds[0];
}

SimProcess::~SimProcess() {
    if (pid_ > 0 && Wait(0) == -1) {
        kill(pid_, SIGKILL);
        Wait(5000);
    }
    if (stdout_ >= 0) {
        close(stdout_);
    }
}

std::string SimProcess::FirstLine(int timeoutMs) {
    const Deadline deadline(timeoutMs);
    while (buffered_.find('\n') == std::string::npos) {
        pollfd fd{stdout_, POLLIN, 0};
        if (stdout_ < 0 || poll(&fd, 1, deadline.RemainingMs()) <= 0) {
            return {};
        }
        char chunk[256];
        const ssize_t n = read(stdout_, chunk, sizeof chunk);
        if (n <= 0) {
            return {};
        }
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
    return buffered_.substr(0, buffered_.find('\n'));
}

std::string SimProcess::AllOutput(int timeoutMs) {
    const Deadline deadline(timeoutMs);
    for (;;) {
        pollfd fd{stdout_, POLLIN, 0};
        if (stdout_ < 0 || poll(&fd, 1, deadline.RemainingMs()) <= 0) {
            break;
        }
        char chunk[4096];
        const ssize_t n = read(stdout_, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
    return buffered_;
}

bool SimProcess::Signal(int signal) {
    return pid_ > 0 && status_ == -1 && kill(pid_, signal) == 0;
}

int SimProcess::Wait(int timeoutMs) {
    if (pid_ <= 0) {
        return -2;
    }
    const Deadline deadline(timeoutMs);
    while (status_ == -1) {
        int raw = 0;
        const pid_t done = waitpid(pid_, &raw, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -2;
            break;
        }
        if (deadline.Passed()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}
