#include "clsUnitConfig3.h"

#include <string>

#include "ProgramMessageBoxes.h"
#include "mduGlobalModule.h"

namespace {

constexpr std::uint8_t kRecordLength = 8;
constexpr std::size_t kMinimumFormSize = 15;

}  // namespace

void clsUnitConfig3::SetDefaultValue() {
    userOptionMode_ = 0xFE;
    userSpeedMute_ = 40;
    alarmSpeedOverride_ = 2;
    speedLimitOverride_ = 2;
}

bool clsUnitConfig3::Option(std::uint8_t mask) const {
    return mduGlobalModule::IsBitSet(userOptionMode_, mask);
}

void clsUnitConfig3::SetOption(std::uint8_t mask, bool value) {
    userOptionMode_ = mduGlobalModule::SetBits(userOptionMode_, value, mask);
}

std::vector<std::uint8_t> clsUnitConfig3::RenderByteForm() const {
    using namespace mduGlobalModule;
    std::vector<std::uint8_t> form(kByteFormSize, 0);
    std::int32_t index = PutByte(form, static_cast<int>(kByteFormSize - 1), 0);
    index = PutByte(form, kRecordLength, index);
    index = PutByte(form, UserOptionVersion(), index);
    index = PutByte(form, userOptionMode_, index);
    index = PutByte(form, userSpeedMute_, index);
    index = PutByte(form, alarmSpeedOverride_, index);
    index = PutByte(form, speedLimitOverride_, index);
    const std::uint16_t crc = GetCrc16(form, 1, index - 1);
    index = PutByte(form, crc >> 8, index);
    PutByte(form, crc & 0xFF, index);
    return form;
}

bool clsUnitConfig3::TakeByteForm(std::span<const std::uint8_t> form) {
    using namespace mduGlobalModule;
    // 15 bytes hold every position read below (up to 6); the record length
    // at position 1 is checked against the array by CheckCrc16.
    if (form.size() < kMinimumFormSize) {
        ReportTableError(1);
        return false;
    }
    if (!CheckCrc16(form, 1, form[1])) {
        ReportTableError(2);
        return false;
    }
    if (form[2] != UserOptionVersion()) {
        ReportTableError(3);
        return false;
    }
    std::int32_t index = 3;
    userOptionMode_ = GetByte(form, index);
    userSpeedMute_ = GetByte(form, index);
    alarmSpeedOverride_ = GetByte(form, index);
    speedLimitOverride_ = GetByte(form, index);
    return true;
}

void clsUnitConfig3::ReportTableError(int errorNumber) const {
    platform::ProgramMessageBoxes::Get().Show(
        "Unit CFG3 Table abnormal : " + std::to_string(errorNumber), platform::MsgButtons::Ok,
        platform::MsgIcon::None);
}
