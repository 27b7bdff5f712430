#include "UnitCrc.h"

namespace sim {

std::uint16_t UnitCrc::Compute(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 0x0001) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (carry) {
                crc ^= 0xA001;
            }
        }
    }
    return crc;
}

std::array<std::uint8_t, 2> UnitCrc::Trailer(std::span<const std::uint8_t> bytes) {
    const std::uint16_t crc = Compute(bytes);
    return {static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
}

bool UnitCrc::Intact(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && Compute(bytes) == 0;
}

}  // namespace sim
