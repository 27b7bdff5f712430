#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// CRC-16/MODBUS over long runs of bytes, eight bytes per step.
//
// Gives exactly the registers of mduGlobalModule::SumOperation (the same
// reflected 0xA001 table, extended to eight slices), so a data file section
// of several megabytes is checked in a fraction of the time. The register is
// the conventional CRC value: its low byte is SumOperation's first register
// (the byte sent first), its high byte the second.
class clsFastCrc16 {
  public:
    static constexpr std::uint16_t kInitial = 0xFFFF;

    // Continues `crc` over `bytes`. Start a run with kInitial.
    static std::uint16_t Update(std::uint16_t crc, std::span<const std::uint8_t> bytes);

    static constexpr std::size_t kPageSize = 256;

    // Continues `crc` over the given 256-byte pages, in order, as if they
    // were one run. Up to four pages are worked on side by side: each page's
    // CRC is a separate chain, and only joining them is in order, so the
    // processor overlaps chains that would otherwise wait on each other.
    static std::uint16_t UpdatePages(std::uint16_t crc, std::span<const std::uint8_t* const> pages);

    // True when the bytes are a record with its CRC at the end (the CRC over
    // all of them is 0). An empty run is not intact. Without the module tables
    // this falls back to SumOperation, which reports the fault.
    static bool Check(std::span<const std::uint8_t> bytes);

    // True once the module tables are filled, which the slices are built from.
    static bool Ready();
};
