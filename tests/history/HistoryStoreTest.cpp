// The SQLite store: what goes in comes out, listings filter and order, a
// row waits to be sent, a locked file fails the write in time. (Older files:
// HistoryIdentityTest.cpp; rows of writers that are gone:
// HistoryProcessTest.cpp; a file that cannot be used is reported and left as
// it was: tests/e2e/HistoryAutomationTest.cpp.)

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <QSqlDatabase>
#include <QSqlQuery>

#include "SqlHistoryStore.h"
#include "StoreCases.h"
#include "TempDataFile.h"

namespace fs = std::filesystem;
using namespace storecases;

namespace {

class HistoryStore : public testing::Test {
  protected:
    static std::int64_t Waiting(SqlHistoryStore& store) {
        std::int64_t count = -1;
        EXPECT_TRUE(store.CountUnsent(count)) << store.LastError();
        return count;
    }

    const TempDataFile folder_{std::vector<std::uint8_t>{}};
    const fs::path file_ = folder_.Folder() / "history.sqlite";
};

}  // namespace

// Then, in a new file, the listing filters the server passes.
TEST_F(HistoryStore, ARunsRowIsWhatItsWritesLeftAndListingsFilterNewestFirst) {
    ExpectWritesLeaveTheirRow(
        [this]() -> std::unique_ptr<IHistoryStore> { return OpenFile(file_); }, true);
    auto store = OpenFile(file_);
    EXPECT_EQ(store->FileVersion(), SqlHistoryStore::kSchemaVersion);
    EXPECT_EQ(store->IntegrityCheck(), "ok");
    store.reset();
    fs::remove(file_);
    ExpectListingsFilter(*OpenFile(file_));
}

// What the history server has not confirmed: a row rewritten after it was
// read for sending (the facts a running run learnt, its end) stays waiting
// until the new state is sent.
TEST_F(HistoryStore, ARowWaitsToBeSentUntilTheServerHasItAsItIsNow) {
    auto store = OpenFile(file_);
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

TEST_F(HistoryStore, AFileAnotherProgramHoldsLockedFailsTheWriteAfterTheBusyTimeOut) {
    auto store = OpenFile(file_);
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
