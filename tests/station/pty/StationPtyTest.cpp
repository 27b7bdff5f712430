// gpsupdate-station headless against simulated units on pseudo-terminals:
// its real children, Qt processes and serial ports.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ExpectedDigests.h"
#include "MemoryImage.h"
#include "clsApdPacker.h"
#include "clsPNV480DnLdData.h"

namespace {

using Env = std::map<std::string, std::string>;

std::string Folder() {
    static const std::string folder = [] {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("gpsupdate-station-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        return dir.string();
    }();
    return folder;
}

std::string SmallFile(std::size_t flashBlocks) {
    clsApdPacker::Settings settings;
    settings.flashData = clsApdPacker::SeededBytes(224 * flashBlocks, 91);
    settings.parameterData = clsApdPacker::SeededBytes(64 * 5, 92);
    const std::string path = Folder() + "/small-" + std::to_string(flashBlocks) + ".apd";
    EXPECT_TRUE(clsApdPacker::WriteFile(path, clsApdPacker::Pack(settings).value()));
    return path;
}

// A simulated unit behind COM<port> (a link in the test's folder).
struct Unit {
    int port;
    std::string link;
    std::unique_ptr<ChildProcess> process;

    Unit(int comPort, const std::vector<std::string>& extra) : port(comPort) {
        link = Folder() + "/com" + std::to_string(port);
        std::vector<std::string> args = {"--link", link, "--erase-ms", "200", "--check-ms", "300"};
        args.insert(args.end(), extra.begin(), extra.end());
        process = std::make_unique<ChildProcess>(GPSUNIT_SIM_PATH, args);
        EXPECT_FALSE(process->FirstLine(5000).empty()) << "gpsunit-sim printed no device";
    }
    std::pair<std::string, std::string> StopForDigests() {
        process->Signal(SIGTERM);
        std::string flash;
        std::string parameters;
        for (const std::string& line : process->Lines(5000)) {
            if (line.rfind("flash-digest ", 0) == 0) {
                flash = line.substr(13);
            } else if (line.rfind("parameter-digest ", 0) == 0) {
                parameters = line.substr(17);
            }
        }
        return {flash, parameters};
    }
};

Env Ports(const std::vector<std::unique_ptr<Unit>>& units) {
    Env env;
    for (const auto& unit : units) {
        env["GPSUPDATE_COM" + std::to_string(unit->port)] = unit->link;
    }
    return env;
}

std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& text) {
    std::vector<std::string> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&text](const std::string& line) { return line.find(text) != std::string::npos; });
    return found;
}

}  // namespace

// Four units at once; one of them is pulled (its simulator killed) in the
// middle of its transfer. That port fails with its reason, the other three
// are updated with exactly the file's data.
TEST(StationPty, FourUnitsAtOnceAndOnePulledMidTransfer) {
    const std::string file = SmallFile(1500);
    std::vector<std::unique_ptr<Unit>> units;
    for (int port = 1; port <= 4; ++port) {
        units.push_back(std::make_unique<Unit>(
            port, std::vector<std::string>{"--pace", "--serial", "GU-" + std::to_string(port)}));
    }
    ChildProcess station(GPSUPDATE_STATION_PATH, {"--ports", "1-4", "--file", file, "--json"},
                         Ports(units));
    // Pulled once it is a fifth of the way through.
    bool pulled = false;
    for (int step = 0; step < 300 && !pulled; ++step) {
        station.WaitForLine("no such line", 200);  // reads what comes meanwhile
        const std::string out = station.Output();
        const auto at = out.rfind("COM2 ");
        if (at != std::string::npos && std::atof(out.c_str() + at + 5) >= 20.0) {
            units[1]->process->Signal(SIGKILL);
            pulled = true;
        }
    }
    ASSERT_TRUE(pulled);
    ASSERT_EQ(station.Wait(120000), 1) << "a failed port fails the station";
    const std::vector<std::string> lines = station.Lines(2000);

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
    for (const int index : {0, 2, 3}) {
        SCOPED_TRACE("COM" + std::to_string(index + 1));
        EXPECT_EQ(units[index]->StopForDigests(), expected);
    }
}

// Hands-free behind one line: no unit at first; unit A arrives, is updated,
// checks its memory (it does not answer meanwhile) and answers again (not
// updated twice), then leaves; unit B arrives and is updated; a unit already
// current is skipped (amber) on another line.
TEST(StationPty, HandsFreeUnitsArriveAndLeaveBehindOneLine) {
    const std::string file = SmallFile(200);
    std::vector<std::unique_ptr<Unit>> units;
    units.push_back(std::make_unique<Unit>(
        3, std::vector<std::string>{"--serial", "UNIT-A", "--absent-ms", "1500", "--stay-ms",
                                    "2500", "--next-serial", "UNIT-B", "--check-ms", "1500"}));
    units.push_back(std::make_unique<Unit>(
        4, std::vector<std::string>{"--serial", "UNIT-C", "--data-version", "9999"}));
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
    // UNIT-B's memories hold the file (the simulator keeps the last unit's).
    EXPECT_EQ(units[0]->StopForDigests(), ExpectedDigests(file));
}

namespace {

// Processes whose command line holds `text` (the test's own file path).
int ProcessesWith(const std::string& text) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::FILE* file = std::fopen((entry.path() / "cmdline").c_str(), "rb");
        if (file == nullptr) {
            continue;
        }
        std::string line(4096, '\0');
        line.resize(std::fread(line.data(), 1, line.size(), file));
        std::fclose(file);
        std::replace(line.begin(), line.end(), '\0', ' ');
        count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

}  // namespace

// The station killed outright: its runs end too (none goes on writing to a
// unit without anyone watching), told to by the system or by their next
// line finding no reader.
TEST(StationPty, NoRunOutlivesTheStation) {
    const std::string file = SmallFile(1500);
    std::vector<std::unique_ptr<Unit>> units;
    units.push_back(std::make_unique<Unit>(5, std::vector<std::string>{"--pace"}));
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

// One unit behind two ports: one names the unit's link (as
// /dev/serial/by-id does), the other the terminal it leads to. Only one
// run talks to the unit, which ends with exactly the file's data; the
// other port is refused with both names.
TEST(StationPty, OneUnitUnderTwoNamesIsUpdatedOnce) {
    const std::string file = SmallFile(200);
    Unit unit(1, {});
    const Env env = {{"GPSUPDATE_COM1", unit.link},
                     {"GPSUPDATE_COM2", std::filesystem::canonical(unit.link).string()}};
    ChildProcess station(GPSUPDATE_STATION_PATH, {"--ports", "1-2", "--file", file, "--json"}, env);
    EXPECT_EQ(station.Wait(60000), 0);
    const std::vector<std::string> lines = station.Lines(2000);
    EXPECT_EQ(Matching(lines, R"("kind":"start")").size(), 1u);
    EXPECT_NE(station.Errors(1000).find("COM2 = COM1 (" + unit.link + " = "), std::string::npos);
    EXPECT_EQ(Matching(lines, R"("kind":"station","done":1,"failed":0)").size(), 1u);
    EXPECT_EQ(unit.StopForDigests(), ExpectedDigests(file));
}
