#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

// The unit's frame scrambler. Byte 0 of a frame is the head code: it travels
// as is and picks the key stream for the bytes after it.
//   - Rolling key (the head's two nibbles are equal): the key starts at the
//     head code and after each byte becomes its nibble swap plus one.
//   - Table key (any other head): byte i (from 1) is XORed with the link
//     table entry (high nibble XOR low nibble + i - 1) mod 16.
// Scrambling and unscrambling are the same operation.
class UnitCodec {
  public:
    using LinkTable = std::array<std::uint8_t, 16>;

    static bool IsRollingHead(std::uint8_t head) { return (head >> 4) == (head & 0x0F); }

    // Key byte that applies to frame position `index` (1 or more) under `head`.
    static std::uint8_t KeyAt(std::uint8_t head, std::size_t index, const LinkTable& table);

    // The whole frame (head included) run through the key stream.
    static std::vector<std::uint8_t> Apply(std::span<const std::uint8_t> frame,
                                           const LinkTable& table);
};

}  // namespace sim
