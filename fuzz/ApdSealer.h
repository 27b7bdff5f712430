#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "clsFastCrc16.h"
#include "mduGlobalModule.h"

// Rewrites the CRCs of a data file image in place wherever its structure can
// be followed (key record, page count record, header section, and the body
// section when its page order is a permutation), so that fuzzed lengths,
// counts and page orders get past the CRC checks to the code behind them.
class ApdSealer {
  public:
    static void Seal(std::vector<std::uint8_t>& image) {
        std::size_t pos = 0;
        for (int text = 0; text < 3; ++text) {  // two bytes, then a text up to its 0
            const auto from = image.begin() + static_cast<long>(std::min(pos + 2, image.size()));
            pos = static_cast<std::size_t>(std::find(from, image.end(), 0) - image.begin()) + 1;
            if (pos > image.size()) {
                return;
            }
        }
        std::array<std::uint8_t, 2> record{};
        for (int r = 0; r < 2; ++r) {
            if (pos + 3 > image.size()) {
                return;
            }
            const std::uint16_t crc = CrcOf(std::span(image).subspan(pos, 1));
            image[pos + 1] = static_cast<std::uint8_t>(crc & 0xFF);
            image[pos + 2] = static_cast<std::uint8_t>(crc >> 8);
            record[r] = image[pos];
            pos += 3;
        }
        const std::uint8_t key = record[0];
        const std::size_t pages = record[1] ^ Key(key, 0);
        if (pages < 2 || pages > 127 || pos + pages * kPage > image.size()) {
            return;
        }

        std::vector<std::uint8_t> header(image.begin() + static_cast<long>(pos),
                                         image.begin() + static_cast<long>(pos + pages * kPage));
        for (std::size_t i = 0; i < header.size(); ++i) {
            header[i] ^= Key(key, i);
        }
        const std::size_t n = header.size();
        const std::uint16_t headerCrc = CrcOf(std::span(header).first(n - 2));
        image[pos + n - 2] = static_cast<std::uint8_t>(headerCrc & 0xFF) ^ Key(key, n - 2);
        image[pos + n - 1] = static_cast<std::uint8_t>(headerCrc >> 8) ^ Key(key, n - 1);
        const auto value = [&](std::size_t at, int width) {
            std::size_t v = 0;
            for (int i = 0; i < width; ++i) {
                v |= std::size_t{header[at + i]} << (8 * i);
            }
            return v;
        };
        const std::size_t skip = value(2, 3);
        const std::size_t bodyLength = value(265, 3);
        std::array<std::size_t, kPage> order{};
        std::array<bool, kPage> seen{};
        for (std::size_t i = 0; i < kPage; ++i) {
            order[i] = header[9 + i];
            if (seen[order[i]]) {
                return;  // not a permutation: the body's CRC cannot be placed
            }
            seen[order[i]] = true;
        }
        pos += n + skip * kPage;
        const std::size_t bodySize = (bodyLength + kPage - 1) / kPage * kPage;
        if (bodySize == 0 || pos + bodySize > image.size()) {
            return;
        }

        // The CRC covers the body in its restored order, before descrambling.
        std::vector<std::uint8_t> restored(bodySize);
        for (std::size_t p = 0; p < bodySize; p += kPage) {
            for (std::size_t i = 0; i < kPage; ++i) {
                restored[p + order[i]] = image[pos + p + i];
            }
        }
        const std::uint16_t bodyCrc = CrcOf(std::span(restored).first(bodySize - 2));
        const std::size_t lastPage = pos + bodySize - kPage;
        for (std::size_t i = 0; i < kPage; ++i) {
            if (order[i] == kPage - 2) {
                image[lastPage + i] = static_cast<std::uint8_t>(bodyCrc & 0xFF);
            } else if (order[i] == kPage - 1) {
                image[lastPage + i] = static_cast<std::uint8_t>(bodyCrc >> 8);
            }
        }
    }

  private:
    static constexpr std::size_t kPage = 256;

    static std::uint8_t Key(std::uint8_t key, std::size_t position) {
        return mduGlobalModule::XorCrcLoByte(static_cast<std::uint8_t>(key + position), 0);
    }
    static std::uint16_t CrcOf(std::span<const std::uint8_t> bytes) {
        return clsFastCrc16::Update(clsFastCrc16::kInitial, bytes);
    }
};
