#pragma once

#include <algorithm>
#include <cstdint>

// The longest stretch the event loop spent handling events without going
// back to wait for more: what an operator would see as the window frozen.
// The application reports every event it hands out (entering and leaving its
// handler) and the loop's dispatcher reports when it is about to wait. A
// stretch begins at the first event after a wait and ends at the next wait,
// so several events handled in one pass of the loop count together, and a
// message box's own loop ends the stretch of the handler that opened it.
//
// It replaces a periodic heartbeat: waking the loop a hundred times a second
// to see whether it was late cost more processor time than a whole update's
// blocks on a small machine running many updates at once.
class BusyStretchMeter {
  public:
    void Start() {
        running_ = true;
        busy_ = false;
        maxUs_ = 0;
    }
    void Stop() { running_ = false; }
    // Whether the next event begins a stretch (the caller reads the clock
    // only then: most events fall inside a stretch already begun).
    bool Waiting() const { return running_ && !busy_; }
    // An event is being handled at nowUs: the loop is awake.
    void OnEvent(std::int64_t nowUs) {
        if (Waiting()) {
            busy_ = true;
            sinceUs_ = nowUs;
        }
    }
    // The loop is about to wait at nowUs.
    void OnAboutToBlock(std::int64_t nowUs) {
        if (busy_) {
            maxUs_ = std::max(maxUs_, nowUs - sinceUs_);
            busy_ = false;
        }
    }
    // The longest stretch, counting the one under way up to nowUs.
    std::int64_t MaxUs(std::int64_t nowUs) const {
        return busy_ ? std::max(maxUs_, nowUs - sinceUs_) : maxUs_;
    }

  private:
    bool running_ = false;
    bool busy_ = false;
    std::int64_t sinceUs_ = 0;
    std::int64_t maxUs_ = 0;
};
