#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A client-side bound on blocking calls that have none of their own (a
// database client library waiting for a server that accepted the bytes and
// never answers). The caller brackets each call with Arm and Disarm; a
// watchdog thread calls the `cut` given to Arm (e.g. drops the connection,
// which makes the call return with an error) when the call outlives its
// limit, or at once after GiveUp. Cut runs under the lock Disarm takes, so
// whatever it acts on is still there.
class CallDeadline {
  public:
    CallDeadline();
    ~CallDeadline();
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

    void Arm(std::chrono::milliseconds limit, std::function<void()> cut);
    // The call has returned; true when it was cut.
    bool Disarm();
    // Cuts the call under way, and every later one as soon as it is armed
    // (the program is ending and waits for nothing more).
    void GiveUp();
    bool GivenUp() const;

  private:
    void Watch();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool armed_ = false;
    bool cut_ = false;
    bool givenUp_ = false;
    bool ending_ = false;
    std::chrono::steady_clock::time_point deadline_;
    std::function<void()> cutter_;
    std::thread watchdog_;
};
