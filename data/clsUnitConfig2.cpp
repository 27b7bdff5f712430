#include "clsUnitConfig2.h"

#include <string>

#include "ProgramMessageBoxes.h"
#include "mduGlobalModule.h"

namespace {

constexpr std::uint8_t kAutoPlayAlarmNoBit = 0x01;
constexpr std::uint8_t kRecordLength = 17;
constexpr std::uint8_t kFormatVersion = 1;
constexpr std::int16_t kUnitIDWidth = 10;
constexpr std::size_t kMinimumFormSize = 31;

}  // namespace

std::vector<std::uint8_t> clsUnitConfig2::MyByteArray() const {
    return RenderByteForm();
}

bool clsUnitConfig2::SetMyByteArray(std::span<const std::uint8_t> form) {
    return TakeByteForm(form);
}

bool clsUnitConfig2::AutoPlayAlarmNo() const {
    return mduGlobalModule::IsBitSet(unitSystemOption_, kAutoPlayAlarmNoBit);
}

void clsUnitConfig2::SetAutoPlayAlarmNo(bool value) {
    unitSystemOption_ = mduGlobalModule::SetBits(unitSystemOption_, value, kAutoPlayAlarmNoBit);
}

std::vector<std::uint8_t> clsUnitConfig2::RenderByteForm() const {
    using namespace mduGlobalModule;
    std::vector<std::uint8_t> form(kByteFormSize, 0);
    std::int32_t index = PutByte(form, static_cast<int>(kByteFormSize - 1), 0);
    index = PutByte(form, kRecordLength, index);
    index = PutByte(form, kFormatVersion, index);
    const Bytes id = TextToBytes(FormatFixedWidth(unitID_, kUnitIDWidth, true, false));
    index = PutBytes(form, id, index);
    std::uint16_t crc = GetCrc16(form, 3, kUnitIDWidth);
    index = PutByte(form, crc >> 8, index);
    index = PutByte(form, crc & 0xFF, index);
    index = PutByte(form, unitSystemOption_, index);
    crc = GetCrc16(form, 1, index - 1);
    index = PutByte(form, crc >> 8, index);
    PutByte(form, crc & 0xFF, index);
    return form;
}

bool clsUnitConfig2::TakeByteForm(std::span<const std::uint8_t> form) {
    using namespace mduGlobalModule;
    // 31 bytes hold every position read below (up to 15); the record length
    // at position 1 is checked against the array by CheckCrc16.
    if (form.size() < kMinimumFormSize) {
        ReportTableError(1);
        return false;
    }
    if (!CheckCrc16(form, 1, form[1])) {
        ReportTableError(2);
        return false;
    }
    if (form[2] != kFormatVersion) {
        ReportTableError(3);
        return false;
    }
    if (!CheckCrc16(form, 3, kUnitIDWidth + 2)) {
        ReportTableError(4);
        return false;
    }
    std::int32_t index = 3;
    unitID_ = BytesToText(GetBytes(form, kUnitIDWidth, index));
    index += 2;
    unitSystemOption_ = GetByte(form, index);
    return true;
}

void clsUnitConfig2::ReportTableError(int errorNumber) const {
    platform::ProgramMessageBoxes::Get().Show(
        "Unit CFG2 Table abnormal : " + std::to_string(errorNumber), platform::MsgButtons::Ok,
        platform::MsgIcon::Critical);
}
