#include "BoundedThread.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

std::atomic<bool> leftBehind{false};

}  // namespace

struct BoundedThread::State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

BoundedThread::BoundedThread(std::function<void()> body) : state_(std::make_shared<State>()) {
    thread_ = std::thread([state = state_, body = std::move(body)] {
        body();
        const std::lock_guard lock(state->mutex);
        state->done = true;
        state->ended.notify_all();
    });
}

BoundedThread::~BoundedThread() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool BoundedThread::WaitFor(std::chrono::milliseconds bound) {
    std::unique_lock lock(state_->mutex);
    return state_->ended.wait_for(lock, bound, [this] { return state_->done; });
}

bool BoundedThread::Join(std::chrono::milliseconds bound) {
    if (!thread_.joinable()) {
        return Ended();
    }
    if (!WaitFor(bound)) {
        thread_.detach();
        leftBehind = true;
        return false;
    }
    thread_.join();
    return true;
}

bool BoundedThread::Ended() const {
    const std::lock_guard lock(state_->mutex);
    return state_->done;
}

bool BoundedThread::AnyLeftBehind() {
    return leftBehind;
}

int BoundedThread::EndProgram(int status) {
    if (AnyLeftBehind()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
