// gpsupdate-auto recording into a history with the real server behind it,
// and the server's processes stopped (SIGSTOP) in mid-run: the kernel
// still takes the bytes, nothing answers. The run is as it would be, its
// end line and the program's end come within their bounds, its row is
// whole in the local file and reaches the server once it runs again.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "HistorySender.h"
#include "HistoryServerFixture.h"
#include "HistoryWriter.h"
#include "ServerSync.h"
#include "SimProgram.h"
#include "mduGlobalModule.h"

using namespace historytest;

using Clock = std::chrono::steady_clock;

TEST_F(HistoryServer, AServerFrozenInMidRunLeavesTheEndLineAndTheExitWithinTheirBounds) {
    mduGlobalModule::InitGlobalTables();  // the packer's CRC tables
    const std::string file = SmallDataFile(folder_.string(), 120);
    const fs::path history = folder_ / "history.sqlite";
    // About 20 ms a block: the run lasts a few seconds.
    SimProgram unit((folder_ / "com3").string(), {"--erase-ms", "300", "--reply-us", "20000"});
    ChildProcess run(GPSUPDATE_AUTO_PATH,
                     {"--action", "update", "--port", "3", "--file", file, "--history",
                      history.string(), "--history-server", UrlText()},
                     {{"GPSUPDATE_COM3", unit.link}, {"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_TRUE(run.WaitForLine(R"("kind":"progress")", 30000)) << run.Output() << run.Errors(1000);
    std::string end;
    int status = -1;
    Clock::time_point endAt;
    {
        // The run's start went to the server; now nothing answers.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Frozen frozen;
        ASSERT_TRUE(run.WaitForLine(R"("kind":"end")", 60000)) << run.Errors(1000);
        endAt = Clock::now();
        status = run.Wait(10000);
        const auto exitAfter = Clock::now() - endAt;
        // The end line waits for the local row only; the program's end
        // gives the server its last sending and the cut, then ends.
        EXPECT_LT(exitAfter, std::chrono::milliseconds(100 + (HistorySender::kEndBudgetMs +
                                                              HistorySender::kCutMs +
                                                              std::chrono::milliseconds(1000))
                                                                 .count()));
        end = Matching(run.Lines(0), R"("kind":"end")").back();
    }
    EXPECT_EQ(status, 0) << end;
    EXPECT_NE(end.find(R"("result":"success")"), std::string::npos) << end;
    EXPECT_NE(end.find(R"("recorded":true,"history_error":"")"), std::string::npos) << end;
    // A stopped server costs the window nothing: well under the 2 s a
    // silent server cost when it was asked on the window's thread.
    const std::size_t stall = end.find(R"("max_stall_ms":)");
    ASSERT_NE(stall, std::string::npos) << end;
    EXPECT_LT(std::stod(end.substr(stall + 15)), 500) << end;
    unit.process.Signal(SIGTERM);

    // Running again: the run's row, waiting in the file, is sent once.
    auto local = Local();
    ASSERT_NE(local, nullptr);
    std::vector<HistoryRun> here;
    ASSERT_TRUE(local->List({}, here));
    ASSERT_EQ(here.size(), 1u);
    EXPECT_EQ(here[0].result, "success");
    ServerSync sync(*local, url_);
    std::int64_t sent = 0;
    ASSERT_TRUE(sync.SendWaiting(-1, sent)) << sync.ServerError();
    EXPECT_EQ(sync.Waiting(), 0);
    EXPECT_EQ(OnServer(), here);
}
