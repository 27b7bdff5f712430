#pragma once

#include <optional>
#include <string>

namespace platform {

// A line settings text such as "9600,N,8,1" taken apart: baud, parity letter
// (N, E, O, M or S), data bits (5 to 8) and stop bits in tenths (10, 15 or 20).
struct LineSettings {
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    int stopBitsTenths = 10;

    // Nothing for a text that is not four valid fields separated by ",".
    static std::optional<LineSettings> Parse(const std::string& text);
};

}  // namespace platform
