#include "clsUnitConfigBase.h"

#include "clsRandom.h"
#include "mduGlobalModule.h"

clsUnitConfigBase::clsUnitConfigBase() {
    clsRandom random;
    Create(random);
}

clsUnitConfigBase::clsUnitConfigBase(std::uint64_t seed) {
    clsRandom random(seed);
    Create(random);
}

void clsUnitConfigBase::Create(clsRandom& random) {
    // The draw order is fixed: random table, security table and its CRC,
    // null bytes, start index.
    random.NextBytes(randomBytes_);
    random.NextBytes(securityTable_);
    const std::uint16_t crc = mduGlobalModule::GetCrc16(securityTable_, 0, 14);
    securityTable_[14] = static_cast<std::uint8_t>(crc >> 8);
    securityTable_[15] = static_cast<std::uint8_t>(crc & 0xFF);
    random.NextBytes(forceNullBytes_);
    randomInex_ = static_cast<std::uint8_t>(random.NextRandom(0, 255));
}

std::vector<std::uint8_t> clsUnitConfigBase::SecurityTable() const {
    return {securityTable_.begin(), securityTable_.end()};
}

std::vector<std::uint8_t> clsUnitConfigBase::ForceNullBytes() const {
    return {forceNullBytes_.begin(), forceNullBytes_.end()};
}

std::vector<std::uint8_t> clsUnitConfigBase::RandomBytes() const {
    return {randomBytes_.begin(), randomBytes_.end()};
}

std::vector<std::uint8_t> clsUnitConfigBase::StartRecordForm(std::size_t size,
                                                             std::uint8_t recordLength,
                                                             std::int32_t& index) {
    using namespace mduGlobalModule;
    std::vector<std::uint8_t> form(size, 0);
    index = PutByte(form, static_cast<int>(size - 1), 0);
    index = PutByte(form, recordLength, index);
    index = PutByte(form, kRecordFormatVersion, index);
    return form;
}

std::int32_t clsUnitConfigBase::PutCrc16(std::span<std::uint8_t> form, std::int32_t from,
                                         std::int32_t index) {
    using namespace mduGlobalModule;
    const std::uint16_t crc = GetCrc16(form, from, index - from);
    index = PutByte(form, crc >> 8, index);
    return PutByte(form, crc & 0xFF, index);
}

int clsUnitConfigBase::CheckRecordForm(std::span<const std::uint8_t> form, std::size_t minimumSize,
                                       std::uint8_t recordLength) {
    if (form.size() < minimumSize || form.size() < 3) {
        return 1;
    }
    if (form[1] != recordLength || !mduGlobalModule::CheckCrc16(form, 1, recordLength)) {
        return 2;
    }
    if (form[2] != kRecordFormatVersion) {
        return 3;
    }
    return 0;
}
