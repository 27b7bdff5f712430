#include "CallDeadline.h"

CallDeadline::CallDeadline() : watchdog_([this] { Watch(); }) {}

CallDeadline::~CallDeadline() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
        changed_.notify_all();
    }
    watchdog_.join();
}

void CallDeadline::Arm(std::chrono::milliseconds limit, std::function<void()> cut) {
    const std::lock_guard lock(mutex_);
    armed_ = true;
    cut_ = false;
    deadline_ = std::chrono::steady_clock::now() + limit;
    cutter_ = std::move(cut);
    changed_.notify_all();
}

bool CallDeadline::Disarm() {
    const std::lock_guard lock(mutex_);
    armed_ = false;
    cutter_ = nullptr;
    return cut_;
}

void CallDeadline::GiveUp() {
    const std::lock_guard lock(mutex_);
    givenUp_ = true;
    changed_.notify_all();
}

bool CallDeadline::GivenUp() const {
    const std::lock_guard lock(mutex_);
    return givenUp_;
}

void CallDeadline::Watch() {
    std::unique_lock lock(mutex_);
    while (!ending_) {
        if (!armed_ || cut_) {
            changed_.wait(lock);
            continue;
        }
        if (!givenUp_ && std::chrono::steady_clock::now() < deadline_) {
            changed_.wait_until(lock, deadline_);
            continue;
        }
        cut_ = true;
        if (cutter_) {
            cutter_();
        }
    }
}
