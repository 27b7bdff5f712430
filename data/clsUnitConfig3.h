#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The unit's CFG3 table: the user options.
//
// Byte form, 17 bytes:
//   0      16 (bytes that follow)
//   1      8, length of the record at positions 1 to 8
//   2      1, format version (UserOptionVersion)
//   3      user option mode (the eight Boolean options, one bit each)
//   4      UserSpeedMute
//   5      AlarmSpeedOverride
//   6      SpeedLimitOverride
//   7..8   CRC-16/MODBUS of positions 1 to 6, low-order byte first
//   9..16  0
//
// The update never sends this form; RenderByteForm and TakeByteForm are the
// table's own rendering and parsing, public so that they can be checked.
class clsUnitConfig3 {
  public:
    static constexpr std::size_t kByteFormSize = 17;

    clsUnitConfig3() { SetDefaultValue(); }

    bool UserOptionMode_AlarmSpeedCheckEnable() const { return Option(0x01); }
    void SetUserOptionMode_AlarmSpeedCheckEnable(bool value) { SetOption(0x01, value); }
    bool UserOptionMode_AlarmNormalEnable() const { return Option(0x02); }
    void SetUserOptionMode_AlarmNormalEnable(bool value) { SetOption(0x02, value); }
    bool UnitUserOptionMode_AlarmSpeedTracking() const { return Option(0x04); }
    void SetUnitUserOptionMode_AlarmSpeedTracking(bool value) { SetOption(0x04, value); }
    bool UnitUserOptionMode_AlarmSpeedMute() const { return Option(0x08); }
    void SetUnitUserOptionMode_AlarmSpeedMute(bool value) { SetOption(0x08, value); }
    bool UnitUserOptionMode_WarningEnable() const { return Option(0x10); }
    void SetUnitUserOptionMode_WarningEnable(bool value) { SetOption(0x10, value); }
    bool UnitUserOptionMode_ServiceEnable() const { return Option(0x20); }
    void SetUnitUserOptionMode_ServiceEnable(bool value) { SetOption(0x20, value); }
    bool UnitUserOptionMode_AutoSpeedLimitEnable() const { return Option(0x40); }
    void SetUnitUserOptionMode_AutoSpeedLimitEnable(bool value) { SetOption(0x40, value); }
    bool UserOption_DemoPlayEnable() const { return Option(0x80); }
    void SetUserOption_DemoPlayEnable(bool value) { SetOption(0x80, value); }

    std::uint8_t UserSpeedMute() const { return userSpeedMute_; }
    void SetUserSpeedMute(std::uint8_t value) { userSpeedMute_ = value; }
    std::uint8_t AlarmSpeedOverride() const { return alarmSpeedOverride_; }
    void SetAlarmSpeedOverride(std::uint8_t value) { alarmSpeedOverride_ = value; }
    std::uint8_t SpeedLimitOverride() const { return speedLimitOverride_; }
    void SetSpeedLimitOverride(std::uint8_t value) { speedLimitOverride_ = value; }
    std::uint8_t UserOptionVersion() const { return 1; }

    // Every option but AlarmSpeedCheckEnable on, mute speed 40, both
    // overrides 2.
    void SetDefaultValue();

    // The user option mode byte as a whole (the eight options above).
    std::uint8_t UserOptionMode() const { return userOptionMode_; }

    std::vector<std::uint8_t> RenderByteForm() const;
    // Takes the fields from a byte form. A form that fails a check shows
    // "Unit CFG3 Table abnormal : " and the error number (1 too short,
    // 2 record CRC or a record length other than 8, 3 format version) and
    // changes nothing; the result tells whether the form was taken.
    bool TakeByteForm(std::span<const std::uint8_t> form);

  private:
    bool Option(std::uint8_t mask) const;
    void SetOption(std::uint8_t mask, bool value);
    void ReportTableError(int errorNumber) const;

    std::uint8_t userOptionMode_ = 0;
    std::uint8_t userSpeedMute_ = 0;
    std::uint8_t alarmSpeedOverride_ = 0;
    std::uint8_t speedLimitOverride_ = 0;
};
