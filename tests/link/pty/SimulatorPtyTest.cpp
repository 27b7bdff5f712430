#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "QtDriverRig.h"
#include "mduGlobalModule.h"

// The unit is killed while the driver waits for its reply: the cycle ends by
// its time-out, the next open reports the device missing, and a new unit on
// the same port number is reached as before.
TEST(GpsUnitSim, KilledUnitEndsTheCycleByTimeOutAndTheProgramGoesOn) {
    auto sim = std::make_unique<ChildProcess>(
        GPSUNIT_SIM_PATH, std::vector<std::string>{"--fault", "no-reply:sentence=hello,times=1"});
    const std::string gone = sim->FirstLine(5000);
    ASSERT_FALSE(gone.empty());
    QtDriverRig rig(gone);
    rig.comm.SetCommuStats(1);
    ASSERT_TRUE(rig.comm.SendDataToUnit(mduGlobalModule::BuildSentence("$GSHLO"), 20, 300, -1));
    ASSERT_TRUE(PumpUntil([&] { return rig.comm.CommFrameState() == 3; }, 2000));
    const qint64 sentMs = rig.clock.elapsed();
    sim->Signal(SIGKILL);
    sim->Wait(5000);
    ASSERT_TRUE(rig.WaitForEvents(1));
    EXPECT_EQ(rig.events[0].code, 2);
    EXPECT_TRUE(rig.events[0].bytes.empty());
    EXPECT_LT(rig.events[0].atMs - sentMs, 1000);
    // The control notices the hang-up and lets go of the port by itself; a
    // send is then refused with the reason, for the operator's box.
    EXPECT_TRUE(PumpUntil([&] { return !rig.control.PortOpen(); }, 1000));
    EXPECT_FALSE(rig.comm.SendDataToUnit(mduGlobalModule::BuildSentence("$GSHLO"), 20, 300, -1));
    EXPECT_NE(rig.comm.LastPortFault().find("COM9 (" + gone + "): the device has gone away"),
              std::string::npos)
        << rig.comm.LastPortFault();

    // Re-open (the connection test resets the driver first).
    rig.comm.NewCommStats(0, true);
    EXPECT_EQ(rig.comm.NewCommStats(1, true, true, true), 0);
    ASSERT_EQ(rig.boxes.Texts().size(), 1u);
    EXPECT_NE(rig.boxes.Texts()[0].find("系統說明 : COM9 (" + gone + "): no such device"),
              std::string::npos)
        << rig.boxes.Texts()[0];

    sim = std::make_unique<ChildProcess>(GPSUNIT_SIM_PATH, std::vector<std::string>{});
    const std::string fresh = sim->FirstLine(5000);
    ASSERT_FALSE(fresh.empty());
    rig.PointAt(fresh);
    ASSERT_EQ(rig.comm.NewCommStats(1, true), 1);
    ASSERT_TRUE(rig.comm.SendDataToUnit(mduGlobalModule::BuildSentence("$GSHLO"), 20, 300, -1));
    ASSERT_TRUE(rig.WaitForEvents(2));
    EXPECT_EQ(rig.events.back().code, 1);
    EXPECT_EQ(mduGlobalModule::ParseSentence(rig.events.back().bytes).at(0), "ASACK");
}
