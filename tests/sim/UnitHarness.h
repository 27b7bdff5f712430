#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "SimulatedUnit.h"

// Drives a SimulatedUnit through its serial-peer face the way a line would:
// host bytes arrive one by one after their 10 bit times, the unit is polled
// whenever it is due, and what it transmits is collected with its start time.
class UnitHarness {
  public:
    struct Received {
        std::int64_t atUs = 0;
        int baud = 0;
        std::vector<std::uint8_t> bytes;
    };

    explicit UnitHarness(sim::SimulatedUnit& unit) : unit_(unit) {}

    std::int64_t NowUs() const { return nowUs_; }
    static std::int64_t ByteUs(int baud) { return 10'000'000 / baud; }

    // The host sends the bytes at `baud`; they are handed over byte by byte
    // (or, with oneBurst, together once the last has arrived).
    void Send(std::span<const std::uint8_t> bytes, int baud, bool oneBurst = false);
    // Lets `us` pass.
    void Advance(std::int64_t us);
    // Lets time pass until the unit transmits or `limitUs` has passed;
    // returns that transmission's bytes (empty when none came).
    std::vector<std::uint8_t> AwaitReply(std::int64_t limitUs);
    // Everything transmitted so far that was not yet returned.
    std::vector<Received> TakeReceived();
    // Start time of the last transmission AwaitReply returned.
    std::int64_t LastReplyUs() const { return lastReplyUs_; }

  private:
    void RunUntil(std::int64_t targetUs);

    sim::SimulatedUnit& unit_;
    std::int64_t nowUs_ = 0;
    std::int64_t lastReplyUs_ = -1;
    std::vector<Received> received_;
};
