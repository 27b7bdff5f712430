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

// The register is linear in its start value and in the bytes: run from `c`
// over a page it ends where the run from 0 over the page ends, XOR the run
// from `c` over 256 zero bytes. These tables give the latter for the low and
// the high byte of `c`.
using PageShift = std::array<std::array<std::uint16_t, 256>, 2>;

PageShift BuildPageShift(const Slices& t) {
    PageShift shift{};
    for (unsigned half = 0; half < 2; ++half) {
        for (unsigned n = 0; n < 256; ++n) {
            std::uint32_t c = n << (8 * half);
            for (std::size_t i = 0; i < clsFastCrc16::kPageSize; ++i) {
                c = (c >> 8) ^ t[0][c & 0xFF];
            }
            shift[half][n] = static_cast<std::uint16_t>(c);
        }
    }
    return shift;
}

const PageShift& ThePageShift() {
    static const PageShift shift = BuildPageShift(TheSlices());
    return shift;
}

// Eight bytes of the run, from register c.
inline std::uint32_t Step8(const Slices& t, std::uint32_t c, const std::uint8_t* p) {
    const std::uint32_t b0 = (p[0] ^ c) & 0xFF;
    const std::uint32_t b1 = (p[1] ^ (c >> 8)) & 0xFF;
    return t[7][b0] ^ t[6][b1] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^
           t[0][p[7]];
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
        c = Step8(t, c, p);
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

std::uint16_t clsFastCrc16::UpdatePages(std::uint16_t crc,
                                        std::span<const std::uint8_t* const> pages) {
    if (!Ready()) {
        for (const std::uint8_t* page : pages) {
            crc = Update(crc, std::span(page, kPageSize));  // shows the fault
        }
        return crc;
    }
    const Slices& t = TheSlices();
    const PageShift& shift = ThePageShift();
    const auto join = [&](std::uint32_t c, std::uint32_t page) {
        return shift[0][c & 0xFF] ^ shift[1][c >> 8] ^ page;
    };
    std::uint32_t c = crc;
    std::size_t k = 0;
    for (; k + 4 <= pages.size(); k += 4) {
        const std::uint8_t* const p0 = pages[k];
        const std::uint8_t* const p1 = pages[k + 1];
        const std::uint8_t* const p2 = pages[k + 2];
        const std::uint8_t* const p3 = pages[k + 3];
        std::uint32_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
        for (std::size_t i = 0; i < kPageSize; i += 8) {
            c0 = Step8(t, c0, p0 + i);
            c1 = Step8(t, c1, p1 + i);
            c2 = Step8(t, c2, p2 + i);
            c3 = Step8(t, c3, p3 + i);
        }
        c = join(join(join(join(c, c0), c1), c2), c3);
    }
    for (; k < pages.size(); ++k) {
        c = Update(static_cast<std::uint16_t>(c), std::span(pages[k], kPageSize));
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
