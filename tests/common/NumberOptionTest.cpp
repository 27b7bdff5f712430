#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "NumberOption.h"

namespace {

using NumberOption::Radix;

TEST(NumberOption, WholeNumbersTakeOnlyDigitsInTheirRange) {
    const struct {
        const char* text;
        Radix radix;
        std::optional<std::int64_t> value;
    } cases[] = {
        {"16", Radix::Decimal, 16},
        {"1", Radix::Decimal, 1},
        {"0", Radix::Decimal, std::nullopt},  // below the range
        {"17", Radix::Decimal, std::nullopt},
        {"3x", Radix::Decimal, std::nullopt},
        {"", Radix::Decimal, std::nullopt},
        {"+3", Radix::Decimal, std::nullopt},
        {" 3", Radix::Decimal, std::nullopt},
        {"0x10", Radix::Decimal, std::nullopt},
        {"0x10", Radix::DecimalOrHex, 16},
        {"0XA", Radix::DecimalOrHex, 10},
        {"0x", Radix::DecimalOrHex, std::nullopt},
        {"99999999999999999999", Radix::DecimalOrHex, std::nullopt},  // beyond 64 bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberOption::Whole<std::int64_t>(c.text, 1, 16, c.radix), c.value) << c.text;
    }
    // The full unsigned range, as the data file tool's seed takes it.
    EXPECT_EQ(NumberOption::Whole<std::uint64_t>("0xFFFFFFFFFFFFFFFF", 0, UINT64_MAX,
                                                 Radix::DecimalOrHex),
              UINT64_MAX);
    EXPECT_EQ(NumberOption::Whole<std::uint64_t>("-1", 0, UINT64_MAX), std::nullopt);
}

TEST(NumberOption, SecondsAreWholeOrDecimalAboveZeroAndAtMostADay) {
    const struct {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"2.5", 2.5},
        {".5", 0.5},
        {"5.", 5.0},
        {"86400", 86400.0},
        {"1e2", 100.0},
        {"0", std::nullopt},
        {"-1", std::nullopt},
        {"86400.5", std::nullopt},
        {"", std::nullopt},
        {".", std::nullopt},
        {"1.2.3", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"1,5", std::nullopt},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(NumberOption::SecondsOption("--timeout", c.text, error), c.value) << c.text;
        EXPECT_EQ(error, c.value ? "" : "--timeout takes seconds above 0 (at most a day)")
            << c.text;
    }
    std::string error;
    EXPECT_EQ(NumberOption::WholeOption("--port", "17", 1, 16, "a COM number from 1 to 16", error),
              std::nullopt);
    EXPECT_EQ(error, "--port takes a COM number from 1 to 16");
}

}  // namespace
