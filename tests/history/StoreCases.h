#pragma once

// Cases both stores pass, the SQLite file (HistoryStoreTest.cpp) and the
// history server (HistoryServerTest.cpp): what a run's writes leave, and
// what a listing's filter finds. And a history file opened for a test.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HistoryDays.h"
#include "IHistoryStore.h"
#include "ProcessFacts.h"
#include "SqlHistoryStore.h"

namespace storecases {

inline std::int64_t At(const char* day, int hour) {
    return HistoryDays::LocalDayStartMs(day).value() + hour * 3'600'000LL;
}

inline HistoryRun RunAt(const std::string& id, std::int64_t startMs) {
    HistoryRun run;
    run.id = id;
    run.kind = "update";
    run.startMs = startMs;
    run.host = ProcessFacts::HostName();
    run.pid = ProcessFacts::CurrentPid();
    return run;
}

// Every field.
inline HistoryRun FullRun(const std::string& id = "a1") {
    HistoryRun run = RunAt(id, At("2026-03-02", 9));
    run.endMs = run.startMs + 95'500;
    run.result = "failure";
    run.failureText = "GPS 無回應,\r\n請檢查 \"連線\"";
    run.failureStage = "flash transfer";
    run.port = 3;
    run.device = "/dev/ttyUSB0";
    run.program = "gpsupdate";
    run.programVersion = "1.0.0";
    run.unitSerial = "GU48A0012345";
    run.unitProgramVersion = "GPSP01.2000";
    run.unitDataVersion = "0512";
    run.unitRecordReport = "正常";
    run.unitDataVersionAfter = "0601";
    run.fileName = "/home/店/資料, 新.apd";
    run.fileSize = 3147073;
    run.fileSha256 = std::string(64, 'c');
    run.fileDataVersion = "0601";
    run.blocksWritten = 1402;
    run.retries = 3;
    run.tracePath = "/home/u/.local/share/gpsupdate/traces/run-1.jsonl";
    run.eraseBegun = 1;
    return run;
}

// The history file, or nothing and the test failed with the reason.
inline std::unique_ptr<SqlHistoryStore> OpenFile(const std::filesystem::path& file,
                                                 bool readOnly = false) {
    std::string error;
    SqlHistoryStore::Options options;
    options.readOnly = readOnly;
    auto store = SqlHistoryStore::Open(file, error, options);
    EXPECT_NE(store, nullptr) << error;
    return store;
}

inline std::vector<std::string> Ids(const std::vector<HistoryRun>& runs) {
    std::vector<std::string> ids;
    for (const HistoryRun& run : runs) {
        ids.push_back(run.id);
    }
    return ids;
}

using Opener = std::function<std::unique_ptr<IHistoryStore>()>;

// Each sequence of a run's writes (B: Begin, U: Update, C: Complete) leaves
// the row its last accepted write held, read back from the store opened
// again: an ended row is never turned back to running. Lower case: a write
// the SQLite file refuses (a second start), which the server takes as it
// takes every row again.
inline void ExpectWritesLeaveTheirRow(const Opener& open, bool refusesASecondBegin) {
    const struct {
        const char* writes;
        char row;  // the write whose row is left
    } cases[] = {{"B", 'B'}, {"BU", 'U'}, {"U", 'U'},  {"BUC", 'C'},
                 {"C", 'C'}, {"CU", 'C'}, {"Bb", 'B'}, {"Cb", 'C'}};
    // B: the run's start; U: the unit's facts, the run still under way.
    const auto write = [](char which, const std::string& id) {
        HistoryRun run = which == 'B' ? RunAt(id, At("2026-03-02", 9)) : FullRun(id);
        if (which != 'C') {
            run.result = "running";
            run.endMs = 0;
            run.failureText = run.failureStage = "";
        }
        return run;
    };
    {
        auto store = open();
        ASSERT_NE(store, nullptr);
        for (const auto& c : cases) {
            for (const char w : std::string(c.writes)) {
                const char upper = static_cast<char>(std::toupper(w));
                const HistoryRun run = write(upper, c.writes);
                const bool ok = upper == 'B'   ? store->Begin(run)
                                : upper == 'U' ? store->Update(run)
                                               : store->Complete(run);
                EXPECT_EQ(ok, w == upper || !refusesASecondBegin)
                    << c.writes << ": " << store->LastError();
            }
        }
    }
    auto store = open();
    ASSERT_NE(store, nullptr);
    std::vector<HistoryRun> runs;
    ASSERT_TRUE(store->List({}, runs)) << store->LastError();
    std::map<std::string, HistoryRun> rows;
    for (const HistoryRun& run : runs) {
        rows[run.id] = run;
    }
    ASSERT_EQ(rows.size(), std::size(cases));
    for (const auto& c : cases) {
        EXPECT_EQ(rows[c.writes], write(c.row, c.writes)) << c.writes;
    }
}

// Seven runs; filters by serial number, result, days, port and their
// number, newest first.
inline void ExpectListingsFilter(IHistoryStore& store) {
    const struct {
        const char* id;
        const char* day;
        int hour;
        const char* serial;
        const char* result;
        int port;
    } rows[] = {{"r1", "2026-03-01", 0, "S1", "success", 1},
                {"r2", "2026-03-01", 23, "S2", "failure", 2},
                {"r3", "2026-03-02", 12, "S1", "failure", 1},
                {"r4", "2026-03-03", 8, "S1", "success", 2},
                {"r5", "2026-03-03", 9, "S2", "skipped", 1},
                {"r6", "2026-03-04", 9, "S10", "interrupted", 3},
                {"r7", "2026-03-04", 10, "SX", "timeout", 3}};
    for (const auto& row : rows) {
        HistoryRun run = RunAt(row.id, At(row.day, row.hour));
        run.unitSerial = row.serial;
        run.result = row.result;
        run.port = row.port;
        ASSERT_TRUE(store.Complete(run)) << store.LastError();
    }
    // serial, result, from, to, port, limit
    const struct {
        HistoryFilter filter;
        std::vector<std::string> ids;
    } cases[] = {
        {{"", "", "", "", 0, 0}, {"r7", "r6", "r5", "r4", "r3", "r2", "r1"}},
        // A serial number's start, in either case; its wildcards are text.
        {{"s1", "", "", "", 0, 0}, {"r6", "r4", "r3", "r1"}},
        {{"S_", "", "", "", 0, 0}, {}},
        {{"S%", "", "", "", 0, 0}, {}},
        // Every run that left its unit without a finished update.
        {{"", "failure", "", "", 0, 0}, {"r7", "r6", "r3", "r2"}},
        {{"", "interrupted", "", "", 0, 0}, {"r6"}},
        {{"", "skipped", "", "", 0, 0}, {"r5"}},
        {{"", "", "2026-03-01", "2026-03-01", 0, 0}, {"r2", "r1"}},
        {{"", "", "2026-03-02", "2026-03-03", 0, 0}, {"r5", "r4", "r3"}},
        {{"", "", "", "2026-03-02", 0, 0}, {"r3", "r2", "r1"}},
        {{"", "", "", "", 2, 0}, {"r4", "r2"}},
        {{"S1", "success", "", "", 1, 0}, {"r1"}},
        {{"", "", "", "", 0, 2}, {"r7", "r6"}},
        {{"S2", "", "2026-03-02", "", 1, 1}, {"r5"}},
    };
    std::vector<HistoryRun> runs;
    for (const auto& c : cases) {
        EXPECT_TRUE(store.List(c.filter, runs)) << store.LastError();
        EXPECT_EQ(Ids(runs), c.ids)
            << c.filter.serial << "|" << c.filter.result << "|" << c.filter.fromDay << "|"
            << c.filter.toDay << "|" << c.filter.port;
    }
    HistoryFilter bad;
    bad.fromDay = "03/01/2026";
    EXPECT_FALSE(store.List(bad, runs));
}

}  // namespace storecases
