#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "HostLink.h"
#include "SimulatedUnit.h"
#include "mduGlobalModule.h"

// Drives a SimulatedUnit through its serial-peer face the way a line would:
// host bytes arrive one by one after their 10 bit times, the unit is polled
// whenever it is due, and what it transmits is collected with its start time.
class UnitHarness {
  public:
    struct Received {
        std::int64_t atUs = 0;
        std::vector<std::uint8_t> bytes;
    };

    explicit UnitHarness(sim::SimulatedUnit& unit) : unit_(unit) {}

    std::int64_t NowUs() const { return nowUs_; }
    static std::int64_t ByteUs(int baud) { return 10'000'000 / baud; }

    // The host sends the bytes at `baud`; they are handed over byte by byte
    // (or, with oneBurst, together once the last has arrived).
    void Send(std::span<const std::uint8_t> bytes, int baud, bool oneBurst = false) {
        if (oneBurst) {
            RunUntil(nowUs_ + ByteUs(baud) * static_cast<std::int64_t>(bytes.size()));
            unit_.OnHostBytes(bytes, baud, nowUs_);
            return;
        }
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            RunUntil(nowUs_ + ByteUs(baud));
            unit_.OnHostBytes(bytes.subspan(i, 1), baud, nowUs_);
        }
    }
    // Lets `us` pass.
    void Advance(std::int64_t us) { RunUntil(nowUs_ + us); }
    // Lets time pass until the unit transmits or `limitUs` has passed;
    // returns that transmission's bytes (empty when none came).
    std::vector<std::uint8_t> AwaitReply(std::int64_t limitUs) {
        const std::int64_t endUs = nowUs_ + limitUs;
        while (received_.empty()) {
            const std::int64_t due = unit_.NextDueUs();
            if (due < 0 || due > endUs) {
                RunUntil(endUs);
                break;
            }
            RunUntil(due);
        }
        if (received_.empty()) {
            return {};
        }
        Received first = std::move(received_.front());
        received_.erase(received_.begin());
        lastReplyUs_ = first.atUs;
        return std::move(first.bytes);
    }
    // Everything transmitted so far that was not yet returned.
    std::vector<Received> TakeReceived() { return std::exchange(received_, {}); }
    // Start time of the last transmission AwaitReply returned.
    std::int64_t LastReplyUs() const { return lastReplyUs_; }

  private:
    void RunUntil(std::int64_t targetUs) {
        for (;;) {
            const std::int64_t due = unit_.NextDueUs();
            if (due < 0 || due > targetUs) {
                break;
            }
            nowUs_ = std::max(nowUs_, due);
            for (auto& tx : unit_.Poll(nowUs_)) {
                received_.push_back({nowUs_, std::move(tx.bytes)});
            }
        }
        nowUs_ = std::max(nowUs_, targetUs);
    }

    sim::SimulatedUnit& unit_;
    std::int64_t nowUs_ = 0;
    std::int64_t lastReplyUs_ = -1;
    std::vector<Received> received_;
};

// A simulated unit on a harness line with the tool's side of the link:
// sentences and requests go out, the unit's first transmission comes back.
class SessionRig {
  public:
    using Bytes = std::vector<std::uint8_t>;
    static constexpr std::int64_t kMs = 1000;

    explicit SessionRig(sim::UnitConfig config, std::uint64_t hostSeed = 7)
        : unit(std::move(config)), line(unit), host(hostSeed) {}

    // Sends a sentence at 9600; the raw reply (empty when none came in time).
    Bytes SentenceRaw(const char* text, std::int64_t limitUs = 300 * kMs) {
        return Transact(mduGlobalModule::BuildSentence(text), sim::SimulatedUnit::kTextBaud,
                        limitUs);
    }
    // The reply's fields as the tool parses them (empty when none or garbled).
    std::vector<std::string> Sentence(const char* text, std::int64_t limitUs = 300 * kMs) {
        return mduGlobalModule::ParseSentence(SentenceRaw(text, limitUs));
    }
    // Sends a request at 115200 (Attach for code 0) and decodes the reply.
    HostLink::Reply Exchange(int code, const Bytes& body = {}, std::int64_t limitUs = 300 * kMs) {
        return host.Decode(Transact(code == 0 ? host.Attach() : host.Request(code, body),
                                    sim::SimulatedUnit::kBinaryBaud, limitUs));
    }
    // "$GSLNK" then Attach, both accepted.
    bool EnterLinkMode() {
        const auto link = Sentence("$GSLNK");
        return !link.empty() && link[0] == "ASACK" &&
               unit.CurrentMode() == sim::SimulatedUnit::Mode::Binary &&
               Exchange(0).Status() == 0x08;
    }
    // Sends the bytes at `baud`; the reply (empty when none came in time).
    Bytes Transact(std::span<const std::uint8_t> bytes, int baud, std::int64_t limitUs) {
        line.Send(bytes, baud);
        const std::int64_t sentUs = line.NowUs();
        lastRaw = line.AwaitReply(limitUs);
        lastDelayUs = lastRaw.empty() ? -1 : line.LastReplyUs() - sentUs;
        return lastRaw;
    }

    sim::SimulatedUnit unit;
    UnitHarness line;
    HostLink host;
    Bytes lastRaw;                  // the reply to the last Exchange or SentenceRaw
    std::int64_t lastDelayUs = -1;  // from the end of the request to its reply
};
