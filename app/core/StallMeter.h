#pragma once

#include <cstdint>

// How late a periodic heartbeat on the event loop runs: each tick is
// expected one interval after the previous one; the lateness beyond that is
// time the loop spent elsewhere (a stall the window would show as frozen).
class StallMeter {
  public:
    explicit StallMeter(std::int64_t intervalUs) : intervalUs_(intervalUs) {}

    void Start(std::int64_t nowUs) {
        lastUs_ = nowUs;
        started_ = true;
    }
    // A tick of the heartbeat at nowUs.
    void Tick(std::int64_t nowUs) {
        if (started_) {
            const std::int64_t late = nowUs - lastUs_ - intervalUs_;
            if (late > maxLateUs_) {
                maxLateUs_ = late;
            }
        }
        Start(nowUs);
    }
    std::int64_t MaxLateUs() const { return maxLateUs_; }

  private:
    std::int64_t intervalUs_;
    std::int64_t lastUs_ = 0;
    std::int64_t maxLateUs_ = 0;
    bool started_ = false;
};
