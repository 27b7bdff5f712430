#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

// The gpsunit-sim program run as a child process, its stdout and stderr on
// one pipe.
class SimProcess {
  public:
    SimProcess(const std::string& program, const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The first line the program printed (without its line end), read within
    // timeoutMs; empty when none came.
    std::string FirstLine(int timeoutMs);
    // Everything on stdout until it closes (or timeoutMs passes).
    std::string AllOutput(int timeoutMs);
    bool Signal(int signal);
    // The exit status once the program has ended within timeoutMs; -1 while
    // it still runs, -2 when a signal ended it.
    int Wait(int timeoutMs);

  private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    int status_ = -1;
    std::string buffered_;
};
