#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sim {

// One memory of the unit, addressed from 0, with a digest so that a test can
// prove what was written without comparing megabytes in its failure output.
class MemoryImage {
  public:
    MemoryImage(std::size_t size, std::uint8_t fill);

    std::size_t Size() const { return bytes_.size(); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    void Fill(std::uint8_t value);
    bool Fits(std::uint32_t address, std::size_t count) const;
    // Stores the bytes as they are (EEPROM-like). False, and nothing stored,
    // when the range does not fit.
    bool Write(std::uint32_t address, std::span<const std::uint8_t> data);
    // Flash programming: bits can only go from 1 to 0, so the stored byte
    // becomes old AND new; only an erase brings bits back to 1.
    bool Program(std::uint32_t address, std::span<const std::uint8_t> data);
    // count bytes from the address, or empty when the range does not fit.
    std::vector<std::uint8_t> Read(std::uint32_t address, std::size_t count) const;

    // 64-bit FNV-1a over the whole image.
    std::uint64_t Digest() const { return DigestOf(bytes_); }
    static std::uint64_t DigestOf(std::span<const std::uint8_t> bytes);

  private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace sim
