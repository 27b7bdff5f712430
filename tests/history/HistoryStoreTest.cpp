// The SQLite store: what goes in comes out, listings filter and order, older
// files are migrated, a locked file fails the write in time. (Rows of
// writers that are gone: HistoryProcessTest.cpp; a file that cannot be used
// is reported and left as it was: tests/e2e/HistoryAutomationTest.cpp.)

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

#include <QSqlDatabase>
#include <QSqlQuery>

#include "HistoryDays.h"
#include "ProcessFacts.h"
#include "SqlHistoryStore.h"

namespace fs = std::filesystem;

namespace {

class HistoryStore : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("gpsupdate-history-" + std::to_string(ProcessFacts::CurrentPid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path File() const { return folder_ / "history.sqlite"; }
    // No history file yet.
    void RemoveFile() const {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(File().string() + suffix);
        }
    }
    std::unique_ptr<SqlHistoryStore> OpenOrFail() {
        std::string error;
        auto store = SqlHistoryStore::Open(File(), error);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }
    static std::int64_t Waiting(SqlHistoryStore& store) {
        std::int64_t count = -1;
        EXPECT_TRUE(store.CountUnsent(count)) << store.LastError();
        return count;
    }
    std::vector<HistoryRun> All(SqlHistoryStore& store, HistoryFilter filter = {}) {
        std::vector<HistoryRun> runs;
        EXPECT_TRUE(store.List(filter, runs)) << store.LastError();
        return runs;
    }

    fs::path folder_;
};

std::int64_t At(const char* day, int hour) {
    return HistoryDays::LocalDayStartMs(day).value() + hour * 3'600'000LL;
}

HistoryRun MakeRun(const std::string& id, std::int64_t startMs) {
    HistoryRun run;
    run.id = id;
    run.kind = "update";
    run.startMs = startMs;
    run.host = ProcessFacts::HostName();
    run.pid = ProcessFacts::CurrentPid();
    return run;
}

HistoryRun FullRun() {
    HistoryRun run = MakeRun("a1", At("2026-03-02", 9));
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

std::vector<std::string> Ids(const std::vector<HistoryRun>& runs) {
    std::vector<std::string> ids;
    for (const HistoryRun& run : runs) {
        ids.push_back(run.id);
    }
    return ids;
}

}  // namespace

// Each sequence of a run's writes leaves the row its last accepted write
// held, read back after the file was closed and opened again.
TEST_F(HistoryStore, ARunsRowIsWhatItsStartItsFactsAndItsEndWrote) {
    const HistoryRun full = FullRun();
    HistoryRun started = MakeRun(full.id, full.startMs);
    started.result = "running";
    HistoryRun learnt = full;  // the unit's facts, the run still under way
    learnt.endMs = 0;
    learnt.result = "running";
    learnt.failureText.clear();
    learnt.failureStage.clear();
    // B: Begin(started), U: Update(learnt), C: Complete(full); lower case:
    // the write is refused.
    const struct {
        const char* writes;
        HistoryRun row;
    } cases[] = {{"B", started}, {"BU", learnt}, {"U", learnt},  {"BUC", full},
                 {"C", full},    {"CU", full},   {"Bb", started}};
    for (const auto& c : cases) {
        RemoveFile();
        {
            auto store = OpenOrFail();
            for (const char write : std::string(c.writes)) {
                const char upper = static_cast<char>(std::toupper(write));
                const bool ok = upper == 'B'   ? store->Begin(started)
                                : upper == 'U' ? store->Update(learnt)
                                               : store->Complete(full);
                EXPECT_EQ(ok, write == upper) << c.writes << ": " << store->LastError();
            }
        }
        auto store = OpenOrFail();
        EXPECT_EQ(store->FileVersion(), SqlHistoryStore::kSchemaVersion);
        EXPECT_EQ(All(*store), std::vector<HistoryRun>{c.row}) << c.writes;
        EXPECT_EQ(store->IntegrityCheck(), "ok");
    }
}

TEST_F(HistoryStore, ListingsFilterBySerialResultDayAndPortNewestFirst) {
    auto store = OpenOrFail();
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
        HistoryRun run = MakeRun(row.id, At(row.day, row.hour));
        run.unitSerial = row.serial;
        run.result = row.result;
        run.port = row.port;
        ASSERT_TRUE(store->Complete(run)) << store->LastError();
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
    for (const auto& c : cases) {
        EXPECT_EQ(Ids(All(*store, c.filter)), c.ids)
            << c.filter.serial << "|" << c.filter.result << "|" << c.filter.fromDay << "|"
            << c.filter.toDay << "|" << c.filter.port;
    }
    HistoryFilter bad;
    bad.fromDay = "03/01/2026";
    std::vector<HistoryRun> runs;
    EXPECT_FALSE(store->List(bad, runs));
}

// What the history server has not confirmed: a row rewritten after it was
// read for sending (the facts a running run learnt, its end) stays waiting
// until the new state is sent.
TEST_F(HistoryStore, ARowWaitsToBeSentUntilTheServerHasItAsItIsNow) {
    auto store = OpenOrFail();
    HistoryRun run = MakeRun("s1", At("2026-03-02", 9));
    run.result = "running";
    ASSERT_TRUE(store->Begin(run));
    ASSERT_TRUE(store->Complete(MakeRun("s2", At("2026-03-02", 8))));
    std::vector<HistoryRun> unsent;
    ASSERT_TRUE(store->Unsent(10, unsent));
    EXPECT_EQ(Ids(unsent), (std::vector<std::string>{"s2", "s1"})) << "oldest first";
    // Rewritten after the read for sending: the facts learnt, then the end.
    for (const bool end : {false, true}) {
        ASSERT_TRUE(store->Unsent(10, unsent));
        run.unitSerial = "GU48A0012345";
        if (end) {
            run.endMs = run.startMs + 1000;
            run.result = "success";
        }
        ASSERT_TRUE(end ? store->Complete(run) : store->Update(run)) << store->LastError();
        ASSERT_TRUE(store->MarkSent(unsent));
        EXPECT_EQ(Waiting(*store), 1) << end;
        ASSERT_TRUE(store->Unsent(10, unsent));
        EXPECT_EQ(unsent, std::vector<HistoryRun>{run}) << end;
    }
    ASSERT_TRUE(store->MarkSent(unsent));
    EXPECT_EQ(Waiting(*store), 0);
}

// Files of older schemas, as their releases left them: the first (made
// with that release's table and two runs: one whole, one of another host
// still running) and the third (two finished runs recorded by that
// release's history_record_runs). Opened, they are migrated, keep their runs
// and take a whole run of the newest schema.
TEST_F(HistoryStore, AFileOfAnOlderSchemaIsMigratedAndKeepsItsRuns) {
    const struct {
        const char* fixture;
        int version;
        std::vector<std::string> ids;  // newest first
        // Of the older run: facts the file kept.
        std::int64_t fileSize;
        std::int64_t blocksWritten;
        const char* newerResult;
    } cases[] = {
        {"history-v1.sqlite", 1, {"v1-run-b", "v1-run-a"}, 23617, 0, "running"},
        {"history-v3.sqlite", 3, {"spread-1", "spread-0"}, -1, 14044, "success"},
    };
    for (const auto& c : cases) {
        RemoveFile();
        fs::copy_file(fs::path(HISTORY_FIXTURES) / c.fixture, File());
        {
            auto store = OpenOrFail();
            EXPECT_EQ(store->FileVersion(), c.version);
            const std::vector<HistoryRun> runs = All(*store);
            ASSERT_EQ(Ids(runs), c.ids) << c.fixture;
            EXPECT_EQ(runs[1].unitRecordReport, "正常") << c.fixture;
            EXPECT_EQ(runs[1].fileSize, c.fileSize) << c.fixture;
            EXPECT_EQ(runs[1].blocksWritten, c.blocksWritten) << c.fixture;
            EXPECT_EQ(runs[1].unitDataVersionAfter, "") << c.fixture;
            EXPECT_EQ(runs[1].eraseBegun, -1) << c.fixture << ": not known";
            EXPECT_EQ(runs[0].result, c.newerResult) << "another host's run is left alone";
            ASSERT_TRUE(store->Complete(FullRun())) << store->LastError();
        }
        auto store = OpenOrFail();
        EXPECT_EQ(store->FileVersion(), SqlHistoryStore::kSchemaVersion);
        const std::vector<HistoryRun> runs = All(*store);
        ASSERT_EQ(runs.size(), 3u);
        EXPECT_NE(std::find(runs.begin(), runs.end(), FullRun()), runs.end()) << c.fixture;
        EXPECT_EQ(Waiting(*store), 3) << c.fixture << ": none of these rows was sent";
        EXPECT_EQ(store->IntegrityCheck(), "ok");
    }
}

TEST_F(HistoryStore, AFileAnotherProgramHoldsLockedFailsTheWriteAfterTheBusyTimeOut) {
    auto store = OpenOrFail();
    {
        // Another program's connection with a write transaction open.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "locker");
        other.setDatabaseName(QString::fromStdString(File().string()));
        ASSERT_TRUE(other.open());
        QSqlQuery lock(other);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(store->Begin(MakeRun("locked", 1)));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_NE(store->LastError().find("locked"), std::string::npos) << store->LastError();
        EXPECT_GE(waited, std::chrono::milliseconds(SqlHistoryStore::kBusyTimeoutMs));
        EXPECT_LT(waited, std::chrono::milliseconds(SqlHistoryStore::kBusyTimeoutMs * 4));
        ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));
        other.close();
    }
    QSqlDatabase::removeDatabase("locker");
    EXPECT_TRUE(store->Begin(MakeRun("free again", 2))) << store->LastError();
}
