// gpsupdate-station headless against simulated units on pseudo-terminals:
// its real children, Qt processes and serial ports.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SimProgram.h"

namespace {

using Env = std::map<std::string, std::string>;
using Units = std::map<int, std::unique_ptr<SimProgram>>;  // by COM port

std::string Folder() {
    return TestFolder("gpsupdate-station");
}

// A simulated unit behind COM<port> (a link in the test's folder).
std::unique_ptr<SimProgram> UnitAt(int port, std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"--check-ms", "300"});
    return std::make_unique<SimProgram>(Folder() + "/com" + std::to_string(port), extra);
}

Env Ports(const Units& units) {
    Env env;
    for (const auto& [port, unit] : units) {
        env["GPSUPDATE_COM" + std::to_string(port)] = unit->link;
    }
    return env;
}

// Processes whose command line holds `text` (the test's own file path).
int ProcessesWith(const std::string& text) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline");
        const std::string arguments{std::istreambuf_iterator<char>(in), {}};
        count += arguments.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

}  // namespace

// Four units at once; one of them is pulled (its simulator killed) in the
// middle of its transfer. That port fails with its reason, the other three
// are updated with exactly the file's data. A fifth port names the terminal
// that the first one's link leads to: it is refused with both names.
TEST(StationPty, FourUnitsAtOnceAndOnePulledMidTransfer) {
    const std::string file = SmallDataFile(Folder(), 1500);
    Units units;
    for (int port = 1; port <= 4; ++port) {
        units[port] = UnitAt(port, {"--pace", "--serial", "GU-" + std::to_string(port)});
    }
    Env env = Ports(units);
    env["GPSUPDATE_COM5"] = std::filesystem::canonical(units[1]->link).string();
    ChildProcess station(GPSUPDATE_STATION_PATH, {"--ports", "1-5", "--file", file, "--json"}, env);
    // Pulled once it is a fifth of the way through.
    bool pulled = false;
    for (int step = 0; step < 300 && !pulled; ++step) {
        station.WaitForLine("no such line", 200);  // reads what comes meanwhile
        const std::string out = station.Output();
        const auto at = out.rfind("COM2 ");
        if (at != std::string::npos && std::atof(out.c_str() + at + 5) >= 20.0) {
            units[2]->process.Signal(SIGKILL);
            pulled = true;
        }
    }
    ASSERT_TRUE(pulled);
    ASSERT_EQ(station.Wait(120000), 1) << "a failed port fails the station";
    const std::vector<std::string> lines = station.Lines(2000);
    EXPECT_NE(station.Errors(1000).find("COM5 = COM1 (" + units[1]->link + " = "),
              std::string::npos);
    EXPECT_EQ(Matching(lines, R"("kind":"start")").size(), 4u);
    const auto ends = Matching(lines, R"("kind":"end")");
    ASSERT_EQ(ends.size(), 4u);
    const auto failed = Matching(ends, R"("result":"failure")");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_NE(failed[0].find(R"("port":2)"), std::string::npos) << failed[0];
    EXPECT_NE(failed[0].find(R"("serial":"GU-2")"), std::string::npos) << failed[0];
    const auto results = Matching(lines, R"("kind":"result")");
    EXPECT_EQ(Matching(results, R"("result":"success")").size(), 3u);
    EXPECT_EQ(Matching(lines, R"("kind":"station","done":3,"failed":1,"skipped":0)").size(), 1u);
    const auto expected = ExpectedDigests(file);
    for (const int port : {1, 3, 4}) {
        SCOPED_TRACE("COM" + std::to_string(port));
        EXPECT_EQ(units[port]->StopForDigests(), expected);
    }
}

// Hands-free behind one line: no unit at first; unit A arrives, is updated,
// checks its memory (it does not answer meanwhile) and answers again (not
// updated twice), then leaves; unit B arrives and is updated; a unit already
// current is skipped (amber) on another line.
TEST(StationPty, HandsFreeUnitsArriveAndLeaveBehindOneLine) {
    const std::string file = SmallDataFile(Folder(), 200);
    Units units;
    units[3] = UnitAt(3, {"--serial", "UNIT-A", "--absent-ms", "1500", "--stay-ms", "2500",
                          "--next-serial", "UNIT-B", "--check-ms", "1500"});
    units[4] = UnitAt(4, {"--serial", "UNIT-C", "--data-version", "9999"});
    ChildProcess station(GPSUPDATE_STATION_PATH,
                         {"--ports", "3,4", "--file", file, "--continuous", "--units", "3",
                          "--poll-seconds", "0.5", "--json"},
                         Ports(units));
    ASSERT_EQ(station.Wait(120000), 0) << station.Output();
    const std::vector<std::string> lines = station.Lines(2000);
    const auto updates = Matching(lines, R"("kind":"start","port":3,"action":"update")");
    EXPECT_EQ(updates.size(), 2u) << "unit A updated twice, or B not at all";
    const auto results = Matching(lines, R"("kind":"result")");
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(Matching(results, R"("port":3,"serial":"UNIT-A","result":"success")").size(), 1u);
    EXPECT_EQ(Matching(results, R"("port":3,"serial":"UNIT-B","result":"success")").size(), 1u);
    EXPECT_EQ(Matching(results, R"("port":4,"serial":"UNIT-C","result":"skipped")").size(), 1u);
    EXPECT_FALSE(Matching(lines, R"("kind":"waiting","port":3)").empty());
    // The skipped unit was sent back to its normal mode: it still answers,
    // and its port waits for it to be pulled, not for a unit to arrive.
    const auto port4 = Matching(lines, R"("kind":"waiting","port":4)");
    ASSERT_FALSE(port4.empty());
    EXPECT_NE(port4.back().find("請移除裝置"), std::string::npos) << port4.back();
    EXPECT_EQ(Matching(lines, R"("kind":"start","port":4,"action":"update")").size(), 1u);
    // UNIT-B's memories hold the file (the simulator keeps the last unit's).
    EXPECT_EQ(units[3]->StopForDigests(), ExpectedDigests(file));
}

// The station killed outright: its runs end too (none goes on writing to a
// unit without anyone watching), told to by the system or by their next
// line finding no reader.
TEST(StationPty, NoRunOutlivesTheStation) {
    const std::string file = SmallDataFile(Folder(), 1500);
    Units units;
    units[5] = UnitAt(5, {"--pace"});
    ChildProcess station(GPSUPDATE_STATION_PATH, {"--ports", "5", "--file", file, "--json"},
                         Ports(units));
    ASSERT_TRUE(station.WaitForLine(R"("kind":"summary")", 20000));
    ASSERT_EQ(ProcessesWith(file), 2) << "the station and its run";
    station.Signal(SIGKILL);
    EXPECT_EQ(station.Wait(5000), -2);
    int left = 1;
    for (int i = 0; i < 100 && left > 0; ++i) {
        usleep(100'000);
        left = ProcessesWith(file);
    }
    EXPECT_EQ(left, 0);
}
