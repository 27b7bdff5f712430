#include "MemoryImage.h"

#include <algorithm>

namespace sim {

MemoryImage::MemoryImage(std::size_t size, std::uint8_t fill) : bytes_(size, fill) {}

void MemoryImage::Fill(std::uint8_t value) {
    std::fill(bytes_.begin(), bytes_.end(), value);
}

bool MemoryImage::Fits(std::uint32_t address, std::size_t count) const {
    return address <= bytes_.size() && count <= bytes_.size() - address;
}

bool MemoryImage::Write(std::uint32_t address, std::span<const std::uint8_t> data) {
    if (!Fits(address, data.size())) {
        return false;
    }
    std::copy(data.begin(), data.end(), bytes_.begin() + address);
    return true;
}

bool MemoryImage::Program(std::uint32_t address, std::span<const std::uint8_t> data) {
    if (!Fits(address, data.size())) {
        return false;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        bytes_[address + i] &= data[i];
    }
    return true;
}

std::vector<std::uint8_t> MemoryImage::Read(std::uint32_t address, std::size_t count) const {
    if (!Fits(address, count)) {
        return {};
    }
    return {bytes_.begin() + address, bytes_.begin() + address + count};
}

std::uint64_t MemoryImage::DigestOf(std::span<const std::uint8_t> bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const std::uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

}  // namespace sim
