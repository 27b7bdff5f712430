#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "clsLinkUnit.h"

using Bytes = std::vector<std::uint8_t>;
using Fault = clsLinkUnit::MessageFault;

namespace {

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

TEST(LinkUnit, TimingFollowsEveryCodeChangeAndAFreshRecordIsSetUpForTheErase) {
    struct Case {
        std::int32_t code;
        std::int32_t frameSpace;
        std::int32_t timeOut;
        std::int16_t fastLength;
    };
    // The catalogued codes' timings are held by fuzz_reply; here the codes
    // the layer never sends, and one the catalogue gives no timing.
    const Case cases[] = {
        {33, 5, 2000, -1}, {34, 5, 2000, -1}, {48, 5, 2000, -1},
        {2, 10, -1, -1},   {51, 5, 2000, 4},  {20, 5, 2000, -1},  // 20: 51's intervals stay
    };
    for (const Case& c : cases) {
        clsLinkUnit unit;
        unit.SetSubGroupTypeCode(51);  // leaves a fast length behind to be reset
        unit.SetSubGroupTypeCode(c.code);
        EXPECT_EQ(unit.FrameSpaceInterval(), c.frameSpace) << "code " << c.code;
        EXPECT_EQ(unit.TimeOutInterval(), c.timeOut) << "code " << c.code;
        EXPECT_EQ(unit.FastResponseLength(), c.fastLength) << "code " << c.code;
    }
    // A fresh record is set up for the erase, with every try left. It keeps
    // copies of the arrays it is given and ignores an empty recheck data.
    clsLinkUnit fresh;
    EXPECT_EQ(fresh.SubGroupTypeCode(), 14);
    EXPECT_EQ(fresh.TimeOutInterval(), 55000);
    EXPECT_EQ(fresh.RetryCounter(), clsLinkUnit::kMaxLinkRetryTimes);
    Bytes given = {1, 2, 3};
    fresh.SetDataTable(given);
    fresh.SetRecheckData(given);
    given[0] = 9;
    EXPECT_EQ(fresh.DataTable(), (Bytes{1, 2, 3}));
    fresh.SetRecheckData(Bytes{});
    fresh.SetDataTable(Bytes{});
    EXPECT_EQ(fresh.RecheckData(), (Bytes{1, 2, 3}));
    EXPECT_TRUE(fresh.DataTable().empty());
}

// The body of every request form, scrambled, and the record's judgement of
// each kind of reply (and of replies in a row) are held against models by the
// fuzz_reply target; its corpus replays as fuzz_replay_reply.

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
        {"write above 24 bits", Record(51, 0x7FFFFFFF, Bytes(4, 0x5A)), false,
         Fault::AddressOutOfRange, true},
        {"negative address", Record(50, -1, Bytes(4, 0x5A)), false, Fault::AddressOutOfRange, true},
        {"300-byte write", Record(51, 0, Bytes(300, 0x5A)), false, Fault::DataTableTooLong, true},
        {"256-byte write", Record(48, 0, Bytes(256, 0x5A)), true, Fault::DataTableTooLong, true},
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
    EXPECT_EQ(Record(51, 0xFFFFFF, Bytes(255, 0x5A)).GetLinkMessage().size(), 5U + 255U);
    EXPECT_EQ(Record(0, 0, Bytes(300, 0x5A)).GetLinkMessage().size(), 301U);
}
