#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "ISecurityCodec.h"

// The random material of one program run and the frame scrambling codec.
//
// At creation: 256 random bytes (RandomBytes), a 16-byte table of 14 random
// bytes and their CRC-16/MODBUS (SecurityTable), and a random start index
// (RandomInex). The product seeds the generator from the operating system, so
// that every run hands the unit a different link table; tests pass a seed.
class clsRandom : public ISecurityCodec {
  public:
    static constexpr std::size_t kSecurityTableSize = 16;
    using Table = std::array<std::uint8_t, kSecurityTableSize>;

    clsRandom();
    explicit clsRandom(std::uint64_t seed);

    std::vector<std::uint8_t> SecurityTable() const;
    std::vector<std::uint8_t> RandomBytes() const;
    std::uint8_t RandomInex() const { return randomInex_; }
    void SetRandomInex(std::uint8_t index) { randomInex_ = index; }

    // Fills every element with NextRandom(0, 255).
    void NextBytes(std::span<std::uint8_t> bytes);
    // Uniform integer from lo to hi (both within 0..255), as a byte.
    std::int32_t NextRandom(std::int32_t lo, std::int32_t hi);
    std::uint8_t CurrentRandomByteData(std::uint8_t index) const { return randomBytes_[index]; }

    // The codec keyed by this object's SecurityTable.
    std::vector<std::uint8_t> SecurityCODEC(std::span<const std::uint8_t> src) override;

    // The codec for any link table (the unit's side uses the table it was sent).
    // Byte 0 stays and picks the key stream: when its two nibbles are equal,
    // a rolling key starting at byte 0; otherwise the table from position
    // (high nibble XOR low nibble). Works on arrays of any length.
    static std::vector<std::uint8_t> Codec(std::span<const std::uint8_t> src, const Table& table);

  private:
    void Create();

    std::mt19937_64 generator_;
    std::array<std::uint8_t, 256> randomBytes_{};
    Table securityTable_{};
    std::uint8_t randomInex_ = 0;
};
