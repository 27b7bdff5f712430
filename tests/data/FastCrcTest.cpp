#include <gtest/gtest.h>

#include <vector>

#include "clsApdPacker.h"
#include "clsFastCrc16.h"
#include "mduGlobalModule.h"

namespace {

// The registers SumOperation ends with, as one conventional CRC value.
std::uint16_t Reference(std::span<const std::uint8_t> bytes) {
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    mduGlobalModule::SumOperation(bytes, static_cast<std::int32_t>(bytes.size()), first, second);
    return static_cast<std::uint16_t>(first | (second << 8));
}

constexpr auto RandomBytes = &clsApdPacker::SeededBytes;

TEST(FastCrc16, EqualsSumOperationOnRandomDataOfEveryLengthAndAlignment) {
    const std::vector<std::uint8_t> data = RandomBytes(3000, 2024);
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length = 0; length + offset <= data.size();
             length += (length < 64 ? 1 : 37)) {
            const std::span<const std::uint8_t> run(data.data() + offset, length);
            ASSERT_EQ(clsFastCrc16::Update(clsFastCrc16::kInitial, run), Reference(run))
                << "offset " << offset << " length " << length;
        }
    }
}

// Pages worked on side by side, in groups of four and the rest alone, give
// the value of one run over them in order, page by page (Update, checked
// above, carried on from the register it left), from any starting register.
TEST(FastCrc16, PagesSideBySideGiveTheRunsValue) {
    const std::vector<std::uint8_t> data = RandomBytes(9 * clsFastCrc16::kPageSize, 77);
    for (std::size_t count = 0; count <= 9; ++count) {
        std::vector<const std::uint8_t*> pages;
        for (std::size_t k = 0; k < count; ++k) {
            pages.push_back(data.data() + (count - 1 - k) * clsFastCrc16::kPageSize);
        }
        for (std::uint16_t start : {std::uint16_t{0xFFFF}, std::uint16_t{0x1234}}) {
            std::uint16_t run = start;
            for (const std::uint8_t* page : pages) {
                run = clsFastCrc16::Update(run, std::span(page, clsFastCrc16::kPageSize));
            }
            EXPECT_EQ(clsFastCrc16::UpdatePages(start, pages), run)
                << count << " pages from " << start;
        }
    }
}

TEST(FastCrc16, ChecksRecordsSealedByGetCrc16) {
    std::vector<std::uint8_t> record = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    const std::uint16_t crc = mduGlobalModule::GetCrc16(record);
    record.push_back(static_cast<std::uint8_t>(crc >> 8));  // first CRC byte
    record.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    EXPECT_TRUE(clsFastCrc16::Check(record));
    record[3] ^= 0x01;
    EXPECT_FALSE(clsFastCrc16::Check(record));
    EXPECT_FALSE(clsFastCrc16::Check({}));
}

}  // namespace
