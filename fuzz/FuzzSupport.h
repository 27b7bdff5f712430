#pragma once

// Small helpers the fuzz targets share: a checked condition that stops the
// run, a reader that hands out the input's bytes on demand, and a reference
// form of the CRC that owes nothing to the code under test.

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

// CRC-16/MODBUS bit by bit (reflected 0xA001, start 0xFFFF): the
// conventional value, whose low byte travels first.
inline std::uint16_t ReferenceCrc16(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

// Whether the bytes end in their own CRC (low byte first).
inline bool ReferenceCrcIntact(std::span<const std::uint8_t> bytes) {
    return !bytes.empty() && ReferenceCrc16(bytes) == 0;
}

// The bytes followed by their CRC, low byte first.
inline std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> bytes) {
    const std::uint16_t crc = ReferenceCrc16(bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

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
