#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// A thread its owner never waits for longer than it chooses. Join gives the
// thread a bound to end in; one still running then (its work stuck in a
// call that does not come back) is left behind, detached, and
// AnyLeftBehind() says so: the program then ends without running the
// destructors of what that thread may still be using (std::_Exit after its
// output is flushed).
//
// The body must own, or share, everything it uses: once left behind, it
// outlives its owner.
class BoundedThread {
  public:
    explicit BoundedThread(std::function<void()> body);
    // Joins without a bound (a body that has ended, or one that will).
    ~BoundedThread();
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;

    // Waits at most `bound` for the body to end; false when it has not.
    bool WaitFor(std::chrono::milliseconds bound);
    // The same, and a body that has not ended is left behind: false.
    bool Join(std::chrono::milliseconds bound);
    bool Ended() const;

    // Whether any thread of this process was left behind.
    static bool AnyLeftBehind();
    // A program's last call, from main: returns `status`, or, when a thread
    // was left behind (one stuck in a call to a server that does not
    // answer, which may still use what the static destructors tear down),
    // flushes the output and ends the process at once with it.
    static int EndProgram(int status);

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};
