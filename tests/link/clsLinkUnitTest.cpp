#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "clsLinkUnit.h"

using Bytes = std::vector<std::uint8_t>;
using Fault = clsLinkUnit::MessageFault;

namespace {

Bytes Sequence(std::size_t count, std::uint8_t first = 0) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(first + i);
    }
    return bytes;
}

clsLinkUnit Record(std::int32_t code, std::int32_t address = 0, const Bytes& data = {},
                   std::uint8_t size = 0) {
    clsLinkUnit unit;
    unit.SetSubGroupTypeCode(code);
    unit.SetAddress(address);
    unit.SetDataTable(data);
    unit.SetQueuyDataSize(size);
    return unit;
}

}  // namespace

TEST(LinkUnit, TimingFollowsEveryCodeChange) {
    struct Case {
        std::int32_t code;
        std::int32_t frameSpace;
        std::int32_t timeOut;
        std::int16_t fastLength;
    };
    const Case cases[] = {
        {0, 5, 2000, -1},  {33, 5, 2000, -1}, {34, 5, 2000, -1}, {48, 5, 2000, -1},
        {50, 5, 2000, -1}, {1, 10, 300, -1},  {4, 10, 300, -1},  {9, 10, 300, -1},
        {10, 10, 300, -1}, {11, 10, 300, -1}, {49, 10, 300, -1}, {2, 10, -1, -1},
        {5, 20, 300, -1},  {6, 20, 300, -1},  {7, 20, 300, -1},  {8, 20, 300, -1},
        {15, 20, 300, -1}, {41, 20, 300, -1}, {42, 20, 300, -1}, {52, 20, 300, -1},
        {53, 20, 300, -1}, {54, 20, 300, -1}, {55, 20, 300, -1}, {14, 10, 55000, -1},
        {51, 5, 2000, 4},  {20, 5, 2000, -1},  // 20 has no timing: 51's intervals stay
    };
    for (const Case& c : cases) {
        clsLinkUnit unit;
        unit.SetSubGroupTypeCode(51);  // leaves a fast length behind to be reset
        unit.SetSubGroupTypeCode(c.code);
        EXPECT_EQ(unit.FrameSpaceInterval(), c.frameSpace) << "code " << c.code;
        EXPECT_EQ(unit.TimeOutInterval(), c.timeOut) << "code " << c.code;
        EXPECT_EQ(unit.FastResponseLength(), c.fastLength) << "code " << c.code;
    }
    // A fresh record is set up for the erase, with every try left.
    const clsLinkUnit fresh;
    EXPECT_EQ(fresh.SubGroupTypeCode(), 14);
    EXPECT_EQ(fresh.TimeOutInterval(), 55000);
    EXPECT_EQ(fresh.RetryCounter(), clsLinkUnit::kMaxLinkRetryTimes);
}

TEST(LinkUnit, BodiesOfEachForm) {
    const Bytes table64 = Sequence(64, 0x80);
    const Bytes table224 = Sequence(224, 1);
    Bytes write50 = {0x32, 0x00, 0x00, 0x70, 0x40};
    write50.insert(write50.end(), table64.begin(), table64.end());
    Bytes write51 = {0x33, 0x00, 0x12, 0x34, 0xE0};
    write51.insert(write51.end(), table224.begin(), table224.end());
    Bytes attach = {0x00};
    attach.insert(attach.end(), table64.begin(), table64.begin() + 16);

    struct Case {
        const char* name;
        clsLinkUnit unit;
        Bytes body;
    };
    Case cases[] = {
        {"read 52", Record(52, 70000, {}, 16), {0x34, 0x01, 0x11, 0x70, 0x10}},
        {"read 55 at the top address",
         Record(55, 0xFFFFFF, {}, 255),
         {0x37, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"write 50", Record(50, 112, table64), write50},
        {"write 51", Record(51, 0x001234, table224), write51},
        {"write 49 of one byte", Record(49, 1, {0xA5}), {0x31, 0x00, 0x00, 0x01, 0x01, 0xA5}},
        {"plain 5", Record(5), {0x05}},
        {"plain 2 ignores its table", Record(2, 0, {1, 2}), {0x02}},
        {"table 0 empty", Record(0), {0x00}},
        {"table 0 with the link table", Record(0, 0, Bytes(table64.begin(), table64.begin() + 16)),
         attach},
    };
    for (Case& c : cases) {
        EXPECT_EQ(c.unit.GetLinkMessage(), c.body) << c.name;
        EXPECT_EQ(c.unit.LastMessageFault(), Fault::None) << c.name;
    }
}

// The scrambled form (head code, then the body through the link codec) is
// checked where the command layer sends it, tests/commands.

TEST(LinkUnit, CountDownStopsAtZeroAndOnlyWhenAsked) {
    struct Case {
        std::int16_t start;
        bool countDown;
        std::int16_t expected;
    };
    const Case cases[] = {{3, true, 2},  {1, true, 0},  {0, true, 0},
                          {-1, true, 0}, {3, false, 3}, {-1, false, -1}};
    for (const Case& c : cases) {
        clsLinkUnit unit = Record(5);
        unit.SetRetryCounter(c.start);
        EXPECT_EQ(unit.GetLinkMessage(false, 0, c.countDown), Bytes{0x05});
        EXPECT_EQ(unit.RetryCounter(), c.expected) << c.start << " count down " << c.countDown;
    }
}

TEST(LinkUnit, RequestsThatCannotBeEncodedGiveNothing) {
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scope(boxes);
    struct Case {
        const char* name;
        clsLinkUnit unit;
        bool scramble;
        Fault fault;
        bool shown;
    };
    Case cases[] = {
        {"read above 24 bits", Record(52, 0x1000000, {}, 16), false, Fault::AddressOutOfRange,
         true},
        {"write above 24 bits", Record(51, 0x7FFFFFFF, Sequence(4)), false,
         Fault::AddressOutOfRange, true},
        {"negative address", Record(50, -1, Sequence(4)), false, Fault::AddressOutOfRange, true},
        {"300-byte write", Record(51, 0, Sequence(300)), false, Fault::DataTableTooLong, true},
        {"256-byte write", Record(48, 0, Sequence(256)), true, Fault::DataTableTooLong, true},
        {"empty write 51", Record(51, 0x100), false, Fault::DataTableEmpty, true},
        {"empty write 48", Record(48), true, Fault::DataTableEmpty, true},
        {"scrambling without a codec", Record(5), true, Fault::NoCodec, true},
        {"code without a message", Record(20), false, Fault::NoMessageForCode, false},
        {"negative code", Record(-3), true, Fault::NoMessageForCode, false},
    };
    for (Case& c : cases) {
        boxes.Clear();
        c.unit.SetRetryCounter(2);
        EXPECT_TRUE(c.unit.GetLinkMessage(c.scramble, 0x12, true).empty()) << c.name;
        EXPECT_EQ(c.unit.LastMessageFault(), c.fault) << c.name;
        EXPECT_EQ(c.unit.RetryCounter(), 2) << c.name;
        ASSERT_EQ(boxes.Boxes().size(), c.shown ? 1U : 0U) << c.name;
        if (c.shown) {
            EXPECT_EQ(boxes.Boxes()[0].text.rfind("程式運作異常<AutoSendMessageToUnit> : \r\n", 0),
                      0U)
                << c.name << ": " << boxes.Boxes()[0].text;
            EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Critical) << c.name;
        }
    }

    // The limits themselves still encode; a table command has no length limit.
    EXPECT_EQ(Record(51, 0xFFFFFF, Sequence(255)).GetLinkMessage().size(), 5U + 255U);
    EXPECT_EQ(Record(0, 0, Sequence(300)).GetLinkMessage().size(), 301U);
}

TEST(LinkUnit, RepliesAreJudgedByEchoAndStatus) {
    const Bytes data = {0xD1, 0xD2, 0xD3};
    struct Case {
        const char* name;
        Bytes reply;
        std::uint8_t result;
        std::uint8_t status;  // CheckStatus afterwards (starts at 0)
        Bytes stored;         // UnitResponseData and RecheckData afterwards
    };
    const Case cases[] = {
        {"accepted with data", {0x99, 7, 0x00, 0xD1, 0xD2, 0xD3, 0xC1, 0xC2}, 0xF0, 0x00, data},
        {"refused with data", {0x99, 7, 0x21, 0xD1, 0xD2, 0xD3, 0xC1, 0xC2}, 0x20, 0x21, {}},
        {"accepted, five bytes", {0x99, 7, 0x05, 0xC1, 0xC2}, 0x00, 0x05, {}},
        {"refused, five bytes", {0x99, 7, 0x85, 0xC1, 0xC2}, 0x80, 0x85, {}},
        {"one data byte", {0x99, 7, 0x02, 0xD1, 0xC1, 0xC2}, 0xF0, 0x02, {0xD1}},
        {"answers code 8", {0x99, 8, 0x0A, 0xD1, 0xD2, 0xD3, 0xC1, 0xC2}, 0xF0, 0x0A, {}},
        {"four bytes", {0x99, 7, 0x0A, 0xC1}, 0xF0, 0x00, {}},
        {"empty", {}, 0xF0, 0x00, {}},
    };
    for (const Case& c : cases) {
        clsLinkUnit unit = Record(7);
        EXPECT_EQ(unit.CheckUnitResponsePackage(c.reply), c.result) << c.name;
        EXPECT_EQ(unit.CheckStatus(), c.status) << c.name;
        EXPECT_EQ(unit.UnitResponseData(), c.stored) << c.name;
        EXPECT_EQ(unit.RecheckData(), c.stored) << c.name;
    }

    // A later reply that is not taken leaves the earlier data in place.
    clsLinkUnit unit = Record(7);
    unit.CheckUnitResponsePackage(cases[0].reply);
    unit.CheckUnitResponsePackage(cases[1].reply);
    EXPECT_EQ(unit.UnitResponseData(), data);
    EXPECT_EQ(unit.CheckStatus(), 0x21);
}

TEST(LinkUnit, ArrayPropertiesKeepCopiesAndAnEmptyRecheckDataIsIgnored) {
    clsLinkUnit unit;
    Bytes given = {1, 2, 3};
    unit.SetDataTable(given);
    unit.SetRecheckData(given);
    given[0] = 9;
    EXPECT_EQ(unit.DataTable(), (Bytes{1, 2, 3}));
    unit.SetRecheckData(Bytes{});
    unit.SetDataTable(Bytes{});
    EXPECT_EQ(unit.RecheckData(), (Bytes{1, 2, 3}));
    EXPECT_TRUE(unit.DataTable().empty());
}
