#include "clsUnitConfig3.h"

#include <string>

#include "ProgramMessageBoxes.h"
#include "clsUnitConfigBase.h"
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
    std::int32_t index = 0;
    std::vector<std::uint8_t> form =
        clsUnitConfigBase::StartRecordForm(kByteFormSize, kRecordLength, index);
    index = PutByte(form, userOptionMode_, index);
    index = PutByte(form, userSpeedMute_, index);
    index = PutByte(form, alarmSpeedOverride_, index);
    index = PutByte(form, speedLimitOverride_, index);
    clsUnitConfigBase::PutCrc16(form, 1, index);
    return form;
}

bool clsUnitConfig3::TakeByteForm(std::span<const std::uint8_t> form) {
    using namespace mduGlobalModule;
    // 15 bytes hold every position read below (up to 6).
    if (const int error = clsUnitConfigBase::CheckRecordForm(form, kMinimumFormSize, kRecordLength);
        error != 0) {
        ReportTableError(error);
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
