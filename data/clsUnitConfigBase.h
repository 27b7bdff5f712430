#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class clsRandom;

// The part every configuration table shares: the link security table, the
// random material and the unit's program and data versions.
//
// All random fields are drawn once at creation from the object's own random
// source; the default constructor seeds it from the operating system, tests
// pass a seed.
class clsUnitConfigBase {
  public:
    clsUnitConfigBase();
    explicit clsUnitConfigBase(std::uint64_t seed);

    // 14 random bytes and their CRC-16/MODBUS (low-order byte first), so the
    // whole table passes the CRC check.
    std::vector<std::uint8_t> SecurityTable() const;
    // 64 random bytes (the data of the FNull command).
    std::vector<std::uint8_t> ForceNullBytes() const;
    // 256 random bytes.
    std::vector<std::uint8_t> RandomBytes() const;

    std::uint8_t RandomInex() const { return randomInex_; }
    void SetRandomInex(std::uint8_t index) { randomInex_ = index; }

    // Filled from the unit's replies by the command layer; empty at creation.
    std::string UnitProgramVersion() const { return unitProgramVersion_; }
    void SetUnitProgramVersion(std::string version) { unitProgramVersion_ = std::move(version); }
    std::string UnitMapVersion() const { return unitMapVersion_; }
    void SetUnitMapVersion(std::string version) { unitMapVersion_ = std::move(version); }

    // --- The record pattern the CFG2 and CFG3 byte forms share ------------
    // Byte 0 counts the bytes after it; byte 1 is the length of a record that
    // starts at byte 1 and ends in its CRC-16/MODBUS (low-order byte first);
    // byte 2 is the record's format version.
    static constexpr std::uint8_t kRecordFormatVersion = 1;

    // A zeroed form of `size` bytes opened with the count, the record length
    // and the version; index is set to the position after them.
    static std::vector<std::uint8_t> StartRecordForm(std::size_t size, std::uint8_t recordLength,
                                                     std::int32_t& index);
    // Writes the CRC of positions `from` to index - 1 at index; returns the
    // position after it.
    static std::int32_t PutCrc16(std::span<std::uint8_t> form, std::int32_t from,
                                 std::int32_t index);
    // 0 when the form passes the shared checks, else its table error number:
    // 1 shorter than minimumSize, 2 record CRC fails, 3 format version not 1.
    // The CRC is checked over the table's own recordLength: a form whose
    // byte 1 declares any other length fails with 2 like a bad CRC, since a
    // shorter record would leave fields outside the CRC (and a longer one
    // would run into bytes that are no part of it). minimumSize must be at
    // least 3.
    static int CheckRecordForm(std::span<const std::uint8_t> form, std::size_t minimumSize,
                               std::uint8_t recordLength);

  private:
    void Create(clsRandom& random);

    std::array<std::uint8_t, 16> securityTable_{};
    std::array<std::uint8_t, 64> forceNullBytes_{};
    std::array<std::uint8_t, 256> randomBytes_{};
    std::uint8_t randomInex_ = 0;
    std::string unitProgramVersion_;
    std::string unitMapVersion_;
};
