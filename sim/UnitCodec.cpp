#include "UnitCodec.h"

namespace sim {

namespace {

std::uint8_t NextRollingKey(std::uint8_t key) {
    const auto swapped = static_cast<std::uint8_t>((key << 4) | (key >> 4));
    return static_cast<std::uint8_t>(swapped + 1);
}

}  // namespace

std::uint8_t UnitCodec::KeyAt(std::uint8_t head, std::size_t index, const LinkTable& table) {
    if (IsRollingHead(head)) {
        std::uint8_t key = head;
        for (std::size_t i = 1; i < index; ++i) {
            key = NextRollingKey(key);
        }
        return key;
    }
    const std::size_t start = static_cast<std::size_t>((head >> 4) ^ (head & 0x0F));
    return table[(start + index - 1) % table.size()];
}

std::vector<std::uint8_t> UnitCodec::Apply(std::span<const std::uint8_t> frame,
                                           const LinkTable& table) {
    std::vector<std::uint8_t> out(frame.begin(), frame.end());
    if (out.empty()) {
        return out;
    }
    const std::uint8_t head = out[0];
    if (IsRollingHead(head)) {
        std::uint8_t key = head;
        for (std::size_t i = 1; i < out.size(); ++i) {
            out[i] ^= key;
            key = NextRollingKey(key);
        }
        return out;
    }
    for (std::size_t i = 1; i < out.size(); ++i) {
        out[i] ^= KeyAt(head, i, table);
    }
    return out;
}

}  // namespace sim
