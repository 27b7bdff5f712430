// The shared history on a real PostgreSQL server, which the test command
// starts (pg-server.sh): each test has a database of its own, made anew.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "ChildProcess.h"
#include "HistorySchema.h"
#include "HistorySender.h"
#include "HistoryServerFixture.h"
#include "HistoryWriter.h"
#include "ServerHistoryStore.h"
#include "ServerSync.h"
#include "SqlHistoryStore.h"
#include "StoreCases.h"

using namespace historytest;

// Every field, as a run's writes leave it (the tables made in a new
// database); a row the server holds as ended stays so even when it is
// sent again as running in the same sending. Then, on the emptied table,
// the listing filters the local file passes.
TEST_F(HistoryServer, RowsGoRoundTripAnEndedRowIsNeverTurnedBackToRunningAndListingsFilter) {
    std::string error;
    int found = 0;
    const auto open = [&]() -> std::unique_ptr<IHistoryStore> {
        auto server = ServerHistoryStore::Open(url_, error);
        EXPECT_NE(server, nullptr) << error;
        EXPECT_EQ(server ? server->FoundVersion() : -1, found) << "0: a new database";
        found = HistorySchema::kVersion;
        return server;
    };
    storecases::ExpectWritesLeaveTheirRow(open, false);
    auto server = ServerHistoryStore::Open(url_, error);
    ASSERT_NE(server, nullptr) << error;
    const HistoryRun ended = MakeRun("rt-1", "success");
    ASSERT_TRUE(server->Send({MakeRun("rt-1", "running"), ended, MakeRun("rt-1", "running")}))
        << server->LastError();
    std::vector<HistoryRun> runs;
    ASSERT_TRUE(server->List({ended.unitSerial, "", "", "", 0, 0}, runs)) << server->LastError();
    EXPECT_EQ(runs, std::vector<HistoryRun>{ended});

    Exec(url_, database_, {"DELETE FROM gpsupdate_runs"});
    storecases::ExpectListingsFilter(*server);
}

// Tables as older programs made them: migrated, their rows kept.
TEST_F(HistoryServer, ATableOfAnOlderSchemaIsMigratedAndKeepsItsRows) {
    for (const int version : {1, 2, 3, 4}) {
        std::string columns = "id TEXT PRIMARY KEY";
        for (const auto& column : HistorySchema::Columns()) {
            if (column.since <= version && std::string(column.name) != "id") {
                columns += std::string(", ") + column.name +
                           (column.Integer() ? " BIGINT" : " TEXT") + " NOT NULL DEFAULT " +
                           (column.Integer() ? "0" : "''");
            }
        }
        Exec(url_, database_,
             {"DROP TABLE IF EXISTS gpsupdate_schema", "DROP TABLE IF EXISTS gpsupdate_runs",
              "CREATE TABLE gpsupdate_schema (version INTEGER NOT NULL)",
              "INSERT INTO gpsupdate_schema VALUES (" + std::to_string(version) + ")",
              "CREATE TABLE gpsupdate_runs (" + columns + ")",
              "INSERT INTO gpsupdate_runs (id, kind, start_ms, end_ms, result, host) VALUES "
              "('old-1', 'update', 1700000000000, 1700000090000, 'success', 'station-1')"});
        std::string error;
        auto server = ServerHistoryStore::Open(url_, error);
        ASSERT_NE(server, nullptr) << error;
        EXPECT_EQ(server->FoundVersion(), version);
        ASSERT_TRUE(server->Complete(MakeRun("new-1", "success"))) << server->LastError();
        std::vector<HistoryRun> runs;
        ASSERT_TRUE(server->List({}, runs));
        ASSERT_EQ(runs.size(), 2u);
        EXPECT_EQ(runs[0], MakeRun("new-1", "success")) << version;
        EXPECT_EQ(runs[1].id, "old-1");
        EXPECT_EQ(runs[1].host, "station-1");
        EXPECT_EQ(runs[1].blocksWritten, 0);
        EXPECT_EQ(runs[1].unitDataVersionAfter, "");
        EXPECT_EQ(runs[1].eraseBegun, -1) << "not known";
    }
}

// Eight programs recording into one file at once and sending on: every run
// whole in a sound file, each sent once.
TEST_F(HistoryServer, EightProgramsOnOneFileEachSending250RunsLeaveEveryRunWholeHereAndThere) {
    constexpr int kPrograms = 8;
    const fs::path file = folder_ / "history.sqlite";
    std::vector<std::unique_ptr<ChildProcess>> programs;
    for (int i = 0; i < kPrograms; ++i) {
        programs.push_back(std::make_unique<ChildProcess>(
            HISTORY_RECORD_RUNS_PATH, std::vector<std::string>{file.string(), "250", UrlText()}));
    }
    for (auto& program : programs) {
        EXPECT_EQ(program->Wait(240000), 0) << program->Errors(1000);
        EXPECT_EQ(program->Lines(5000), std::vector<std::string>{"done 250"});
    }
    auto local = Local();
    ServerSync sync(*local, url_);
    EXPECT_EQ(sync.Waiting(), 0) << "each program sent every row it wrote";
    std::vector<HistoryRun> here;
    ASSERT_TRUE(local->List({}, here));
    EXPECT_EQ(std::count_if(here.begin(), here.end(),
                            [](const HistoryRun& run) {
                                return run.result == "success" && run.endMs >= run.startMs &&
                                       run.blocksWritten == 14044;
                            }),
              kPrograms * 250);
    EXPECT_EQ(local->IntegrityCheck(), "ok");
    std::vector<HistoryRun> there = OnServer();
    std::sort(here.begin(), here.end(), [](auto& a, auto& b) { return a.id < b.id; });
    std::sort(there.begin(), there.end(), [](auto& a, auto& b) { return a.id < b.id; });
    EXPECT_EQ(there, here) << "every row as it ended, once";
}

// As a program records: the server has a run's row as it began and as it
// ended; the facts learnt in between are written locally only. Runs while
// the server is down wait locally, and the hand-over never waits; the
// command line tells what waits, sends it once, and lists it from the
// server.
TEST_F(HistoryServer, RunsReachTheServerAtTheirStartAndEndAndWaitLocallyWhileItIsDown) {
    const fs::path file = folder_ / "history.sqlite";
    auto notes = std::make_shared<HistoryNotes>();
    HistorySender sender(file, url_, notes);
    HistoryWriter writer(
        [&file](std::string& error) -> std::unique_ptr<IHistoryStore> {
            return SqlHistoryStore::Open(file, error);
        },
        notes, sender.Waker());
    const auto settle = [&] {
        ASSERT_TRUE(writer.Settle(std::chrono::seconds(10)));
        ASSERT_TRUE(sender.Settle(std::chrono::seconds(10)));
    };
    const HistoryRun started = MakeRun("facts", "running");
    HistoryRun learnt = started;
    learnt.unitProgramVersion = "GPSP01.2000";
    writer.Begin(started);
    settle();
    EXPECT_EQ(OnServer(), std::vector<HistoryRun>{started});
    writer.Update(learnt);
    settle();
    EXPECT_EQ(OnServer(), std::vector<HistoryRun>{started}) << "not sent while running";
    writer.Complete(MakeRun("facts", "success"));
    settle();
    EXPECT_EQ(OnServer(), std::vector<HistoryRun>{MakeRun("facts", "success")});

    ASSERT_EQ(std::system(ServerScript("stop").c_str()), 0);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        writer.Begin(MakeRun("down-" + std::to_string(i), "running"));
        writer.Complete(MakeRun("down-" + std::to_string(i), i % 3 == 0 ? "failure" : "success"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50))
        << "handed over, never waited for";
    settle();
    bool told = false;
    for (const HistoryNotes::Note& note : notes->Take()) {
        told = told || note.topic == "history_server";
        EXPECT_NE(note.topic, "history") << note.text << ": every local write went in";
    }
    EXPECT_TRUE(told) << "the server's absence is said";
    ASSERT_EQ(std::system(ServerScript("start").c_str()), 0);

    const auto history = [](const std::vector<std::string>& args) {
        ChildProcess program(HISTORY_PROGRAM_PATH, args);
        EXPECT_EQ(program.Wait(60000), 0) << program.Errors(1000);
        return program.Lines(5000);
    };
    const std::string f = file.string();
    const std::string url = UrlText();
    const std::string shown = url_.Shown();
    EXPECT_EQ(history({"--history", f, "--history-server", url, "status"}),
              std::vector<std::string>{"10 runs wait to be sent to " + shown});
    for (const char* sent : {"sent 10 runs to ", "sent 0 runs to "}) {
        EXPECT_EQ(history({"--history", f, "--history-server", url, "sync"}),
                  std::vector<std::string>{sent + shown + "; 0 wait"});
    }
    std::vector<std::string> lines = history({"--server", url, "list"});
    ASSERT_EQ(lines.size(), 13u);  // the header, the runs, their count
    EXPECT_EQ(lines.back(), "11 runs");
    for (auto line = lines.begin() + 1; line != lines.end() - 1; ++line) {
        EXPECT_NE(line->find(" at station-7"), std::string::npos) << *line;
    }
    std::vector<HistoryRun> here;
    ASSERT_TRUE(Local()->List({}, here));
    EXPECT_EQ(OnServer(), here);
}

// The server's processes stopped in mid-write (the kernel still takes the
// bytes): the call under way is cut at its bound, or at once when the
// owner gives up; the rows wait (the next try after kRetryAfterMs), and
// once the server runs again they are sent, each once. (A server that
// refuses or never answers: HistoryWindowTest.cpp.)
TEST_F(HistoryServer, AServerFrozenInMidWriteIsCutAtTheBoundAndNothingIsLostOrDoubled) {
    auto local = Local();
    const auto deadline = std::make_shared<CallDeadline>();
    ServerSync sync(*local, url_, deadline);
    int rows = 0;
    std::int64_t sent = 0;
    for (const bool givenUp : {false, true}) {
        SCOPED_TRACE(givenUp ? "given up" : "at the bound");
        // Connected and up to date; then a row the frozen server is sent.
        ASSERT_TRUE(local->Complete(MakeRun("frozen-" + std::to_string(++rows), "success")));
        ASSERT_TRUE(sync.SendWaiting(-1, sent)) << sync.ServerError();
        ASSERT_TRUE(local->Complete(MakeRun("frozen-" + std::to_string(++rows), "success")));
        const Frozen frozen;  // the connection's process too
        std::thread giveUp;
        if (givenUp) {
            giveUp = std::thread([&deadline] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                deadline->GiveUp();
            });
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(sync.SendWaiting(-1, sent));
        const auto waited = std::chrono::steady_clock::now() - start;
        if (giveUp.joinable()) {
            giveUp.join();
        }
        EXPECT_LT(waited, givenUp ? std::chrono::milliseconds(1500)
                                  : std::chrono::milliseconds(ServerHistoryStore::kCallMs + 1500));
        EXPECT_NE(sync.ServerError().find("no answer"), std::string::npos) << sync.ServerError();
        EXPECT_EQ(sync.Waiting(), 1);
        EXPECT_TRUE(sync.FailedRecently()) << "the next try waits kRetryAfterMs";
    }
    ServerSync again(*local, url_);
    ASSERT_TRUE(again.SendWaiting(-1, sent)) << again.ServerError();
    EXPECT_EQ(sent, 1);
    std::vector<HistoryRun> here;
    ASSERT_TRUE(local->List({}, here));
    EXPECT_EQ(here.size(), 4u);
    EXPECT_EQ(OnServer(), here) << "every row once";
}
