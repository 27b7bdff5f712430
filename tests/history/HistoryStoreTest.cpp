// The SQLite store: what goes in comes out, listings filter and order, older
// files are migrated, a locked file fails the write in time. (Rows of
// writers that are gone: HistoryProcessTest.cpp; a file that cannot be used
// is reported and left as it was: tests/e2e/HistoryAutomationTest.cpp.)

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <QSqlDatabase>
#include <QSqlQuery>

#include "ProcessFacts.h"
#include "SqlHistoryStore.h"
#include "StoreCases.h"

namespace fs = std::filesystem;
using namespace storecases;

namespace {

class HistoryStore : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("gpsupdate-history-" + std::to_string(ProcessFacts::CurrentPid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        file_ = folder_ / "history.sqlite";
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::unique_ptr<SqlHistoryStore> OpenOrFail() {
        std::string error;
        auto store = SqlHistoryStore::Open(file_, error);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }
    static std::int64_t Waiting(SqlHistoryStore& store) {
        std::int64_t count = -1;
        EXPECT_TRUE(store.CountUnsent(count)) << store.LastError();
        return count;
    }
    std::vector<HistoryRun> All(SqlHistoryStore& store) {
        std::vector<HistoryRun> runs;
        EXPECT_TRUE(store.List({}, runs)) << store.LastError();
        return runs;
    }

    fs::path folder_;
    fs::path file_;
};

}  // namespace

TEST_F(HistoryStore, ARunsRowIsWhatItsStartItsFactsAndItsEndWrote) {
    ExpectWritesLeaveTheirRow([this]() -> std::unique_ptr<IHistoryStore> { return OpenOrFail(); },
                              true);
    auto store = OpenOrFail();
    EXPECT_EQ(store->FileVersion(), SqlHistoryStore::kSchemaVersion);
    EXPECT_EQ(store->IntegrityCheck(), "ok");
}

TEST_F(HistoryStore, ListingsFilterBySerialResultDayAndPortNewestFirst) {
    ExpectListingsFilter(*OpenOrFail());
}

// What the history server has not confirmed: a row rewritten after it was
// read for sending (the facts a running run learnt, its end) stays waiting
// until the new state is sent.
TEST_F(HistoryStore, ARowWaitsToBeSentUntilTheServerHasItAsItIsNow) {
    auto store = OpenOrFail();
    HistoryRun run = RunAt("s1", At("2026-03-02", 9));
    run.result = "running";
    ASSERT_TRUE(store->Begin(run));
    ASSERT_TRUE(store->Complete(RunAt("s2", At("2026-03-02", 8))));
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
        file_ = folder_ / c.fixture;
        fs::copy_file(fs::path(HISTORY_FIXTURES) / c.fixture, file_);
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
        other.setDatabaseName(QString::fromStdString(file_.string()));
        ASSERT_TRUE(other.open());
        QSqlQuery lock(other);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(store->Begin(RunAt("locked", 1)));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_NE(store->LastError().find("locked"), std::string::npos) << store->LastError();
        EXPECT_GE(waited, std::chrono::milliseconds(SqlHistoryStore::kBusyTimeoutMs));
        EXPECT_LT(waited, std::chrono::milliseconds(SqlHistoryStore::kBusyTimeoutMs * 4));
        ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));
        other.close();
    }
    QSqlDatabase::removeDatabase("locker");
    EXPECT_TRUE(store->Begin(RunAt("free again", 2))) << store->LastError();
}
