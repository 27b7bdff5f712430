// One device under two names (a link such as /dev/serial/by-id/... and the
// device it leads to) is one line: the station never runs two updates on
// it at once, and says why.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "FakeLauncher.h"
#include "Station.h"
#include "VirtualClock.h"

namespace fs = std::filesystem;

TEST(StationDevice, ALinkToAPseudoTerminalAndTheTerminalAreOneDevice) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string terminal = ptsname(master);
    const fs::path folder =
        fs::temp_directory_path() / ("gpsupdate-station-links-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path byId = folder / "usb-Prolific_PL2303-if00-port0";
    const fs::path again = folder / "gps";  // a link to the link
    fs::create_symlink(terminal, byId);
    fs::create_symlink(byId, again);

    platform::VirtualClock clock;
    FakeLauncher launcher;
    StationSettings settings;
    settings.file = "/data/0601.apd";
    Station station(
        launcher, clock, [&clock] { return clock.NowMs(); }, settings);
    launcher.devices = {{1, byId.string()}, {2, terminal}, {3, again.string()}};
    std::string why;
    ASSERT_TRUE(station.Start(1, why)) << why;
    for (const int port : {2, 3}) {
        EXPECT_FALSE(station.Start(port, why)) << port;
        EXPECT_NE(why.find("COM1"), std::string::npos) << why;
        EXPECT_NE(why.find(byId.string()), std::string::npos) << why;
        EXPECT_NE(why.find(terminal), std::string::npos) << why;
    }
    EXPECT_EQ(launcher.runs.size(), 1u);
    // Once the run has ended, the device is free under any name.
    launcher.Exit(launcher.Newest(1), {false, 0, ""});
    EXPECT_TRUE(station.Start(2, why)) << why;
    EXPECT_EQ(station.Tile(1).Device(), byId.string()) << "the name the operator gave";
    fs::remove_all(folder);
    close(master);
}
#endif
