#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Writes update data files (.apd): the exact inverse of what
// clsPNV480DnLdData reads. Used by the data file tool, the tests, the fuzz
// seeds and the benchmark.
//
// Values are written as given, within the width of their fields, even when
// the loader will refuse them (a page count of 0 or 128, a skip count of 0,
// a header length that disagrees with the data), so that damaged files can be
// made on purpose.
class clsApdPacker {
  public:
    using Bytes = std::vector<std::uint8_t>;
    // Entry i: the position within its page at which stored body byte i belongs.
    using PageOrder = std::array<std::uint8_t, 256>;

    struct Settings {
        Bytes flashData;
        Bytes parameterData;
        std::string dataFileVersion = "0601";
        std::string toolVersionList = "KQDV01.0000";
        std::string unitProgramVersionList = "GPSP01.2000";
        std::uint8_t key = 0x5A;
        PageOrder pageOrder = IdentityOrder();
        std::int32_t headerPages = 2;  // P, one byte
        std::int32_t skipPages = 1;    // S, 24-bit
        std::uint16_t headerWord = 0;
        std::uint64_t fillerSeed = 1;  // filler of the header, skip and body sections
        // Header values to declare instead of the ones the data gives
        // (R = E + F + 2, E and F = the data's sizes).
        std::optional<std::uint32_t> bodyLength;
        std::optional<std::uint32_t> parameterLength;
        std::optional<std::uint32_t> flashLength;
    };

    // Where each part of a packed file ends, in file order.
    struct Boundary {
        std::string name;
        std::size_t end = 0;
    };

    // The file image, or nothing with `error` set when a value does not fit
    // its field.
    static std::optional<Bytes> Pack(const Settings& settings, std::string* error = nullptr,
                                     std::vector<Boundary>* layout = nullptr);

    static PageOrder IdentityOrder();
    static PageOrder ReverseOrder();
    // A permutation drawn from a generator seeded with `seed`.
    static PageOrder RandomOrder(std::uint64_t seed);
    // `count` bytes drawn from a generator seeded with `seed`.
    static Bytes SeededBytes(std::size_t count, std::uint64_t seed);

    // Writes the bytes to a file; false with `error` set on failure.
    static bool WriteFile(const std::string& path, std::span<const std::uint8_t> bytes,
                          std::string* error = nullptr);
};
