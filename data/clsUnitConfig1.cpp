#include "clsUnitConfig1.h"

#include <string>

#include "ProgramMessageBoxes.h"
#include "clsUnitConfigBase.h"
#include "mduGlobalModule.h"

namespace {

constexpr std::uint8_t kAutoPlayAlarmNoBit = 0x01;
constexpr std::int32_t kAutoSpeedLimitPosition = 37;
constexpr std::int32_t kOptionFlagsPosition = 38;

}  // namespace

bool clsUnitConfig1::AutoPlayAlarmNo() const {
    return mduGlobalModule::IsBitSet(optionFlags_, kAutoPlayAlarmNoBit);
}

void clsUnitConfig1::SetAutoPlayAlarmNo(bool value) {
    optionFlags_ = mduGlobalModule::SetBits(optionFlags_, value, kAutoPlayAlarmNoBit);
}

std::vector<std::uint8_t> clsUnitConfig1::MyByteArray() const {
    using namespace mduGlobalModule;
    std::vector<std::uint8_t> form(kByteFormSize, 0);
    std::int32_t index = PutByte(form, static_cast<int>(kByteFormSize - 1), 0);
    if (base_ != nullptr) {
        PutBytes(form, base_->SecurityTable(), index);
    }
    // Positions 17 to 36 stay 0: a reader steps over them.
    index = kAutoSpeedLimitPosition;
    index = PutByte(form, autoSpeedLimit_, index);
    PutByte(form, optionFlags_, index);
    return form;
}

bool clsUnitConfig1::SetMyByteArray(std::span<const std::uint8_t> form) {
    // Both fields sit at positions 37 and 38: a form that ends before 39
    // bytes cannot hold them.
    if (form.size() <= static_cast<std::size_t>(kOptionFlagsPosition)) {
        ReportTableError(1);
        return false;
    }
    std::int32_t index = kAutoSpeedLimitPosition;
    autoSpeedLimit_ = mduGlobalModule::GetByte(form, index);
    optionFlags_ = mduGlobalModule::GetByte(form, index);
    return true;
}

void clsUnitConfig1::ReportTableError(int errorNumber) const {
    platform::ProgramMessageBoxes::Get().Show(
        "Unit CFG1 Table abnormal : " + std::to_string(errorNumber), platform::MsgButtons::Ok,
        platform::MsgIcon::None);
}
