#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "HostLink.h"
#include "SimulatedUnit.h"
#include "UnitHarness.h"

// A simulated unit on a harness line with the tool's side of the link:
// sentences and requests go out, the unit's first transmission comes back.
class SessionRig {
  public:
    using Bytes = std::vector<std::uint8_t>;
    static constexpr std::int64_t kMs = 1000;

    explicit SessionRig(sim::UnitConfig config, std::uint64_t hostSeed = 7)
        : unit(std::move(config)), line(unit), host(hostSeed) {}

    // Sends a sentence at 9600; the raw reply (empty when none came in time).
    Bytes SentenceRaw(const char* text, std::int64_t limitUs = 300 * kMs);
    // The reply's fields as the tool parses them (empty when none or garbled).
    std::vector<std::string> Sentence(const char* text, std::int64_t limitUs = 300 * kMs);
    // Sends a request at 115200 (Attach for code 0) and decodes the reply.
    HostLink::Reply Exchange(int code, const Bytes& body = {}, std::int64_t limitUs = 300 * kMs);
    // "$GSLNK" then Attach, both accepted.
    bool EnterLinkMode();
    // Sends the bytes at `baud`; the reply (empty when none came in time).
    Bytes Transact(std::span<const std::uint8_t> bytes, int baud, std::int64_t limitUs);

    sim::SimulatedUnit unit;
    UnitHarness line;
    HostLink host;
    Bytes lastRaw;                  // the reply to the last Exchange or SentenceRaw
    std::int64_t lastDelayUs = -1;  // from the end of the request to its reply
};
