#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The unit's CFG2 table: its identity and its system option byte.
//
// Byte form, 33 bytes:
//   0      32 (bytes that follow)
//   1      17, length of the record at positions 1 to 17
//   2      1, format version
//   3..12  UnitID: right-padded with spaces to 10 characters, or its last 10
//   13..14 CRC-16/MODBUS of positions 3 to 12, low-order byte first
//   15     UnitSystemOption (bit 0: AutoPlayAlarmNo)
//   16..17 CRC-16/MODBUS of positions 1 to 15, low-order byte first
//   18..32 0
//
// UnitID is a byte string (one char per byte), as the unit reports it.
class clsUnitConfig2 {
  public:
    static constexpr std::size_t kByteFormSize = 33;

    clsUnitConfig2() = default;

    // Renders the byte form.
    std::vector<std::uint8_t> MyByteArray() const;
    // Takes UnitID and UnitSystemOption from a byte form. A form that fails a
    // check shows "Unit CFG2 Table abnormal : " and the error number (1 too
    // short, 2 record CRC or a record length other than 17, 3 format
    // version, 4 identity CRC) with the critical icon, and changes nothing;
    // the result tells whether the form was taken.
    bool SetMyByteArray(std::span<const std::uint8_t> form);

    std::string UnitID() const { return unitID_; }
    void SetUnitID(std::string id) { unitID_ = std::move(id); }

    bool AutoPlayAlarmNo() const;
    void SetAutoPlayAlarmNo(bool value);

    std::uint8_t UnitSystemOption() const { return unitSystemOption_; }
    void SetUnitSystemOption(std::uint8_t value) { unitSystemOption_ = value; }

  private:
    std::vector<std::uint8_t> RenderByteForm() const;
    bool TakeByteForm(std::span<const std::uint8_t> form);
    void ReportTableError(int errorNumber) const;

    std::string unitID_;
    std::uint8_t unitSystemOption_ = 0;
};
