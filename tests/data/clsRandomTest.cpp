#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "clsRandom.h"
#include "mduGlobalModule.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

clsRandom::Table TableOf(const clsRandom& random) {
    const Bytes bytes = random.SecurityTable();
    clsRandom::Table table{};
    std::copy(bytes.begin(), bytes.end(), table.begin());
    return table;
}

// A table whose every byte names its position, so the key position shows.
clsRandom::Table PositionTable() {
    clsRandom::Table table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    return table;
}

}  // namespace

TEST(RandomSource, TablesHaveTheirSizesAndTheSecurityTableItsCrc) {
    EXPECT_TRUE(mduGlobalModule::CheckCrc16(clsRandom().SecurityTable()));
    for (std::uint64_t seed = 0; seed < 50; ++seed) {
        const clsRandom random(seed);
        const Bytes table = random.SecurityTable();
        ASSERT_EQ(table.size(), 16U);
        EXPECT_TRUE(mduGlobalModule::CheckCrc16(table)) << "seed " << seed;
        const Bytes bytes = random.RandomBytes();
        ASSERT_EQ(bytes.size(), 256U);
        EXPECT_EQ(random.CurrentRandomByteData(255), bytes[255]) << "seed " << seed;
    }
    const clsRandom a(1234);
    EXPECT_EQ(a.RandomBytes(), clsRandom(1234).RandomBytes());
    EXPECT_NE(a.RandomBytes(), clsRandom(1235).RandomBytes());
}

TEST(RandomSource, NextRandomCoversExactlyItsBounds) {
    clsRandom random(5);
    struct Range {
        std::int32_t lo;
        std::int32_t hi;
    };
    for (const Range r : {Range{0, 0}, Range{7, 7}, Range{10, 20}, Range{250, 255}}) {
        std::vector<bool> seen(256, false);
        for (int i = 0; i < 2000; ++i) {
            const std::int32_t v = random.NextRandom(r.lo, r.hi);
            ASSERT_TRUE(v >= r.lo && v <= r.hi) << v << " outside " << r.lo << ".." << r.hi;
            seen[static_cast<std::size_t>(v)] = true;
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), r.hi - r.lo + 1)
            << r.lo << ".." << r.hi;
    }
}

TEST(Codec, RollingKeyWorkedVectors) {
    const clsRandom::Table table = PositionTable();
    struct Case {
        Bytes src;
        Bytes out;
    };
    const Case cases[] = {
        {{0x00, 0x10, 0x20}, {0x00, 0x10, 0x21}},
        {{0x11, 0x00, 0x00, 0x00}, {0x11, 0x11, 0x12, 0x22}},
        {{0x5A}, {0x5A}},
        {{0x12}, {0x12}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clsRandom::Codec(c.src, table), c.out) << "length " << c.src.size();
    }
    // Equal nibbles never touch the table.
    clsRandom::Table zeros{};
    const Bytes src = {0x77, 1, 2, 3, 4, 5};
    EXPECT_EQ(clsRandom::Codec(src, table), clsRandom::Codec(src, zeros));
}

TEST(Codec, TableKeyStartsAtTheNibbleDifferenceAndWraps) {
    const clsRandom::Table table = PositionTable();
    // b0 = 0x12: s = 1 XOR 2 = 3; data byte i uses table byte (3 + i - 1) mod 16.
    Bytes src(1 + 20, 0);
    src[0] = 0x12;
    const Bytes out = clsRandom::Codec(src, table);
    EXPECT_EQ(out[0], 0x12);
    EXPECT_EQ(out[1], table[3]);
    EXPECT_EQ(out[2], table[4]);
    EXPECT_EQ(out[13], table[15]);
    EXPECT_EQ(out[14], table[0]);  // the 14th data byte wraps round
    EXPECT_EQ(out[20], table[6]);

    // 0xF0: s = 15, so the first data byte already uses the last table byte.
    src[0] = 0xF0;
    const Bytes wrapped = clsRandom::Codec(src, table);
    EXPECT_EQ(wrapped[1], table[15]);
    EXPECT_EQ(wrapped[2], table[0]);
}

TEST(Codec, IsItsOwnInverseOnEveryLength) {
    clsRandom random(99);
    const clsRandom::Table table = TableOf(random);
    std::mt19937 rng(3);
    for (std::size_t length = 0; length <= 400; ++length) {
        Bytes src(length);
        for (auto& b : src) {
            b = static_cast<std::uint8_t>(rng());
        }
        for (std::uint8_t head : {std::uint8_t{0x44}, std::uint8_t{0x9C}}) {
            if (!src.empty()) {
                src[0] = head;  // one of each key mode
            }
            const Bytes once = random.SecurityCODEC(src);
            ASSERT_EQ(once.size(), src.size());
            ASSERT_EQ(once, clsRandom::Codec(src, table)) << "length " << length;
            ASSERT_EQ(random.SecurityCODEC(once), src) << "length " << length;
        }
    }
}
