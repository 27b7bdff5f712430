#include "clsFastCrc16.h"

#include <array>

#include "mduGlobalModule.h"

namespace {

using Slices = std::array<std::array<std::uint16_t, 256>, 8>;

// Slice 0 is the module's table (auchCRCHi low byte, auchCRCLo high byte);
// slice k advances an entry of slice k - 1 by one more zero byte.
Slices BuildSlices() {
    Slices slices{};
    const auto& hi = mduGlobalModule::auchCRCHi();
    const auto& lo = mduGlobalModule::auchCRCLo();
    for (unsigned n = 0; n < 256; ++n) {
        slices[0][n] = static_cast<std::uint16_t>(hi[n] | (lo[n] << 8));
    }
    for (unsigned k = 1; k < 8; ++k) {
        for (unsigned n = 0; n < 256; ++n) {
            const std::uint16_t prev = slices[k - 1][n];
            slices[k][n] = static_cast<std::uint16_t>((prev >> 8) ^ slices[0][prev & 0xFF]);
        }
    }
    return slices;
}

const Slices& TheSlices() {
    // Built on first use, after the program has filled the module tables.
    static const Slices slices = BuildSlices();
    return slices;
}

}  // namespace

bool clsFastCrc16::Ready() {
    return mduGlobalModule::GlobalTablesReady();
}

std::uint16_t clsFastCrc16::Update(std::uint16_t crc, std::span<const std::uint8_t> bytes) {
    if (!Ready()) {
        std::uint8_t first = 0;
        std::uint8_t second = 0;
        mduGlobalModule::SumOperation(bytes, 0, first, second);  // shows the fault
        return crc;
    }
    const Slices& t = TheSlices();
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    std::uint32_t c = crc;
    while (n >= 8) {
        const std::uint32_t b0 = (p[0] ^ c) & 0xFF;
        const std::uint32_t b1 = (p[1] ^ (c >> 8)) & 0xFF;
        c = t[7][b0] ^ t[6][b1] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^
            t[0][p[7]];
        p += 8;
        n -= 8;
    }
    while (n > 0) {
        c = (c >> 8) ^ t[0][(c ^ *p) & 0xFF];
        ++p;
        --n;
    }
    return static_cast<std::uint16_t>(c);
}

bool clsFastCrc16::Check(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return false;
    }
    if (!Ready()) {
        std::uint8_t first = 0;
        std::uint8_t second = 0;
        return mduGlobalModule::SumOperation(bytes, static_cast<std::int32_t>(bytes.size()), first,
                                             second);
    }
    return Update(kInitial, bytes) == 0;
}
