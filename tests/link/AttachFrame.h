#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "clsRandom.h"
#include "mduGlobalModule.h"

// The first binary request of a link session: a head code equal to its own
// nibble swap, the code 0 and the 16-byte link table, scrambled, then the
// CRC trailer.
inline std::vector<std::uint8_t> AttachFrame(const std::vector<std::uint8_t>& table,
                                             std::uint8_t head = 0x66) {
    clsRandom::Table key{};
    std::copy_n(table.begin(), std::min(table.size(), key.size()), key.begin());
    std::vector<std::uint8_t> plain{head, 0x00};
    plain.insert(plain.end(), table.begin(), table.end());
    std::vector<std::uint8_t> frame = clsRandom::Codec(plain, key);
    const std::uint16_t crc = mduGlobalModule::GetCrc16(frame);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return frame;
}
