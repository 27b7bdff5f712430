// gpsupdate-auto against gpsunit-sim over a pseudo-terminal: the tool's
// real window, Qt serial port and timers, and a unit on a real tty.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "AutoRun.h"

namespace {

using Env = std::map<std::string, std::string>;

std::string Folder() {
    return TestFolder("gpsupdate-e2e");
}

// The simulator behind COM3 (a link in the test's folder); COM1 and COM2
// name devices that do not exist, so a scan passes them at once.
struct Unit : SimProgram {
    explicit Unit(const std::vector<std::string>& extra = {})
        : SimProgram(Folder() + "/com3", extra) {}
    Env Ports() const {
        return {{"GPSUPDATE_COM1", Folder() + "/none1"},
                {"GPSUPDATE_COM2", Folder() + "/none2"},
                {"GPSUPDATE_COM3", link}};
    }
};

}  // namespace

TEST(Automation, ScanConnectionTestAndAWholeUpdateOfTheSampleFile) {
    Unit unit;
    const AutoRun scan = RunAuto({"--action", "scan"}, unit.Ports());
    EXPECT_EQ(scan.status, 0) << scan.End();
    EXPECT_TRUE(scan.Has(
        R"("kind":"box","icon":"information","title":"gpsupdate","text":"與GPS連線成功","answer":"ok")"));
    EXPECT_NE(scan.End().find(R"("kind":"end","result":"success","port":3)"), std::string::npos)
        << scan.End();

    const AutoRun test = RunAuto({"--action", "test", "--port", "3"}, unit.Ports());
    EXPECT_EQ(test.status, 0) << test.End();
    EXPECT_TRUE(test.Has(R"("text":"GPS連線成功 : GPS記錄資訊 = 正常","colour":"blue")"));

    const AutoRun update =
        RunAuto({"--action", "update", "--port", "3", "--file", GPSUPDATE_SAMPLE_APD}, unit.Ports(),
                240000);
    EXPECT_EQ(update.status, 0) << update.End();
    EXPECT_NE(update.End().find(R"("result":"success","port":3)"), std::string::npos);
    for (const char* kind : {"progress", "percent", "clock", "lamp", "info", "state"}) {
        EXPECT_TRUE(update.Has(std::string(R"("kind":")") + kind + "\"")) << kind;
    }
    EXPECT_TRUE(update.Has(R"("max":14044)"));
    EXPECT_TRUE(update.Has(R"("text":"資料更新完成")"));
    std::printf("scan %.1f s, connection test %.1f s, update %.1f s\n", scan.seconds, test.seconds,
                update.seconds);

    EXPECT_EQ(unit.StopForDigests(), ExpectedDigests(GPSUPDATE_SAMPLE_APD));
}

// The unit goes away in the middle of the transfer: its program killed, or
// its side of the line closed as when a USB adapter is pulled out. The tool
// shows the failure within the block's time-out and ends; a new run against
// a new device behind the same path succeeds.
TEST(Automation, AUnitThatGoesAwayMidTransferFailsAndAFreshOneIsUpdated) {
    const std::string file = SmallDataFile(Folder(), 3000);
    for (const bool pulled : {false, true}) {
        SCOPED_TRACE(pulled ? "line closed" : "simulator killed");
        {
            Unit unit(pulled ? std::vector<std::string>{"--fault", "hang-up:code=51,block=1500"}
                             : std::vector<std::string>{});
            ChildProcess autoRun(GPSUPDATE_AUTO_PATH,
                                 {"--action", "update", "--port", "3", "--file", file},
                                 unit.Ports());
            ASSERT_TRUE(autoRun.WaitForLine(R"("kind":"state","from":13,"to":14)", 60000));
            if (!pulled) {
                unit.process.Signal(SIGKILL);
            }
            const AutoRun run = Finish(autoRun, 60000);
            ASSERT_EQ(run.status, 1) << "no end within 60 s";
            EXPECT_NE(run.End().find(R"("result":"failure")"), std::string::npos) << run.End();
            // The operator sees why: the port's fault in a box.
            EXPECT_TRUE(run.Has(
                R"("kind":"box","icon":"critical","title":"gpsupdate","text":"傳輸埠 (3) 控制異常 : )"));
            EXPECT_TRUE(run.Has(R"("colour":"red")"));
            std::printf("%s: ended %.1f s after\n",
                        pulled ? "line closed mid-transfer" : "simulator killed mid-transfer",
                        run.seconds);
        }
        Unit fresh;
        const AutoRun again =
            RunAuto({"--action", "update", "--port", "3", "--file", file}, fresh.Ports());
        EXPECT_EQ(again.status, 0) << again.End();
        EXPECT_EQ(fresh.StopForDigests(), ExpectedDigests(file));
    }
}

// A block that never gets an answer fails the transfer. The time-out box,
// held open for three seconds as an operator reads it while the window's
// one-second timer goes on, leaves the failure text whole and is the only box.
TEST(Automation, ABoxHeldOpenLeavesTheFailureTextWhole) {
    const std::string file = SmallDataFile(Folder(), 300);
    Unit unit({"--fault", "no-reply:code=51,block=100"});
    const AutoRun run =
        RunAuto({"--action", "update", "--port", "3", "--file", file, "--box-delay", "3000"},
                unit.Ports(), 90000);
    EXPECT_EQ(run.status, 1) << run.End();
    EXPECT_NE(run.End().find(R"("result":"failure")"), std::string::npos) << run.End();
    // Box lines are written when the box has been answered.
    const auto timeOf = [](const std::string& line) {
        return std::stoll(line.substr(line.find(R"("t_ms":)") + 7));
    };
    const std::vector<std::string> messages = Matching(run.lines, R"("kind":"message")");
    const std::vector<std::string> boxes = Matching(run.lines, R"("kind":"box")");
    ASSERT_FALSE(messages.empty());
    const std::string& lastMessage = messages.back();
    EXPECT_NE(lastMessage.find("無法完成GPS資料設定(10)!!"), std::string::npos) << lastMessage;
    EXPECT_NE(lastMessage.find("c. 使用<開始傳送>按鍵重新執行資料更新."), std::string::npos)
        << lastMessage;
    EXPECT_NE(lastMessage.find(R"("colour":"red")"), std::string::npos) << lastMessage;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_GE(timeOf(boxes[0]) - timeOf(lastMessage), 3000);  // held open after the text
    EXPECT_NE(boxes[0].find("異常執行狀況 : GPS沒有回應!!"), std::string::npos) << boxes[0];
}

// (Bad arguments, exit status 2: UsageLinesTest.cpp.)
TEST(Automation, ATimeOutHasItsOwnExitStatus) {
    Unit slow({"--erase-ms", "60000"});
    const AutoRun run = RunAuto({"--action", "update", "--port", "3", "--file",
                                 SmallDataFile(Folder(), 10), "--timeout", "3"},
                                slow.Ports(), 30000);
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.End().find(R"("result":"timeout")"), std::string::npos) << run.End();
}

// The wait action holds the port: unit A arrives, is updated, checks its
// memory and leaves; unit B arrives and is updated. One process, each update
// with its end line, history row and trace of its own; greetings leave no
// line but the waiting one. Told to end while waiting, it ends at once, 0.
TEST(Automation, TheWaitActionUpdatesEachUnitThatArrivesUntilToldToEnd) {
    const std::string folder = Folder();
    const std::string file = SmallDataFile(folder, 200);
    std::filesystem::remove(folder + "/wait-history.sqlite");
    Unit unit({"--serial", "UNIT-A", "--absent-ms", "3000", "--stay-ms", "1000", "--next-serial",
               "UNIT-B", "--check-ms", "300"});
    ChildProcess waiting(
        GPSUPDATE_AUTO_PATH,
        {"--action", "wait", "--port", "3", "--file", file, "--poll-seconds", "0.5", "--trace",
         folder + "/wait.jsonl", "--history", folder + "/wait-history.sqlite"},
        unit.Ports());
    ASSERT_TRUE(waiting.WaitForLine(R"("kind":"gone","serial":"UNIT-B")", 90000))
        << waiting.Output();
    const auto stopped = std::chrono::steady_clock::now();
    waiting.Signal(SIGTERM);
    const AutoRun run = Finish(waiting, 10000, stopped);
    EXPECT_EQ(run.status, 0);
    EXPECT_LT(run.seconds, 3.0) << "told to end while waiting";
    const std::vector<std::string> units = Matching(run.lines, R"("kind":"unit")");
    const std::vector<std::string> ends = Matching(run.lines, R"("kind":"end")");
    ASSERT_EQ(units.size(), 2u);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(Matching(run.lines, R"("kind":"gone")").size(), 2u);
    EXPECT_TRUE(run.Has(R"("kind":"waiting","poll_seconds":0.5)"));
    const char* serials[] = {"UNIT-A", "UNIT-B"};
    const std::string traces[] = {folder + "/wait.jsonl", folder + "/wait-2.jsonl"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(serials[i]);
        EXPECT_NE(units[i].find(std::string(R"("serial":")") + serials[i] +
                                R"(","record_report":"正常","update":true,"trace":")" + traces[i]),
                  std::string::npos)
            << units[i];
        EXPECT_NE(ends[i].find(R"("kind":"end","result":"success","port":3)"), std::string::npos);
        EXPECT_NE(ends[i].find(R"("recorded":true)"), std::string::npos) << ends[i];
        EXPECT_NE(ends[i].find(std::string(R"("serial":")") + serials[i]), std::string::npos);
        EXPECT_TRUE(std::filesystem::exists(traces[i]));
    }
    EXPECT_EQ(unit.StopForDigests(), ExpectedDigests(file));
}

// A unit already current is sent back to its normal mode and checks its
// memory, silent for a while: it has not gone, and is not taken up again.
TEST(Automation, TheWaitActionSkipsAUnitAlreadyCurrentOnce) {
    const std::string folder = Folder();
    const std::string file = SmallDataFile(folder, 20);
    Unit unit({"--serial", "UNIT-C", "--data-version", "9999", "--check-ms", "3000"});
    ChildProcess waiting(GPSUPDATE_AUTO_PATH,
                         {"--action", "wait", "--port", "3", "--file", file, "--poll-seconds",
                          "0.5", "--no-history"},
                         unit.Ports());
    ASSERT_TRUE(waiting.WaitForLine(R"("kind":"end")", 30000)) << waiting.Output();
    EXPECT_FALSE(waiting.WaitForLine(R"("kind":"gone")", 6000)) << waiting.Output();
    waiting.Signal(SIGTERM);
    const AutoRun run = Finish(waiting, 10000, std::chrono::steady_clock::now());
    const std::vector<std::string> ends = Matching(run.lines, R"("kind":"end")");
    ASSERT_EQ(ends.size(), 1u) << "skipped again";
    EXPECT_NE(ends[0].find(R"("outcome":"skipped")"), std::string::npos) << ends[0];
}
