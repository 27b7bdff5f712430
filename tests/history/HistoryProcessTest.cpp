// Writers that are gone: a program killed in mid-run, and a process id now
// another process's. (Eight programs writing one file at once:
// HistoryServerTest.cpp, where they send on too.)

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <memory>

#include "ChildProcess.h"
#include "ProcessFacts.h"
#include "SqlHistoryStore.h"
#include "StoreCases.h"
#include "TempDataFile.h"

namespace fs = std::filesystem;
using storecases::OpenFile;

// Three programs killed after they wrote their run's start, the facts it
// learnt, or those alone (its start refused), beside running rows of this
// host whose writer is alive or whose process id is now another's (after
// a restart), of another host, and an ended one: the next opening marks the
// killed programs' rows and the reused id's interrupted, only those, and
// keeps every fact they had.
TEST(HistoryProcesses, OnlyTheRunningRowsOfWritersGoneFromThisHostAreMarkedInterrupted) {
    const TempDataFile folder(std::vector<std::uint8_t>{});
    const fs::path file = folder.Folder() / "killed.sqlite";
    HistoryRun alive = storecases::RunAt("alive", 0);  // this host, this process
    alive.result = "running";
    alive.processStart = ProcessFacts::StartMark(alive.pid);
    HistoryRun reused = alive;
    reused.id = "reused";
    reused.processStart = "another-boot:42";
    HistoryRun elsewhere = alive;
    elsewhere.id = "elsewhere";
    elsewhere.host = "another-host";
    elsewhere.pid = 0;  // no process
    elsewhere.processStart.clear();
    HistoryRun ended = elsewhere;
    ended.id = "ended";
    ended.host = alive.host;
    ended.result = "success";
    std::vector<std::unique_ptr<ChildProcess>> killed;
    for (const char* writes : {"begin", "begin,update", "update"}) {
        killed.push_back(std::make_unique<ChildProcess>(
            HISTORY_RECORD_RUNS_PATH, std::vector<std::string>{file.string(), "hold", writes}));
        ASSERT_TRUE(killed.back()->WaitForLine("begun ", 30000)) << writes;
    }
    {  // after the programs' openings, which mark rows too
        auto store = OpenFile(file);
        ASSERT_NE(store, nullptr);
        for (const HistoryRun& run : {alive, reused, elsewhere, ended}) {
            ASSERT_TRUE(store->Begin(run)) << store->LastError();
        }
    }
    std::vector<HistoryRun> before;
    ASSERT_TRUE(OpenFile(file, true)->List({}, before));
    for (auto& program : killed) {
        ASSERT_TRUE(program->Signal(SIGKILL));
        ASSERT_EQ(program->Wait(10000), -2);
    }

    auto store = OpenFile(file);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->MarkedInterrupted(), 4);
    int facts = 0;  // the unit's facts only the update wrote
    for (HistoryRun& run : before) {
        if (run.program == "history_record_runs" || run.id == "reused") {
            run.result = "interrupted";
            facts += run.unitRecordReport == "正常";
        }
    }
    EXPECT_EQ(facts, 2);
    std::vector<HistoryRun> after;
    ASSERT_TRUE(store->List({}, after));
    EXPECT_EQ(after, before) << "only the gone writers' results changed";
    EXPECT_EQ(store->IntegrityCheck(), "ok");
    store.reset();
    EXPECT_EQ(OpenFile(file)->MarkedInterrupted(), 0) << "marked once";
}
