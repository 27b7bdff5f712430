#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "mduGlobalModule.h"

namespace m = mduGlobalModule;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The record with the CRC GetCrc16 gives it appended (its high byte first).
// (The tables against a bit-by-bit CRC, and single-bit errors, are the
// simulated unit's cross-check, tests/sim.)
Bytes Sealed(Bytes bytes) {
    const std::uint16_t crc = m::GetCrc16(bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return bytes;
}

}  // namespace

TEST(Crc16, CheckValueOfTheNineDigits) {
    const Bytes digits = Ascii("123456789");
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    EXPECT_FALSE(m::SumOperation(digits, 9, first, second));
    EXPECT_EQ(first, 0x37);
    EXPECT_EQ(second, 0x4B);
    EXPECT_EQ(m::GetCrc16(digits), 0x374B);
    EXPECT_EQ(m::GetCrc16(Bytes{}), 0xFFFF);

    const Bytes frame = Ascii("123456789\x37\x4B");
    EXPECT_TRUE(m::SumOperation(frame, 11, first, second));
    EXPECT_TRUE(m::CheckCrc16(frame));
    EXPECT_FALSE(m::SumOperation(frame, 9, first, second));  // vLen limits the walk
}

TEST(Crc16, RangesAreTakenInsideTheArrayOnly) {
    const Bytes record = Sealed(Ascii("GPS"));
    Bytes framed = {0xAA, 0xBB};
    framed.insert(framed.end(), record.begin(), record.end());
    framed.push_back(0xCC);

    // Length 0 or below runs from the start to the end.
    EXPECT_EQ(m::GetCrc16(framed, 2, 0), m::GetCrc16(Bytes(framed.begin() + 2, framed.end())));
    EXPECT_EQ(m::GetCrc16(framed, 2, -1), m::GetCrc16(framed, 2, 0));
    EXPECT_TRUE(m::CheckCrc16(framed, 2, static_cast<std::int32_t>(record.size())));
    EXPECT_FALSE(m::CheckCrc16(framed, 2, 0));  // the trailing 0xCC is part of the range

    // Ranges that do not fit: never intact, and the CRC covers only the part
    // inside the array (nothing at all gives the initial registers 0xFFFF).
    const auto size = static_cast<std::int32_t>(record.size());
    struct Case {
        const char* name;
        Bytes bytes;
        std::int32_t start;
        std::int32_t length;
        Bytes covered;
    };
    const Case cases[] = {
        {"empty array", {}, 0, 0, {}},
        {"start at the end", record, size, 0, {}},
        {"start past the end", record, 100, 2, {}},
        {"negative start", record, -1, 2, {}},
        {"length one past the end", record, 0, size + 1, record},
        {"huge length", record, 1, 0x7FFFFFFF, Bytes(record.begin() + 1, record.end())},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(m::CheckCrc16(c.bytes, c.start, c.length)) << c.name;
        EXPECT_EQ(m::GetCrc16(c.bytes, c.start, c.length), m::GetCrc16(c.covered)) << c.name;
    }
}

TEST(Crc16, MissingTablesAreReportedNotUsed) {
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scope(boxes);
    m::EraseGlobalTables();
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    const bool intact = m::SumOperation(Bytes{0xFF, 0xFF}, 2, first, second);
    m::InitGlobalTables();

    EXPECT_FALSE(intact);
    ASSERT_EQ(boxes.Boxes().size(), 1U);
    EXPECT_EQ(boxes.Boxes()[0].text.rfind("程式運作異常<SumOperation> : \r\n", 0), 0U)
        << boxes.Boxes()[0].text;
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Critical);
    EXPECT_TRUE(m::CheckCrc16(Bytes{0xFF, 0xFF}));  // tables are back
}

// The sentence builder and parser are held against a reference parse by the
// fuzz_sentence target; its corpus (malformed, mismatching and either-case
// sentences, builder inputs in every form) replays as fuzz_replay_sentence.

TEST(ByteArrays, BoundsAreInclusiveAndNothingLeavesTheArray) {
    EXPECT_EQ(m::ArrayCount(Bytes{}), 0);
    EXPECT_EQ(m::ArrayCount(Bytes{9}), 1);

    const Bytes source = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Bytes dest(4, 0xEE);
    EXPECT_TRUE(m::CopyArray(source, 6, dest, 1, 3));
    EXPECT_TRUE(m::CopyArray(source, 0, dest, 0, 0));
    EXPECT_FALSE(m::CopyArray(source, 8, dest, 0, 3));  // source too short
    EXPECT_FALSE(m::CopyArray(source, 0, dest, 2, 3));  // destination too short
    EXPECT_FALSE(m::CopyArray(source, -1, dest, 0, 1));
    EXPECT_EQ(dest, (Bytes{0xEE, 6, 7, 8}));

    std::int32_t index = 5;
    EXPECT_TRUE(m::GetBytes(source, 0, index).empty());
    EXPECT_EQ(index, 5);
    EXPECT_EQ(m::GetBytes(source, 3, index), (Bytes{5, 6, 7}));
    EXPECT_EQ(index, 8);
    EXPECT_TRUE(m::GetBytes(source, 3, index).empty());  // would end past the array
    EXPECT_EQ(index, 8);
    index = 10;
    EXPECT_EQ(m::GetByte(source, index), 0);  // outside: 0, the index still moves
    EXPECT_EQ(index, 11);

    Bytes target(3, 0);
    EXPECT_EQ(m::PutBytes(target, Bytes{1, 2, 3, 4}, 1), 5);  // positions stay counted
    EXPECT_EQ(target, (Bytes{0, 1, 2}));
    EXPECT_EQ(m::PutByte(target, 7, -1), 0);

    EXPECT_EQ(m::BytesToText(Ascii("ABCD"), 1), "BCD");
    EXPECT_EQ(m::BytesToText(Ascii("ABCD"), 4), "");
    EXPECT_EQ(m::BytesToText(Ascii("ABCD"), -1), "");
}

// Found by fuzzing (input b1da58010000 through a harness that hands PutByte a
// fuzzed index): stepping past INT32_MAX overflowed the index. The index now
// stays at INT32_MAX, which is outside every array.
TEST(ByteArrays, IndicesAtTheEndsOfTheRangeStayDefined) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        const char* name;
        std::int32_t index;
        std::size_t count;  // bytes put, and bytes got one by one
        std::int32_t after;
        Bytes target;  // a 4-byte array of 0xEE after putting 0x11 bytes
    };
    const Bytes untouched(4, 0xEE);
    const Case cases[] = {
        {"one byte at the top", kMax, 1, kMax, untouched},
        {"one byte below the top", kMax - 1, 1, kMax, untouched},
        {"a run across the top", kMax - 2, 5, kMax, untouched},
        {"the lowest index", kMin, 2, kMin + 2, untouched},
        {"from -1 into the array", -1, 2, 1, {0x11, 0xEE, 0xEE, 0xEE}},
    };
    for (const Case& c : cases) {
        Bytes target = untouched;
        EXPECT_EQ(m::PutBytes(target, Bytes(c.count, 0x11), c.index), c.after) << c.name;
        EXPECT_EQ(target, c.target) << c.name;

        std::int32_t index = c.index;
        for (std::size_t i = 0; i < c.count; ++i) {
            m::GetByte(c.target, index);
        }
        EXPECT_EQ(index, c.after) << c.name;
    }
    std::int32_t top = kMax;
    EXPECT_EQ(m::GetByte(untouched, top), 0);  // outside the array
    EXPECT_EQ(top, kMax);
}

TEST(TextFields, PadsGoOnTheNamedSide) {
    EXPECT_EQ(m::PadLeftZero("7", 3), "007");
    EXPECT_EQ(m::PadRightZero("7", 3), "700");
    EXPECT_EQ(m::PadLeftSpace("AB", 4), "  AB");
    EXPECT_EQ(m::PadRightSpace("AB", 4), "AB  ");
    EXPECT_EQ(m::PadLeftZero("12345", 3), "12345");
    EXPECT_EQ(m::PadRightSpace("", 2), "  ");
    EXPECT_EQ(m::FormatFixedWidth("12345", 3, true, true), "345");
    EXPECT_EQ(m::FormatFixedWidth("12345", 3, false, false), "345");
    EXPECT_EQ(m::FormatFixedWidth("12", 4, false, true), "0012");
    EXPECT_EQ(m::FormatFixedWidth("12", 4, true, false), "12  ");
    EXPECT_EQ(m::FormatFixedWidth("12", 0, true, false), "");
}

TEST(BitsAndSums, WorkedValues) {
    EXPECT_EQ(m::SwapNibbles(0x3C), 0xC3);
    EXPECT_FALSE(m::IsBitSet(0xFE, 0x03));  // every bit of the mask must be set
    EXPECT_EQ(m::SetBits(0xFE, false, 0x10), 0xEE);
    EXPECT_TRUE(m::IsSumValid(Bytes{0x01}));
    EXPECT_EQ(m::SumComplement(Bytes{0x10, 0x20}), 0xD1);
    EXPECT_EQ(m::SumComplement(Bytes{0x10, 0x20, 0x30}, 2), 0xD1);  // first two only
    // Each 0xFF adds 1 modulo 256, at any length. Found by fuzzing: from
    // 8,421,505 bytes of 0xFF on a 32-bit running value overflowed.
    for (std::size_t count : {300U, 8'421'504U, 8'421'505U, 8'421'505U * 2}) {
        EXPECT_EQ(m::SumComplement(Bytes(count, 0xFF)), static_cast<std::uint8_t>(1 + count))
            << count << " bytes";
    }
}

TEST(VersionText, OnlyTheLastRunOfDigitsCounts) {
    struct Case {
        const char* a;
        const char* b;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"A100", "B99", 1},
        {"1.10", "1.9", 1},
        {"2.05", "1.23", -1},
        {"V1.23", "x023", 0},
        {"", "0", 0},
        {"1.5b", "1.4", -1},  // a trailing letter sets the number back to 0
        {"2147483647", "2147483646", 1},
        {"2147483648", "1", std::nullopt},  // does not fit 32 bits
        {"99999999999.1", "0.2", -1},       // an overflowing run that is not the last is harmless
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m::CompareVersionText(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    }
}
