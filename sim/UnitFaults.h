#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "FaultSpec.h"
#include "UnitLog.h"

namespace sim {

// The faults a unit has been told to commit, and which request each picks:
// every key a fault names (sentence, code, block, addr) must match; it lets
// its first `after` matches pass and fires at most `times` times; of the
// faults that match one request, only the first that fires does. A block
// number counts the distinct addresses written with one write code since
// the last erase, so a resent block keeps its number.
class UnitFaults {
  public:
    // What a request is, for matching.
    struct Request {
        std::optional<FaultSpec::Sentence> sentence;
        int code = -1;
        std::optional<std::uint32_t> address;
        int block = 0;
        int unit = 1;  // which unit on the line, from 1
        bool hasReply = true;
        std::uint8_t acceptedStatus = 0;
    };

    void Add(const FaultSpec& fault) { faults_.push_back({fault}); }
    void Clear() { faults_.clear(); }
    // The fault that fires on the request (and is logged), or null.
    const FaultSpec* Fire(const Request& request, std::int64_t nowUs, UnitLog& log);
    // The block number of a write (50 or 51) at the address, from 1.
    int BlockNumber(int code, std::uint32_t address);
    void ForgetBlocks();

  private:
    struct State {
        FaultSpec spec;
        int matched = 0;
        int fired = 0;
    };
    std::vector<State> faults_;
    std::vector<std::uint32_t> blockAddresses_[2];  // of 50 and of 51
};

}  // namespace sim
