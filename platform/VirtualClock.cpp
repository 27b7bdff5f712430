#include "VirtualClock.h"

namespace platform {

class VirtualClock::Timer final : public IWindowTimer {
  public:
    explicit Timer(std::shared_ptr<VirtualClock*> clock) : clock_(std::move(clock)) {}
    ~Timer() override { Disarm(); }

    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override {
        enabled_ = enabled;
        Rearm();
    }
    int Interval() const override { return interval_; }
    void SetInterval(int milliseconds) override {
        interval_ = milliseconds;
        Rearm();
    }
    void SetOnTimer(std::function<void()> handler) override { handler_ = std::move(handler); }

  private:
    void Disarm() {
        if (handle_ != 0 && *clock_ != nullptr) {
            (*clock_)->Cancel(handle_);
        }
        handle_ = 0;
    }
    void Rearm() {
        Disarm();
        VirtualClock* clock = *clock_;
        if (!enabled_ || interval_ <= 0 || clock == nullptr) {
            return;
        }
        handle_ = clock->Arm(clock->nowUs_ + std::int64_t{interval_} * 1000, [this] { Fire(); });
    }
    void Fire() {
        handle_ = 0;
        // Re-arm first, as a window timer keeps counting while its handler
        // runs; the handler may stop or restart it.
        Rearm();
        // A copy, so that a handler that replaces itself or destroys the timer
        // does not pull the function out from under its own call.
        if (auto handler = handler_) {
            handler();
        }
    }

    std::shared_ptr<VirtualClock*> clock_;
    bool enabled_ = false;
    int interval_ = 0;
    Handle handle_ = 0;
    std::function<void()> handler_;
};

VirtualClock::VirtualClock(std::int64_t startSeconds)
    : startSeconds_(startSeconds), self_(std::make_shared<VirtualClock*>(this)) {}

VirtualClock::~VirtualClock() {
    *self_ = nullptr;
}

std::int64_t VirtualClock::NowSeconds() const {
    return startSeconds_ + nowUs_ / 1000000;
}

std::unique_ptr<IWindowTimer> VirtualClock::CreateTimer() {
    return std::make_unique<Timer>(self_);
}

VirtualClock::Handle VirtualClock::Arm(std::int64_t dueUs, Action action) {
    const Handle handle = nextSeq_++;
    const Key key{dueUs < nowUs_ ? nowUs_ : dueUs, handle};
    queue_.emplace(key, std::move(action));
    handles_.emplace(handle, key);
    return handle;
}

VirtualClock::Handle VirtualClock::ScheduleAfterUs(std::int64_t delayUs, Action action) {
    return Arm(nowUs_ + (delayUs < 0 ? 0 : delayUs), std::move(action));
}

void VirtualClock::Cancel(Handle handle) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) {
        return;
    }
    queue_.erase(it->second);
    handles_.erase(it);
}

bool VirtualClock::RunNext() {
    if (queue_.empty()) {
        return false;
    }
    auto it = queue_.begin();
    const Key key = it->first;
    Action action = std::move(it->second);
    queue_.erase(it);
    handles_.erase(key.second);
    if (key.first > nowUs_) {
        nowUs_ = key.first;
    }
    action();
    return true;
}

void VirtualClock::AdvanceToUs(std::int64_t us) {
    while (!queue_.empty() && queue_.begin()->first.first <= us) {
        RunNext();
    }
    if (us > nowUs_) {
        nowUs_ = us;
    }
}

bool VirtualClock::RunUntil(const std::function<bool()>& done, std::int64_t limitMs) {
    const std::int64_t end = nowUs_ + limitMs * 1000;
    if (done()) {
        return true;
    }
    while (!queue_.empty() && queue_.begin()->first.first <= end) {
        RunNext();
        if (done()) {
            return true;
        }
    }
    if (end > nowUs_) {
        nowUs_ = end;
    }
    return done();
}

std::int64_t VirtualClock::NextDueUs() const {
    return queue_.empty() ? -1 : queue_.begin()->first.first;
}

}  // namespace platform
