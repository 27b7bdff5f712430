#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// A program run as a child process with extra environment variables, its
// standard output read line by line as it comes, its standard error kept
// apart.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until a line containing `text` has come (true) or the time
    // is up or the output has closed (false).
    bool WaitForLine(const std::string& text, int timeoutMs);
    // The first line, read within the time (empty when none).
    std::string FirstLine(int timeoutMs);
    // Reads until the output closes or the time is up; then every line so far.
    std::vector<std::string> Lines(int timeoutMs);
    std::string Output() const { return out_; }
    std::string Errors(int timeoutMs);
    bool Signal(int signal);
    // The exit status once it has ended within the time; -1 while it runs,
    // -2 when a signal ended it.
    int Wait(int timeoutMs);

  private:
    bool ReadSome(int fd, std::string& into, int timeoutMs);

    pid_t pid_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    int status_ = -1;
    std::string out_;
    std::string err_;
};
