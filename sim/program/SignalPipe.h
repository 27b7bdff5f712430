#pragma once

#include <string>

namespace sim {

// SIGTERM and SIGINT turned into a readable descriptor (the self-pipe
// trick), so the serving loop can wait for them with poll. SIGPIPE is
// ignored. One per program.
class SignalPipe {
  public:
    SignalPipe() = default;
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    bool Install(std::string& error);
    int ReadFd() const { return readFd_; }

  private:
    int readFd_ = -1;
    int writeFd_ = -1;
};

}  // namespace sim
