#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace sim {

// The unit's own CRC-16/MODBUS: reflected polynomial 0xA001, start 0xFFFF, no
// final XOR, computed bit by bit (the unit has no room for lookup tables).
// On the line the value travels low byte first.
class UnitCrc {
  public:
    // The conventional CRC value of the bytes.
    static std::uint16_t Compute(std::span<const std::uint8_t> bytes);
    // The two trailer bytes in line order (low byte of the value first).
    static std::array<std::uint8_t, 2> Trailer(std::span<const std::uint8_t> bytes);
    // True when the bytes end in their own trailer: at least two bytes and a
    // CRC over all of them (trailer included) of zero.
    static bool Intact(std::span<const std::uint8_t> bytes);
};

}  // namespace sim
