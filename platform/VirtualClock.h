#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "IClock.h"
#include "ITimerFactory.h"

namespace platform {

// A clock for tests: time stands still until the test advances it, and then
// every timer expiry and scheduled action that falls due runs in time order
// (ties in the order they were armed), without sleeping. Timers it creates
// behave as window timers: an interval of 0 or less never fires, writing the
// interval or re-enabling restarts the count.
class VirtualClock final : public IClock, public ITimerFactory {
  public:
    using Action = std::function<void()>;
    using Handle = std::uint64_t;

    // Starts at 2026-01-01 00:00:00 UTC unless told otherwise.
    explicit VirtualClock(std::int64_t startSeconds = 1767225600);
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    // IClock
    std::int64_t NowSeconds() const override;
    // ITimerFactory
    std::unique_ptr<IWindowTimer> CreateTimer() override;

    // Time since the clock was made. Kept in microseconds, so that bytes on a
    // simulated 115200 baud line (about 87 us each) keep their wire timing.
    std::int64_t NowMs() const { return nowUs_ / 1000; }
    std::int64_t NowUs() const { return nowUs_; }

    // Runs `action` once after the delay (0 = at the next advance, even by
    // 0 ms). The handle cancels it.
    Handle ScheduleAfter(std::int64_t delayMs, Action action) {
        return ScheduleAfterUs(delayMs * 1000, std::move(action));
    }
    Handle ScheduleAfterUs(std::int64_t delayUs, Action action);
    void Cancel(Handle handle);

    // Runs everything due up to NowMs() + ms, then sets the time to that point.
    void AdvanceBy(std::int64_t ms) { AdvanceToUs(nowUs_ + (ms < 0 ? 0 : ms) * 1000); }
    // Advances until `done` holds (checked after each action) or `limitMs` of
    // virtual time has passed. Returns whether `done` held.
    bool RunUntil(const std::function<bool()>& done, std::int64_t limitMs);

    // Time of the earliest pending action in microseconds, or -1 when none.
    std::int64_t NextDueUs() const;
    std::size_t PendingCount() const { return queue_.size(); }

  private:
    class Timer;
    friend class Timer;

    using Key = std::pair<std::int64_t, std::uint64_t>;  // due time (us), arming order
    Handle Arm(std::int64_t dueUs, Action action);
    // Runs everything due up to an absolute time (no-op when in the past).
    void AdvanceToUs(std::int64_t us);
    // Runs the earliest pending action (advancing the time to it). False when
    // nothing is pending.
    bool RunNext();

    std::int64_t startSeconds_;
    std::int64_t nowUs_ = 0;
    std::uint64_t nextSeq_ = 1;
    std::map<Key, Action> queue_;
    std::map<Handle, Key> handles_;
    // Shared with the timers so that a timer outliving the clock stays harmless.
    std::shared_ptr<VirtualClock*> self_;
};

}  // namespace platform
