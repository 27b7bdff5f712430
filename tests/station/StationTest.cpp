// The station's rules on a fake launcher and the virtual clock.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Station.h"
#include "StationReport.h"
#include "StationTexts.h"
#include "TempDataFile.h"
#include "VirtualClock.h"

namespace {

namespace fs = std::filesystem;
using Action = RunRequest::Action;
using Phase = StationTile::Phase;
using Result = StationTile::Result;

// An update's end line: the unit `serial` updated, or failed.
std::string Succeeded(const std::string& serial) {
    return R"({"t_ms":9,"kind":"end","result":"success","serial":")" + serial +
           R"(","outcome":"success"})";
}
const std::string kFailure = R"({"t_ms":9,"kind":"end","result":"failure","outcome":"failure"})";

// A waiting child's lines: no unit yet, a unit answered, it has gone.
const std::string kWaiting = R"({"t_ms":1,"kind":"waiting","poll_seconds":2.0})";
const std::string kGone = R"({"t_ms":1,"kind":"gone","serial":"x"})";
std::string Unit(const std::string& serial, bool update) {
    return R"({"t_ms":1,"kind":"unit","serial":")" + serial + R"(","update":)" +
           (update ? "true" : R"(false,"reason":"same_unit")") + "}";
}

// The station on a launcher whose runs are only recorded: the test plays
// each child's lines and end.
struct Rig final : IRunLauncher {
    struct Child {
        RunRequest request;
        Events events;
        bool stopped = false;
        bool killed = false;
    };
    platform::VirtualClock clock;
    std::map<Id, Child> runs;
    std::map<int, std::string> devices;
    std::set<std::string> absent;  // devices not plugged in
    std::string fileProblem;       // the data file's ("" it loads)
    bool refuse = false;
    std::unique_ptr<Station> station;

    // The settings as `adjust` leaves them.
    explicit Rig(const std::function<void(StationSettings&)>& adjust = {}) {
        StationSettings settings;
        if (adjust) {
            adjust(settings);
        }
        settings.file = "/data/0601.apd";
        settings.pollIntervalMs = 2000;
        settings.silenceLimitMs = 30000;
        station = std::make_unique<Station>(
            *this, clock, [this] { return clock.NowMs(); }, settings);
    }
    Id Start(const RunRequest& request, Events events, std::string& error) override {
        if (refuse) {
            error = "refused";
            return 0;
        }
        const Id id = runs.size() + 1;
        runs[id] = Child{request, std::move(events)};
        return id;
    }
    void Stop(Id id) override { runs.at(id).stopped = true; }
    void Kill(Id id) override { runs.at(id).killed = true; }
    bool DevicePresent(const std::string& device) const override {
        return !device.empty() && !absent.contains(device);
    }
    std::string DataFileProblem(const std::string&) const override { return fileProblem; }
    std::string DeviceForPort(int port) const override {
        const auto it = devices.find(port);
        return it != devices.end() ? it->second : "/dev/ttyUSB" + std::to_string(port);
    }

    // The newest run on the port.
    Child& Run(int port) {
        for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
            if (it->second.request.port == port) {
                return it->second;
            }
        }
        return runs.at(0);  // none: the test fails
    }
    const RunRequest& Request(int port) { return Run(port).request; }
    void Start(int port) {
        std::string why;
        ASSERT_TRUE(station->Start(port, why)) << why;
    }
    // The newest run on the port writes a line, or ends.
    void Line(int port, const std::string& line) { Run(port).events.onLine(line + "\n"); }
    void Exit(int port, ChildExit exit = {}) { Run(port).events.onExit(exit); }
    // No run is started in the next `ms`.
    bool StartsNothingIn(std::int64_t ms) {
        const auto before = runs.size();
        clock.AdvanceBy(ms);
        return runs.size() == before;
    }
    // The port's waiting child: a unit answers and its update succeeds.
    void WaitedUpdate(int port, const std::string& serial) {
        ASSERT_EQ(Request(port).action, Action::Wait);
        Line(port, Unit(serial, true));
        EXPECT_TRUE(station->UpdateRunning(port));
        Line(port, Succeeded(serial));
        EXPECT_FALSE(station->UpdateRunning(port));
    }
    void Update(int port, const std::string& serial) {
        ASSERT_EQ(Request(port).action, Action::Update);
        Line(port, Succeeded(serial));
        Exit(port);
    }
};

}  // namespace

// Each port runs its own update; one that crashes, or goes silent and is
// ended with its last line, fails its own tile only. The headless lines
// name the device, or say there is none, and an update's end its trace.
TEST(Station, EachPortRunsItsOwnUpdateAndAFailureStaysOnItsTile) {
    Rig rig([](StationSettings& s) { s.traceFolder = "/t"; });
    rig.devices[4] = "";
    for (int port : {3, 4, 5}) {
        rig.station->AddPort(port);
    }
    EXPECT_TRUE(rig.station->StartAll().empty());
    ASSERT_EQ(rig.runs.size(), 3u);
    EXPECT_EQ(rig.Request(4).file, "/data/0601.apd");
    EXPECT_FALSE(rig.Request(4).force);
    EXPECT_TRUE(rig.station->AnyUpdateRunning());

    rig.Line(4, R"({"t_ms":1,"kind":"progress","value":5,"max":9})");
    rig.Exit(4, {true, 9, ""});
    EXPECT_EQ(rig.station->Tile(4).LastResult(), Result::Failure);
    const std::string clock = R"({"t_ms":1,"kind":"clock","text":"00 : 01"})";
    rig.Line(5, clock);
    for (int i = 0; i < 40; ++i) {  // port 3 keeps talking
        rig.clock.AdvanceBy(1000);
        rig.Line(3, clock);
    }
    EXPECT_TRUE(rig.Run(5).killed);
    EXPECT_FALSE(rig.Run(3).killed);
    rig.Exit(5, {true, 9, ""});
    const std::string& silent = rig.station->Tile(5).ResultText();
    EXPECT_NE(silent.find("30 秒沒有輸出"), std::string::npos) << silent;
    EXPECT_NE(silent.find(clock), std::string::npos) << silent;
    EXPECT_EQ(rig.station->Tile(3).CurrentPhase(), Phase::Running);
    rig.Update(3, "A");
    EXPECT_TRUE(rig.station->Finished());
    EXPECT_EQ(rig.station->Done(), 1);
    EXPECT_EQ(rig.station->Failed(), 2);
    ASSERT_EQ(rig.station->Records().size(), 3u);
    EXPECT_EQ(rig.station->Records()[0].port, 4);
    EXPECT_EQ(rig.station->Records()[1].result, Result::Failure);
    EXPECT_EQ(rig.station->Records()[2].serial, "A");

    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    StationReport text(out, false, *rig.station);
    StationReport json(out, true, *rig.station);
    text.RunStarted(0, 3, Action::Update);
    text.RunStarted(0, 4, Action::Update);
    json.RunEnded(0, rig.station->Records().back());
    std::rewind(out);
    char written[512] = {};
    const std::string report(written, std::fread(written, 1, sizeof written - 1, out));
    std::fclose(out);
    EXPECT_EQ(
        report.rfind("COM3 (/dev/ttyUSB3): update started\nCOM4 (no device): update started\n{", 0),
        0u)
        << report;
    EXPECT_NE(report.find(R"("trace":"/t/COM3-run001.jsonl")"), std::string::npos) << report;
}

// Two runs never share a line, whatever leads to it: a link (as in
// /dev/serial/by-id), a link to the link and the device itself are one, and
// the refusal names them. Once the run has ended the device is free.
TEST(Station, TwoRunsNeverShareALineUnderAnyName) {
    const TempDataFile device({}, "ttyUSB0");  // removed with its folder
    const fs::path byId = device.Folder() / "usb-Prolific_PL2303-if00-port0";
    const fs::path again = device.Folder() / "gps";
    std::error_code noLinks;  // none under Windows: there every port names the file itself
    fs::create_symlink(device.Path(), byId, noLinks);
    if (!noLinks) {
        fs::create_symlink(byId, again, noLinks);
    }
    const std::string first = noLinks ? device.Path() : byId.string();
    Rig rig;
    rig.devices = {{1, first}, {2, device.Path()}, {3, noLinks ? first : again.string()}};
    std::string why;
    ASSERT_TRUE(rig.station->Start(1, why));
    EXPECT_FALSE(rig.station->Start(1, why));
    for (const int port : {2, 3}) {
        EXPECT_FALSE(rig.station->Start(port, why)) << port;
        for (const std::string& name : {std::string("COM1"), first, device.Path()}) {
            EXPECT_NE(why.find(name), std::string::npos) << why;
        }
    }
    EXPECT_EQ(rig.runs.size(), 1u);
    rig.Update(1, "A");
    EXPECT_TRUE(rig.station->Start(2, why)) << why;
    EXPECT_EQ(rig.station->Tile(1).Device(), first) << "the name the operator gave";
}

// A file that does not load starts nothing: no unit is failed or recorded
// for it, and the reason is said once. A child that cannot start fails its
// port.
TEST(Station, ADataFileThatDoesNotLoadStartsNoPortAndAChildThatCannotStartFailsOne) {
    Rig rig;
    rig.fileProblem = "檔案損毀";
    for (int port : {1, 2, 3}) {
        rig.station->AddPort(port);
    }
    const std::vector<std::string> reasons = rig.station->StartAll();
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_EQ(reasons[0], std::string(StationTexts::FileNotUsable) + "檔案損毀");
    std::string why;
    EXPECT_FALSE(rig.station->Start(2, why));
    EXPECT_EQ(why, reasons[0]);
    EXPECT_TRUE(rig.runs.empty());
    EXPECT_EQ(rig.station->Failed(), 0);
    EXPECT_TRUE(rig.station->Records().empty());

    rig.fileProblem.clear();  // mended
    rig.refuse = true;
    EXPECT_FALSE(rig.station->Start(2, why));
    EXPECT_NE(why.find("refused"), std::string::npos);
    EXPECT_EQ(rig.station->Failed(), 1);
    EXPECT_TRUE(rig.station->Finished());
    rig.refuse = false;
    EXPECT_TRUE(rig.station->StartAll().empty());
    EXPECT_EQ(rig.runs.size(), 3u);
}

// Hands-free: one waiting child per port while its adapter is there (looked
// for every second); units arrive and leave behind it.
TEST(Station, HandsFreeUpdatesEachArrivingUnitOnceAndWaitsForItToGo) {
    Rig rig([](StationSettings& s) { s.continuous = true, s.units = 3; });
    const std::string device = rig.DeviceForPort(3);
    rig.absent.insert(device);  // the adapter is not plugged in
    rig.Start(3);
    const StationTile& tile = rig.station->Tile(3);
    EXPECT_TRUE(rig.StartsNothingIn(10000));
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForUnit);
    EXPECT_EQ(tile.WaitReason().rfind(StationTexts::NoDevice, 0), 0u) << tile.WaitReason();
    EXPECT_FALSE(rig.station->Finished());
    rig.absent.clear();
    rig.clock.AdvanceBy(1000);
    EXPECT_EQ(rig.Request(3).action, Action::Wait);
    EXPECT_EQ(rig.Request(3).pollSeconds, 2.0);
    rig.Line(3, kWaiting);
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForUnit);
    EXPECT_NE(tile.WaitReason().find("每 2 秒"), std::string::npos) << tile.WaitReason();
    EXPECT_TRUE(rig.StartsNothingIn(20000)) << "greeting is the child's own";

    rig.WaitedUpdate(3, "A");  // a unit arrives: updated
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForRemoval);
    EXPECT_EQ(tile.LastResult(), Result::Success);
    EXPECT_EQ(rig.station->Done(), 1);
    // Pulled out with its adapter: the child is ended, and the tile waits
    // for the adapter without the last unit's facts (the counters keep them).
    rig.absent.insert(device);
    rig.clock.AdvanceBy(1000);
    EXPECT_TRUE(rig.Run(3).stopped);
    rig.Exit(3);
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForUnit);
    EXPECT_EQ(tile.WaitReason().rfind(StationTexts::NoDevice, 0), 0u) << tile.WaitReason();
    EXPECT_EQ(tile.LastResult(), Result::None);
    EXPECT_EQ(tile.Serial(), "");
    EXPECT_TRUE(rig.StartsNothingIn(5000));
    rig.absent.clear();
    rig.clock.AdvanceBy(1000);
    ASSERT_EQ(rig.runs.size(), 2u);
    EXPECT_EQ(rig.Request(3).lastSerial, "A");
    rig.Line(3, Unit("A", false));  // the same unit right after its success: not again
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForRemoval);
    EXPECT_EQ(tile.WaitReason().rfind(StationTexts::SameUnitAgain, 0), 0u) << tile.WaitReason();
    rig.Line(3, kGone);
    EXPECT_EQ(tile.CurrentPhase(), Phase::WaitingForUnit);
    // A child that crashes during an update fails that unit alone; a new
    // child waits on, told the serial number last updated successfully.
    rig.Line(3, Unit("C", true));
    rig.Exit(3, {true, 11, ""});
    EXPECT_EQ(rig.station->Failed(), 1);
    EXPECT_EQ(tile.LastResult(), Result::Failure);
    EXPECT_TRUE(rig.StartsNothingIn(1000))
        << "a child that keeps crashing is not restarted at once";
    rig.clock.AdvanceBy(2000);
    ASSERT_EQ(rig.runs.size(), 3u);
    EXPECT_EQ(rig.Request(3).lastSerial, "A");
    EXPECT_EQ(tile.LastResult(), Result::Failure) << "still shown by the new child's port";
    rig.Line(3, kGone);
    rig.WaitedUpdate(3, "D");
    // Three units: the station stops waiting.
    EXPECT_TRUE(rig.Run(3).stopped);
    rig.Exit(3);
    EXPECT_TRUE(rig.station->Finished());
    EXPECT_EQ(tile.CurrentPhase(), Phase::Idle);
    EXPECT_TRUE(rig.StartsNothingIn(10000));
    ASSERT_EQ(rig.station->Records().size(), 3u);
    EXPECT_EQ(rig.station->Records()[2].serial, "D");
}

// Stopping ends each port's child: an update's (its unit then has no data)
// and a hands-free port's, whether it waits or updates. The station has
// finished once they have ended, and starts nothing more.
TEST(Station, StoppingEndsEachChildAndFailsTheUpdatesUnderWay) {
    Rig rig([](StationSettings& s) {
        s.force = true, s.history = "/h.sqlite", s.historyServer = "postgresql://u@h/db";
    });
    rig.Start(7);
    EXPECT_TRUE(rig.Request(7).force);
    EXPECT_EQ(rig.Request(7).history, "/h.sqlite");
    EXPECT_EQ(rig.Request(7).historyServer, "postgresql://u@h/db");
    rig.station->SetContinuous(true);
    rig.Start(9);
    rig.Start(8);
    rig.Line(9, kWaiting);
    rig.Line(8, Unit("A", true));
    rig.station->StopAll();
    rig.Exit(9);
    rig.Line(7, kFailure);
    rig.Exit(7, {false, 1, ""});
    EXPECT_FALSE(rig.station->Finished()) << "an update has not ended yet";
    rig.Line(8, kFailure);
    rig.Exit(8, {false, 1, ""});
    EXPECT_TRUE(rig.station->Finished());
    EXPECT_EQ(rig.station->Tile(9).CurrentPhase(), Phase::Idle);
    for (const int port : {7, 8, 9}) {
        EXPECT_TRUE(rig.Run(port).stopped) << port;
        EXPECT_EQ(rig.station->Tile(port).LastResult(), port == 9 ? Result::None : Result::Failure);
        EXPECT_EQ(rig.station->Tile(port).ResultText().find("沒有資料") == std::string::npos,
                  port == 9);
    }
    EXPECT_EQ(rig.station->Failed(), 2);
    EXPECT_TRUE(rig.StartsNothingIn(10000));
}
