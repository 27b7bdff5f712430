#pragma once

// Small helpers the fuzz targets share: a checked condition that stops the
// run and a reader that hands out the input's bytes on demand. (The targets'
// reference CRC is the simulated unit's, sim::UnitCrc, which owes nothing to
// the code under test.)

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mduGlobalModule.h"

namespace fuzz {

// Stops the run with the broken promise named; libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_REQUIRE(condition)                           \
    do {                                                  \
        if (!(condition)) {                               \
            ::fuzz::Fail(#condition, __FILE__, __LINE__); \
        }                                                 \
    } while (false)

// Fills the module tables once, as the program does at start.
inline void PrepareTables() {
    static const bool ready = (mduGlobalModule::InitGlobalTables(), true);
    (void)ready;
}

// Hands out the input front to back; past its end every byte reads as the
// given default, so a short input means "nothing more happens".
class ByteReader {
  public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }
    std::size_t Remaining() const { return Empty() ? 0 : size_ - pos_; }

    std::uint8_t Byte(std::uint8_t fallback = 0) { return Empty() ? fallback : data_[pos_++]; }
    std::uint32_t Uint32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | Byte();
        }
        return value;
    }
    // Up to count bytes (fewer when the input ends first).
    std::vector<std::uint8_t> Bytes(std::size_t count) {
        const std::size_t n = count < Remaining() ? count : Remaining();
        std::vector<std::uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }
    std::vector<std::uint8_t> Rest() { return Bytes(Remaining()); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// The text without the given blanks at either end.
inline std::string Trimmed(std::string_view text, std::string_view blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

inline std::string AsText(std::span<const std::uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace fuzz
