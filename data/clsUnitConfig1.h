#pragma once

#include <cstdint>
#include <span>
#include <vector>

class clsUnitConfigBase;

// The unit's CFG1 table: automatic speed limit and its option flags.
//
// Byte form, 65 bytes:
//   0      64 (bytes that follow)
//   1..16  link security table of the shared common part
//   17..36 twenty bytes a reader steps over (written as 0)
//   37     AutoSpeedLimit
//   38     option flags (bit 0: AutoPlayAlarmNo)
//   39..64 0
//
// The security table comes from the shared clsUnitConfigBase given at
// construction or through SetUnitConfigBase; without one, positions 1 to 16
// render as 0. The update itself never sends this form.
class clsUnitConfig1 {
  public:
    static constexpr std::size_t kByteFormSize = 65;

    clsUnitConfig1() = default;
    explicit clsUnitConfig1(const clsUnitConfigBase& base) : base_(&base) {}

    void SetUnitConfigBase(const clsUnitConfigBase* base) { base_ = base; }

    std::uint8_t AutoSpeedLimit() const { return autoSpeedLimit_; }
    void SetAutoSpeedLimit(std::uint8_t value) { autoSpeedLimit_ = value; }

    bool AutoPlayAlarmNo() const;
    void SetAutoPlayAlarmNo(bool value);

    // Renders the byte form.
    std::vector<std::uint8_t> MyByteArray() const;
    // Takes AutoSpeedLimit and the option flags from a byte form. A form too
    // short to hold them shows "Unit CFG1 Table abnormal : 1" and changes
    // nothing; the result tells whether the form was taken.
    bool SetMyByteArray(std::span<const std::uint8_t> form);

  private:
    void ReportTableError(int errorNumber) const;

    const clsUnitConfigBase* base_ = nullptr;
    std::uint8_t autoSpeedLimit_ = 40;
    std::uint8_t optionFlags_ = 0;
};
