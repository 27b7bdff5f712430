#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The frame scrambling codec as the link layer sees it: byte 0 of the array
// is the head code and stays as it is; the rest is scrambled or unscrambled
// (the codec is its own inverse). The program's random source implements it.
class ISecurityCodec {
  public:
    virtual ~ISecurityCodec() = default;
    virtual std::vector<std::uint8_t> SecurityCODEC(std::span<const std::uint8_t> src) = 0;
};
