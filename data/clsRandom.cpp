#include "clsRandom.h"

#include "mduGlobalModule.h"

namespace {

std::uint64_t SeedFromSystem() {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

clsRandom::clsRandom() : generator_(SeedFromSystem()) {
    Create();
}

clsRandom::clsRandom(std::uint64_t seed) : generator_(seed) {
    Create();
}

void clsRandom::Create() {
    NextBytes(randomBytes_);
    NextBytes(securityTable_);
    const std::uint16_t crc = mduGlobalModule::GetCrc16(securityTable_, 0, 14);
    securityTable_[14] = static_cast<std::uint8_t>(crc >> 8);
    securityTable_[15] = static_cast<std::uint8_t>(crc & 0xFF);
    randomInex_ = static_cast<std::uint8_t>(NextRandom(0, 255));
}

std::vector<std::uint8_t> clsRandom::SecurityTable() const {
    return {securityTable_.begin(), securityTable_.end()};
}

std::vector<std::uint8_t> clsRandom::RandomBytes() const {
    return {randomBytes_.begin(), randomBytes_.end()};
}

void clsRandom::NextBytes(std::span<std::uint8_t> bytes) {
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(NextRandom(0, 255));
    }
}

std::int32_t clsRandom::NextRandom(std::int32_t lo, std::int32_t hi) {
    // A uniform real 0 <= r < 1, scaled as the integer part of r * (hi - lo + 1) + lo.
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    double r = uniform(generator_);
    if (r >= 1.0) {
        r = 0.0;  // guard against a distribution that rounds up to 1
    }
    const auto value = static_cast<std::int64_t>(r * (static_cast<double>(hi) - lo + 1) + lo);
    return static_cast<std::uint8_t>(value & 0xFF);
}

std::vector<std::uint8_t> clsRandom::SecurityCODEC(std::span<const std::uint8_t> src) {
    return Codec(src, securityTable_);
}

std::vector<std::uint8_t> clsRandom::Codec(std::span<const std::uint8_t> src, const Table& table) {
    std::vector<std::uint8_t> out(src.begin(), src.end());
    if (out.empty()) {
        return out;
    }
    const std::uint8_t b0 = src[0];
    if (mduGlobalModule::SwapNibbles(b0) == b0) {
        std::uint8_t key = b0;
        for (std::size_t i = 1; i < out.size(); ++i) {
            out[i] = static_cast<std::uint8_t>(src[i] ^ key);
            key = static_cast<std::uint8_t>(mduGlobalModule::SwapNibbles(key) + 1);
        }
    } else {
        const std::size_t s = static_cast<std::size_t>((b0 >> 4) ^ (b0 & 0x0F));
        for (std::size_t i = 1; i < out.size(); ++i) {
            out[i] = static_cast<std::uint8_t>(src[i] ^ table[(s + i - 1) % kSecurityTableSize]);
        }
    }
    return out;
}
