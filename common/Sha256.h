#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

// SHA-256 of a byte run, for the data file tool's per-block digests.
class Sha256 {
  public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    void Update(std::span<const std::uint8_t> bytes);
    Digest Finish();

    static Digest Of(std::span<const std::uint8_t> bytes);
    static std::string Hex(const Digest& digest);

    // Whether this processor's SHA instructions do the work (x86-64 with the
    // SHA extensions): about twenty times faster than the portable rounds,
    // which matters when a whole data file is hashed at every run. Tests
    // can turn them off to check both ways give the same digests.
    static bool HardwareAvailable();
    static void AllowHardware(bool allowed);

  private:
    void Blocks(const std::uint8_t* blocks, std::size_t count);
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_{};
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t totalBytes_ = 0;
};
