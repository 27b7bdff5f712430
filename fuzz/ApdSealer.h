#pragma once

#include <cstdint>
#include <vector>

// Rewrites the CRCs of a data file image in place wherever its structure can
// be followed (key record, page count record, header section, and the body
// section when its page order is a permutation), so that fuzzed lengths,
// counts and page orders get past the CRC checks to the code behind them.
class ApdSealer {
  public:
    static void Seal(std::vector<std::uint8_t>& image);
};
