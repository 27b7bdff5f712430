// The station's rules on a fake launcher and the virtual clock.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakeLauncher.h"
#include "Station.h"
#include "StationTexts.h"
#include "VirtualClock.h"

namespace {

using Action = RunRequest::Action;
using Phase = StationTile::Phase;
using Result = StationTile::Result;

const std::string kSuccess = R"({"t_ms":9,"kind":"end","result":"success","outcome":"success"})";
const std::string kFailure = R"({"t_ms":9,"kind":"end","result":"failure","outcome":"failure"})";

std::string Serial(const std::string& serial) {
    return R"({"t_ms":1,"kind":"info","line":2,"text":"x","fact":"serial","value":")" + serial +
           "\"}";
}

struct Rig {
    platform::VirtualClock clock;
    FakeLauncher launcher;
    std::unique_ptr<Station> station;

    explicit Rig(StationSettings settings = {}) {
        settings.file = "/data/0601.apd";
        settings.pollIntervalMs = 2000;
        settings.silenceLimitMs = 30000;
        station = std::make_unique<Station>(
            launcher, clock, [this] { return clock.NowMs(); }, settings);
    }
    FakeLauncher::Id Newest(int port) const { return launcher.Newest(port); }
    FakeLauncher::Run& Run(int port) { return launcher.runs.at(Newest(port)); }
    const RunRequest& Request(int port) { return Run(port).request; }
    void Start(int port) {
        std::string why;
        ASSERT_TRUE(station->Start(port, why)) << why;
    }
    // The newest run on the port writes a line, or ends.
    void Line(int port, const std::string& line) { launcher.Line(Newest(port), line); }
    void Exit(int port, ChildExit exit = {}) { launcher.Exit(Newest(port), exit); }
    // No run is started in the next `ms`.
    bool StartsNothingIn(std::int64_t ms) {
        const auto runs = launcher.runs.size();
        clock.AdvanceBy(ms);
        return launcher.runs.size() == runs;
    }
    // The newest run on the port answers (or not) a connection test.
    void Poll(int port, const std::string& serial) {
        ASSERT_EQ(Request(port).action, Action::Test);
        EXPECT_FALSE(Request(port).record) << "a greeting is not written to the history";
        if (serial.empty()) {
            Line(port, kFailure);
            Exit(port, {false, 1, ""});
        } else {
            Line(port, Serial(serial));
            Line(port, kSuccess);
            Exit(port);
        }
    }
    void Update(int port, const std::string& serial, const std::string& end = kSuccess) {
        ASSERT_EQ(Request(port).action, Action::Update);
        EXPECT_TRUE(Request(port).record);
        Line(port, Serial(serial));
        Line(port, end);
        Exit(port, {false, end == kSuccess ? 0 : 1, ""});
    }
};

}  // namespace

TEST(Station, EachPortRunsItsOwnUpdateAndACrashStaysOnItsTile) {
    Rig rig;
    for (int port : {3, 4, 5}) {
        rig.station->AddPort(port);
    }
    EXPECT_TRUE(rig.station->StartAll().empty());
    ASSERT_EQ(rig.launcher.runs.size(), 3u);
    EXPECT_EQ(rig.Request(4).file, "/data/0601.apd");
    EXPECT_FALSE(rig.Request(4).force);
    EXPECT_TRUE(rig.station->AnyUpdateRunning());

    rig.Line(4, R"({"t_ms":1,"kind":"progress","value":5,"max":9})");
    rig.Exit(4, {true, 9, ""});
    EXPECT_EQ(rig.station->Tile(4).LastResult(), Result::Failure);
    EXPECT_EQ(rig.station->Tile(3).CurrentPhase(), Phase::Running);
    rig.Update(3, "A");
    rig.Update(5, "B");
    EXPECT_TRUE(rig.station->Finished());
    EXPECT_EQ(rig.station->Done(), 2);
    EXPECT_EQ(rig.station->Failed(), 1);
    ASSERT_EQ(rig.station->Records().size(), 3u);
    EXPECT_EQ(rig.station->Records()[0].port, 4);
    EXPECT_EQ(rig.station->Records()[2].serial, "B");
}

TEST(Station, TwoRunsNeverShareAPort) {
    Rig rig;
    rig.launcher.devices = {{1, "/dev/ttyUSB0"}, {2, "/dev/ttyUSB0"}};
    std::string why;
    ASSERT_TRUE(rig.station->Start(1, why));
    EXPECT_FALSE(rig.station->Start(1, why));
    EXPECT_FALSE(rig.station->Start(2, why)) << "the same device under another number";
    EXPECT_NE(why.find("/dev/ttyUSB0"), std::string::npos) << why;
    EXPECT_EQ(rig.launcher.runs.size(), 1u);
    rig.Update(1, "A");
    EXPECT_TRUE(rig.station->Start(2, why)) << why;
}

TEST(Station, ASilentChildIsEndedAsAFailureWithItsLastLine) {
    Rig rig;
    rig.Start(3);
    rig.Start(4);
    const std::string clock = R"({"t_ms":1,"kind":"clock","text":"00 : 01"})";
    rig.Line(3, clock);
    for (int i = 0; i < 40; ++i) {  // port 4 keeps talking
        rig.clock.AdvanceBy(1000);
        rig.Line(4, clock);
    }
    EXPECT_TRUE(rig.Run(3).killed);
    EXPECT_FALSE(rig.Run(4).killed);
    rig.Exit(3, {true, 9, ""});
    const StationTile& tile = rig.station->Tile(3);
    EXPECT_EQ(tile.LastResult(), Result::Failure);
    EXPECT_NE(tile.ResultText().find("30 秒沒有輸出"), std::string::npos) << tile.ResultText();
    EXPECT_NE(tile.ResultText().find(clock), std::string::npos) << tile.ResultText();
    EXPECT_EQ(rig.station->Tile(4).CurrentPhase(), Phase::Running);
}

TEST(Station, StoppingARunEndsItsChildAndFailsTheUnit) {
    StationSettings settings;
    settings.force = true;
    Rig rig(settings);
    rig.Start(7);
    EXPECT_TRUE(rig.Request(7).force);
    rig.station->Stop(7);
    EXPECT_TRUE(rig.Run(7).stopped);
    EXPECT_FALSE(rig.station->Finished()) << "the child has not ended yet";
    rig.Line(7, kFailure);
    rig.Exit(7, {false, 1, ""});
    EXPECT_TRUE(rig.station->Finished());
    EXPECT_EQ(rig.station->Tile(7).LastResult(), Result::Failure);
    EXPECT_NE(rig.station->Tile(7).ResultText().find("沒有資料"), std::string::npos);
}

TEST(Station, AChildThatCannotStartFailsItsPort) {
    Rig rig;
    rig.launcher.refuse = true;
    std::string why;
    EXPECT_FALSE(rig.station->Start(2, why));
    EXPECT_NE(why.find("refused"), std::string::npos);
    EXPECT_EQ(rig.station->Failed(), 1);
    EXPECT_TRUE(rig.station->Finished());
}

// Hands-free: units arrive and leave behind one port.
TEST(Station, HandsFreeUpdatesEachArrivingUnitOnceAndWaitsForItToGo) {
    StationSettings settings;
    settings.continuous = true;
    settings.units = 3;
    Rig rig(settings);
    rig.Start(3);
    const StationTile& tile = rig.station->Tile(3);
    const auto next = [&rig] { rig.clock.AdvanceBy(2000); };

    rig.Poll(3, "");  // nobody there yet
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForUnit);
    EXPECT_NE(tile.WaitReason().find("每 2 秒"), std::string::npos) << tile.WaitReason();
    EXPECT_TRUE(rig.StartsNothingIn(1500)) << "polled before the interval";
    rig.clock.AdvanceBy(500);
    rig.Poll(3, "A");  // a unit arrives: updated
    rig.Update(3, "A");
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForRemoval);
    EXPECT_EQ(tile.LastResult(), Result::Success);
    next();
    rig.Poll(3, "A");  // still there
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForRemoval);
    next();
    rig.Poll(3, "");  // gone (or checking its memory)
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForUnit);
    next();
    rig.Poll(3, "A");  // the same unit right after its success: not again
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForRemoval);
    next();
    rig.Poll(3, "");
    next();
    rig.Poll(3, "B");  // the next unit, already current: skipped
    rig.Line(3, R"({"t_ms":2,"kind":"end","result":"cancelled","outcome":"skipped","serial":"B"})");
    rig.Exit(3, {false, 1, ""});
    EXPECT_EQ(tile.LastResult(), Result::Skipped);
    EXPECT_EQ(rig.station->Skipped(), 1);
    next();
    rig.Poll(3, "");
    next();
    rig.Poll(3, "C");
    rig.Update(3, "C", kFailure);
    EXPECT_EQ(rig.station->Failed(), 1);
    EXPECT_EQ(rig.station->Done(), 1);
    // Three units: the station stops waiting.
    EXPECT_TRUE(rig.station->Finished());
    EXPECT_EQ(tile.CurrentPhase(), Phase::Idle);
    EXPECT_TRUE(rig.StartsNothingIn(10000));
}

// A hands-free port without its adapter starts no greeting until the
// adapter is there; a unit waited for to go has gone with its adapter.
TEST(Station, HandsFreeGreetsNoPortWithoutADevice) {
    StationSettings settings;
    settings.continuous = true;
    Rig rig(settings);
    rig.launcher.absent.insert(rig.launcher.DeviceForPort(5));
    rig.Start(5);
    const StationTile& tile = rig.station->Tile(5);
    rig.clock.AdvanceBy(10000);
    EXPECT_TRUE(rig.launcher.runs.empty());
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForUnit);
    EXPECT_EQ(tile.WaitReason().rfind(StationTexts::NoDevice, 0), 0u) << tile.WaitReason();
    EXPECT_FALSE(rig.station->Finished());

    rig.launcher.absent.clear();  // plugged in
    rig.clock.AdvanceBy(2000);
    rig.Poll(5, "A");
    rig.Update(5, "A");
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForRemoval);
    rig.launcher.absent.insert(rig.launcher.DeviceForPort(5));  // pulled out with the unit on it
    EXPECT_TRUE(rig.StartsNothingIn(2000));
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForUnit);
    rig.launcher.absent.clear();
    rig.clock.AdvanceBy(2000);
    rig.Poll(5, "B");  // the next unit
    EXPECT_EQ(rig.Request(5).action, Action::Update);
}

TEST(Station, StoppingAWaitingHandsFreePortEndsItsWaiting) {
    StationSettings settings;
    settings.continuous = true;
    Rig rig(settings);
    rig.Start(9);
    rig.Poll(9, "");
    EXPECT_FALSE(rig.station->Finished());
    rig.station->Stop(9);
    EXPECT_TRUE(rig.station->Finished());
    EXPECT_TRUE(rig.StartsNothingIn(10000));
}
