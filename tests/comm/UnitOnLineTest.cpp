#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef GPSUPDATE_HAVE_SIM
#include "AttachFrame.h"
#include "DriverRig.h"
#include "SimulatedUnit.h"

using Bytes = std::vector<std::uint8_t>;

// The driver and the simulated unit on the two ends of the in-memory line:
// the text greeting, the switch to the link speed and the first binary
// request, with a sentence at the wrong speed going unanswered on the way.
TEST(ClsCommWithUnit, GreetingLinkSwitchAndAttachOnTheMemoryLine) {
    DriverRig rig;
    sim::UnitConfig config;
    config.serial = "MEMLINE0001";
    sim::SimulatedUnit unit(config);
    rig.line.AttachPeer(&unit);

    auto sentence = [&](const char* head, int state) {
        rig.comm.SetCommuStats(state);
        const std::size_t before = rig.events.size();
        EXPECT_TRUE(rig.comm.SendDataToUnit(mduGlobalModule::BuildSentence(head), 20, 300, -1));
        EXPECT_TRUE(rig.RunUntilEvents(before + 1));
        return rig.events.back();
    };

    // A hello at the link speed is noise to a unit in text mode.
    EXPECT_EQ(sentence("$GSHLO", 2).code, 2);

    const auto hello = sentence("$GSHLO", 1);
    ASSERT_EQ(hello.code, 1);
    const std::vector<std::string> fields = mduGlobalModule::ParseSentence(hello.bytes);
    ASSERT_GE(fields.size(), 2u);
    EXPECT_EQ(fields[0], "ASACK");
    EXPECT_EQ(fields[1], "MEMLINE0001");

    ASSERT_EQ(sentence("$GSLNK", 1).code, 1);
    EXPECT_EQ(unit.CurrentMode(), sim::SimulatedUnit::Mode::Binary);

    clsRandom random(11);
    const Bytes table = random.SecurityTable();
    rig.comm.SetCommuStats(2);
    const std::int64_t sentUs = rig.clock.NowUs();
    ASSERT_TRUE(rig.comm.SendDataToUnit(AttachFrame(table), 5, 2000, -1));
    ASSERT_TRUE(rig.RunUntilEvents(rig.events.size() + 1));
    const auto reply = rig.events.back();
    ASSERT_EQ(reply.code, 1);
    EXPECT_TRUE(mduGlobalModule::CheckCrc16(reply.bytes));
    EXPECT_LT(reply.atUs - sentUs, 2000000);
    clsRandom::Table key{};
    std::copy(table.begin(), table.end(), key.begin());
    const Bytes clear = clsRandom::Codec(reply.bytes, key);
    ASSERT_GE(clear.size(), 5u);
    EXPECT_EQ(clear[1], 0x00);
    EXPECT_EQ(clear[2] & 0xF8, 0x08);  // accepted, with the Attach bit
    EXPECT_TRUE(unit.HasLinkTable());
}
#endif
