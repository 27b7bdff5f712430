#include "clsUnitConfig2.h"

#include <string>

#include "ProgramMessageBoxes.h"
#include "clsUnitConfigBase.h"
#include "mduGlobalModule.h"

namespace {

constexpr std::uint8_t kAutoPlayAlarmNoBit = 0x01;
constexpr std::uint8_t kRecordLength = 17;
constexpr std::int32_t kUnitIDStart = 3;
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
    std::int32_t index = 0;
    std::vector<std::uint8_t> form =
        clsUnitConfigBase::StartRecordForm(kByteFormSize, kRecordLength, index);
    const std::int32_t idStart = index;
    index =
        PutBytes(form, TextToBytes(FormatFixedWidth(unitID_, kUnitIDWidth, true, false)), index);
    index = clsUnitConfigBase::PutCrc16(form, idStart, index);
    index = PutByte(form, unitSystemOption_, index);
    clsUnitConfigBase::PutCrc16(form, 1, index);
    return form;
}

bool clsUnitConfig2::TakeByteForm(std::span<const std::uint8_t> form) {
    using namespace mduGlobalModule;
    // 31 bytes hold every position read below (up to 15).
    if (const int error = clsUnitConfigBase::CheckRecordForm(form, kMinimumFormSize, kRecordLength);
        error != 0) {
        ReportTableError(error);
        return false;
    }
    if (!CheckCrc16(form, kUnitIDStart, kUnitIDWidth + 2)) {
        ReportTableError(4);
        return false;
    }
    std::int32_t index = kUnitIDStart;
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
