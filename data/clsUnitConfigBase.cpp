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
