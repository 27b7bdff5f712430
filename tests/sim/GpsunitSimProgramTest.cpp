// The gpsunit-sim program on real pseudo-terminals: what a host sees when it
// opens the printed device like a serial port.

#include <gtest/gtest.h>

#ifdef GPSUNIT_SIM_PATH

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "HostLink.h"
#include "HostPort.h"
#include "mduGlobalModule.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string TempPath(const char* name) {
    return ::testing::TempDir() + "gpsunit-sim-" + std::to_string(getpid()) + "-" + name;
}

// How many lines of the log hold every one of the parts; each must be one
// JSON object.
int LogLines(const std::string& log, std::initializer_list<std::string> parts) {
    std::ifstream in(log);
    int count = 0;
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(line.front() == '{' && line.back() == '}') << line;
        count += std::all_of(parts.begin(), parts.end(), [&](const std::string& part) {
            return line.find(part) != std::string::npos;
        });
    }
    return count;
}

// The device is reached through the link too; a hang-up closes the terminal,
// and the program still ends by itself, removing the link and leaving a
// whole log.
TEST(GpsunitSim, AnswersHellosAndSurvivesTheHostReopeningThePortUntilItHangsUp) {
    const std::string log = TempPath("hello.jsonl");
    const std::string link = TempPath("link");
    ChildProcess sim(GPSUNIT_SIM_PATH,
                     {"--serial", "PTY-42", "--record-report", "0c", "--log", log, "--link", link,
                      "--exit-after-ms", "3000", "--fault", "hang-up:sentence=hello,after=3"});
    const std::string device = sim.FirstLine(5000);
    ASSERT_FALSE(device.empty()) << "no device path printed";
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);

    for (int open = 1; open <= 3; ++open) {
        HostPort port(open == 3 ? link : device, B9600);
        ASSERT_TRUE(port.IsOpen()) << "open #" << open;
        ASSERT_TRUE(port.Write(mduGlobalModule::BuildSentence("$GSHLO")));
        EXPECT_EQ(mduGlobalModule::ParseSentence(port.ReadLine(2000)),
                  (std::vector<std::string>{"ASACK", "PTY-42", "0C"}))
            << "open #" << open;
        if (open == 3) {
            ASSERT_TRUE(port.Write(mduGlobalModule::BuildSentence("$GSHLO")));
            EXPECT_TRUE(port.SeesHangUp(2000));
        }
    }
    EXPECT_EQ(sim.Wait(10'000), 0) << "--exit-after-ms did not end the program";
    EXPECT_NE(access(link.c_str(), F_OK), 0) << "link left behind";

    EXPECT_EQ(LogLines(log, {"\"kind\":\"host-sentence\""}), 4);
    EXPECT_EQ(LogLines(log, {"\"kind\":\"unit-sentence\""}), 3);
    unlink(log.c_str());
}

// A paced unit spreads its reply over the wire time. After "$GSLNK" it
// listens at 115200 only. The closing command goes out at the link speed and
// the host switches back to 9600 at once to greet: the frame was drained
// before the switch, so it was sent at 115200, however late the program gets
// to read it.
TEST(GpsunitSim, PacesRepliesSwitchesSpeedsBothWaysAndHearsEachFrameAtItsOwnSpeed) {
    const std::string log = TempPath("drain.jsonl");
    ChildProcess sim(GPSUNIT_SIM_PATH,
                     {"--serial", "PTY-7", "--check-ms", "200", "--log", log, "--pace"});
    const std::string device = sim.FirstLine(5000);
    ASSERT_FALSE(device.empty());
    HostPort port(device, B9600);
    const Bytes link = mduGlobalModule::BuildSentence("$GSLNK");
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.Write(link));
    std::vector<std::chrono::steady_clock::time_point> times;
    const Bytes reply = port.ReadLine(3000, &times);
    ASSERT_GT(reply.size(), 10u);
    EXPECT_EQ(mduGlobalModule::ParseSentence(reply), (std::vector<std::string>{"ASACK", "PTY-7"}));
    // --pace: the reply is complete no sooner than the wire time of the
    // request and of the reply itself after the request was written (10 bit
    // times a byte at 9600 baud; a late wake-up of the program only makes it
    // later), and its bytes are spread out, not written in one burst.
    const auto wire = [](std::size_t count) {
        return std::chrono::microseconds(count * 10'000'000 / 9600);
    };
    EXPECT_GE(times.back() - sent, wire(link.size() + reply.size()) * 99 / 100);
    EXPECT_GE(times.back() - times.front(), wire(reply.size() - 1) / 2) << reply.size() << " bytes";

    HostLink host(11);
    ASSERT_TRUE(port.Write(host.Attach()));  // still at 9600: noise to the unit
    EXPECT_TRUE(port.ReadCount(1, 400).empty());
    ASSERT_TRUE(port.SetSpeed(B115200));
    ASSERT_TRUE(port.Write(host.Attach()));
    const auto attach = host.Decode(port.ReadCount(5, 2000));
    EXPECT_TRUE(attach.intact && attach.Code() == 0 && attach.Status() == 0x08);
    ASSERT_TRUE(port.Write(host.Request(5)));
    const auto qid = host.Decode(port.ReadCount(3 + 5 + 2 + 2, 2000));
    EXPECT_TRUE(qid.intact && qid.Code() == 5);
    EXPECT_EQ(mduGlobalModule::BytesToText(qid.Payload()).substr(0, 5), "PTY-7");

    const Bytes hello = mduGlobalModule::BuildSentence("$GSHLO");
    ASSERT_TRUE(port.Write(host.Request(2)));  // RST: no reply
    ASSERT_TRUE(port.Drain());
    ASSERT_TRUE(port.SetSpeed(B9600));
    ASSERT_TRUE(port.Write(hello));

    // Hellos go unanswered while the unit checks its memory, then are
    // answered again: only a unit that took the RST is back in text mode.
    std::vector<std::string> fields;
    const auto end = MsFromNow(10'000);
    while (fields.empty() && MsUntil(end) > 0) {
        fields = mduGlobalModule::ParseSentence(port.ReadLine(500));
        if (fields.empty()) {
            ASSERT_TRUE(port.Write(hello));
        }
    }
    ASSERT_FALSE(fields.empty()) << "no hello answered: the RST was not taken";
    EXPECT_EQ(fields[0], "ASACK");

    ASSERT_TRUE(sim.Signal(SIGINT));
    EXPECT_EQ(sim.Wait(5000), 0);
    EXPECT_GE(LogLines(log, {"\"kind\":\"host-frame\"", "\"baud\":115200", "\"code\":2,"}), 1)
        << "the log shows no RST heard at 115200";
    unlink(log.c_str());
}

TEST(GpsunitSim, HelpNamesEveryOptionAndBadCommandLinesAreRefused) {
    ChildProcess help(GPSUNIT_SIM_PATH, {"--help"});
    help.Lines(5000);
    const std::string text = help.Output();
    EXPECT_EQ(help.Wait(5000), 0);
    for (const char* option :
         {"--serial", "--program-version", "--data-version", "--record-report", "--final-report",
          "--erase-ms", "--check-ms", "--pace", "--log", "--fault SPEC", "--link",
          "--exit-after-ms", "hang-up", "block=N", "times=N"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option << " missing from --help";
    }
    const std::vector<std::vector<std::string>> bad = {
        {"--fault", "explode"},
        {"--record-report", "123"},
        {"--erase-ms", "-1"},
        {"--serial", "A,B"},
        {"--bogus"},
        {"--log"},
    };
    for (const auto& args : bad) {
        ChildProcess sim(GPSUNIT_SIM_PATH, args);
        const std::string complaint = sim.Errors(5000);
        EXPECT_EQ(complaint.rfind("gpsunit-sim: ", 0), 0u) << args[0] << ": " << complaint;
        EXPECT_NE(complaint.find("--help"), std::string::npos) << complaint;
        EXPECT_EQ(sim.Wait(5000), 2) << args[0];
    }
}

}  // namespace

#endif  // GPSUNIT_SIM_PATH
