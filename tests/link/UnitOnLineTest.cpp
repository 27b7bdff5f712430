#include <gtest/gtest.h>

#include <string>
#include <vector>

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

    // The first binary request is heard at the link speed.
    rig.comm.SetCommuStats(2);
    ASSERT_TRUE(rig.comm.SendDataToUnit(AttachFrame(clsRandom(11).SecurityTable()), 5, 2000, -1));
    ASSERT_TRUE(rig.RunUntilEvents(rig.events.size() + 1));
    EXPECT_EQ(rig.events.back().code, 1);
    EXPECT_TRUE(mduGlobalModule::CheckCrc16(rig.events.back().bytes));
    EXPECT_TRUE(unit.HasLinkTable());
}
