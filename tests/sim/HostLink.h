#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "clsRandom.h"

// The tool's side of the binary link, built only from the tool's own
// primitives (its random source, codec and CRC), so that every exchange with
// the simulated unit also checks that the two sides agree.
class HostLink {
  public:
    struct Reply {
        bool intact = false;              // the CRC over the whole frame is zero
        std::vector<std::uint8_t> plain;  // unscrambled, without the trailer
        int Code() const { return plain.size() > 1 ? plain[1] : -1; }
        int Status() const { return plain.size() > 2 ? plain[2] : -1; }
        std::vector<std::uint8_t> Payload() const;
    };

    explicit HostLink(std::uint64_t seed) : random_(seed) {}

    clsRandom& Random() { return random_; }

    // A request frame under the next link random byte as head code (its
    // rolling-key form for Attach, as the tool sends it).
    std::vector<std::uint8_t> Request(int code, std::span<const std::uint8_t> body = {});
    std::vector<std::uint8_t> Attach() { return Request(0, random_.SecurityTable()); }
    // Address (most significant byte first), length byte, data.
    static std::vector<std::uint8_t> WriteBody(std::uint32_t address,
                                               std::span<const std::uint8_t> data);
    // Any frame under a given head code.
    std::vector<std::uint8_t> Frame(std::uint8_t head, int code,
                                    std::span<const std::uint8_t> body) const;
    Reply Decode(std::span<const std::uint8_t> frame) const;

  private:
    // Its codec keys with the table and changes nothing, though not const.
    mutable clsRandom random_;
};
