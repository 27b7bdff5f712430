#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// A program run as a child process with extra environment variables, its
// standard output read line by line as it comes, its standard error kept
// apart.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {}) {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            for (int fd : {out[0], out[1], err[0], err[1]}) {
                close(fd);
            }
            for (const auto& [name, value] : env) {
                setenv(name.c_str(), value.c_str(), 1);
            }
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        stdout_ = out[0];
        stderr_ = err[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && Wait(0) == -1) {
            kill(pid_, SIGKILL);
            Wait(5000);
        }
        for (int fd : {stdout_, stderr_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until a line containing `text` has come (true) or the time
    // is up or the output has closed (false).
    bool WaitForLine(const std::string& text, int timeoutMs) {
        const std::int64_t end = NowMs() + timeoutMs;
        std::size_t checked = 0;
        for (;;) {
            // Whole lines only.
            for (std::size_t eol = out_.find('\n', checked); eol != std::string::npos;
                 eol = out_.find('\n', checked)) {
                if (out_.substr(checked, eol - checked).find(text) != std::string::npos) {
                    return true;
                }
                checked = eol + 1;
            }
            const auto left = static_cast<int>(end - NowMs());
            if (left <= 0 || !ReadSome(stdout_, out_, left)) {
                return false;
            }
        }
    }
    // The first line, read within the time (empty when none).
    std::string FirstLine(int timeoutMs) {
        // Any whole line holds the empty text.
        return WaitForLine("", timeoutMs) ? out_.substr(0, out_.find('\n')) : std::string();
    }
    // Reads until the output closes or the time is up; then every line so far.
    std::vector<std::string> Lines(int timeoutMs) {
        const std::int64_t end = NowMs() + timeoutMs;
        while (ReadSome(stdout_, out_, static_cast<int>(end - NowMs()))) {
        }
        std::vector<std::string> lines;
        std::size_t from = 0;
        for (std::size_t eol = out_.find('\n'); eol != std::string::npos;
             eol = out_.find('\n', from)) {
            lines.push_back(out_.substr(from, eol - from));
            from = eol + 1;
        }
        return lines;
    }
    std::string Output() const { return out_; }
    std::string Errors(int timeoutMs) {
        const std::int64_t end = NowMs() + timeoutMs;
        while (ReadSome(stderr_, err_, static_cast<int>(end - NowMs()))) {
        }
        return err_;
    }
    bool Signal(int signal) { return pid_ > 0 && kill(pid_, signal) == 0; }
    // The exit status once it has ended within the time; -1 while it runs,
    // -2 when a signal ended it.
    int Wait(int timeoutMs) {
        if (status_ != -1 || pid_ <= 0) {
            return status_;
        }
        const std::int64_t end = NowMs() + timeoutMs;
        for (;;) {
            int status = 0;
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
                return status_;
            }
            if (NowMs() >= end) {
                return -1;
            }
            // Keep the pipes drained so that a chatty child never blocks.
            ReadSome(stdout_, out_, 10);
        }
    }

  private:
    static std::int64_t NowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    bool ReadSome(int fd, std::string& into, int timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        if (fd < 0 || poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            return false;
        }
        into.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    int status_ = -1;
    std::string out_;
    std::string err_;
};
