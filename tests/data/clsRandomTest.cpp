#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "clsApdPacker.h"
#include "clsRandom.h"
#include "mduGlobalModule.h"

using Bytes = std::vector<std::uint8_t>;

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

// The codec's key in both modes, position by position, is checked against
// the simulated unit's own implementation on random frames (tests/sim,
// CrossCheck); here, the link's side of it.
TEST(Codec, IsItsOwnInverseOnEveryLength) {
    clsRandom random(99);
    clsRandom::Table table{};
    std::ranges::copy(random.SecurityTable(), table.begin());
    for (std::size_t length = 0; length <= 400; ++length) {
        Bytes src = clsApdPacker::SeededBytes(length, length);
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
