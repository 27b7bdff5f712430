// A program killed in mid-run. (Eight writing one file at once:
// HistoryServerTest.cpp, where they send on too.)

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <memory>

#include "ChildProcess.h"
#include "ProcessFacts.h"
#include "SqlHistoryStore.h"

namespace fs = std::filesystem;

namespace {

fs::path FreshFile(const std::string& name) {
    const fs::path folder =
        fs::temp_directory_path() /
        ("gpsupdate-history-proc-" + std::to_string(ProcessFacts::CurrentPid()));
    fs::create_directories(folder);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        fs::remove(folder / (name + suffix));
    }
    return folder / name;
}

}  // namespace

// The killed program wrote its run's start, the facts it learnt while
// running, or those alone (its start refused): the next opening marks the
// row interrupted and keeps every fact the program had written.
TEST(HistoryProcesses, AProgramKilledInMidRunLeavesItsRowWithItsFactsMarkedInterrupted) {
    const fs::path file = FreshFile("killed.sqlite");
    ChildProcess earlier(HISTORY_RECORD_RUNS_PATH, {file.string(), "3"});
    ASSERT_EQ(earlier.Wait(60000), 0) << earlier.Output();
    const struct {
        const char* writes;
        const char* recordReport;  // a fact only the update writes
    } cases[] = {{"begin", ""}, {"begin,update", "正常"}, {"update", "正常"}};
    std::size_t rows = 3;
    for (const auto& c : cases) {
        ChildProcess killed(HISTORY_RECORD_RUNS_PATH, {file.string(), "hold", c.writes});
        ASSERT_TRUE(killed.WaitForLine("begun ", 30000)) << killed.Output();
        std::vector<HistoryRun> before;
        {
            std::string error;
            SqlHistoryStore::Options readOnly;
            readOnly.readOnly = true;
            auto reader = SqlHistoryStore::Open(file, error, readOnly);
            ASSERT_NE(reader, nullptr) << error;
            ASSERT_TRUE(reader->List({}, before));
        }
        ASSERT_TRUE(killed.Signal(SIGKILL));
        ASSERT_EQ(killed.Wait(10000), -2);

        std::string error;
        auto store = SqlHistoryStore::Open(file, error);
        ASSERT_NE(store, nullptr) << error;
        EXPECT_EQ(store->MarkedInterrupted(), 1) << c.writes;
        std::vector<HistoryRun> after;
        ASSERT_TRUE(store->List({}, after));
        ASSERT_EQ(after.size(), ++rows) << c.writes;
        EXPECT_EQ(after[0].unitRecordReport, c.recordReport) << c.writes;
        ASSERT_EQ(before.size(), rows);
        EXPECT_EQ(before[0].result, "running") << c.writes;
        before[0].result = "interrupted";
        EXPECT_EQ(after, before) << c.writes << ": only the killed run's result changed";
        EXPECT_EQ(store->IntegrityCheck(), "ok");
    }
}
