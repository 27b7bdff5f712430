// The recorder: a run's facts as history rows, and a store that refuses to
// write.

#include <gtest/gtest.h>

#include <chrono>

#include "HistoryWriter.h"
#include "MemoryHistoryStore.h"
#include "RunRecorder.h"

namespace {

// A writer on a store that keeps the rows it is given.
struct Rig {
    std::shared_ptr<StoredRows> rows = std::make_shared<StoredRows>();
    std::shared_ptr<HistoryNotes> notes = std::make_shared<HistoryNotes>();
    HistoryWriter writer{[rows = rows](std::string&) -> std::unique_ptr<IHistoryStore> {
                             return std::make_unique<MemoryHistoryStore>(rows);
                         },
                         notes};
    void Settle() { ASSERT_TRUE(writer.Settle(std::chrono::seconds(5))); }
};

RunFacts Started() {
    RunFacts run;
    run.kind = RunKind::Update;
    run.port = 3;
    run.device = "/dev/ttyUSB0";
    run.fileName = "/data/0601.apd";
    run.fileSize = 1234;
    run.startMs = 1'000'000;
    return run;
}

}  // namespace

// Every fact a row has comes from the run's facts, through the start, what
// it learnt and its end, under one id.
TEST(RunRecorder, TheRowsOfARunAreItsFactsUnderOneId) {
    Rig rig;
    StoredRows& store = *rig.rows;
    RunRecorder recorder(&rig.writer, "", "gpsupdate", "1.0.0");
    RunFacts run = Started();
    recorder.OnRunStarted(run);
    run.serial = "GU1";
    recorder.OnFactsLearned(run);
    run.dataVersionBefore = "0512";
    run.fileDataVersion = "0601";
    run.blocksWritten = 4;
    run.resends = 2;
    run.outcome = RunOutcome::Failed;
    run.failedStage = RunStage::ParameterTransfer;
    run.failureText = "區塊傳送失敗";
    run.endMs = 1'042'000;
    run.traceFile = "/t/run-1-update-failure.jsonl";
    recorder.OnRunEnded(run);
    rig.Settle();

    ASSERT_EQ(store.begun.size(), 1u);
    ASSERT_EQ(store.updated.size(), 1u);
    ASSERT_EQ(store.completed.size(), 1u);
    EXPECT_EQ(store.begun[0].result, "running");
    EXPECT_EQ(store.begun[0].device, "/dev/ttyUSB0");
    EXPECT_FALSE(store.begun[0].processStart.empty()) << "the writer's process, beside its id";
    EXPECT_EQ(store.updated[0].result, "running");
    EXPECT_EQ(store.updated[0].unitSerial, "GU1");
    const HistoryRun row = store.completed[0];  // a copy: the next run adds rows
    EXPECT_EQ(row.id, store.begun[0].id);
    EXPECT_EQ(row.id, store.updated[0].id);
    EXPECT_EQ(row.program, "gpsupdate");
    EXPECT_EQ(row.programVersion, "1.0.0");
    EXPECT_EQ(row.kind, "update");
    EXPECT_EQ(row.result, "failure");
    EXPECT_EQ(row.Seconds(), 42.0);
    EXPECT_EQ(row.port, 3);
    EXPECT_EQ(row.unitSerial, "GU1");
    EXPECT_EQ(row.unitDataVersion, "0512");
    EXPECT_EQ(row.fileName, "/data/0601.apd");
    EXPECT_EQ(row.fileSize, 1234);
    EXPECT_EQ(row.fileDataVersion, "0601");
    EXPECT_EQ(row.blocksWritten, 4);
    EXPECT_EQ(row.retries, 2);
    EXPECT_EQ(row.failureStage, "parameter transfer");
    EXPECT_EQ(row.failureText, "區塊傳送失敗");
    EXPECT_EQ(row.tracePath, "/t/run-1-update-failure.jsonl");
    EXPECT_TRUE(recorder.Recorded());

    // The next run is a new row.
    RunFacts scan;
    scan.kind = RunKind::Scan;
    scan.outcome = RunOutcome::Succeeded;
    recorder.OnRunStarted(scan);
    recorder.OnRunEnded(scan);
    rig.Settle();
    ASSERT_EQ(store.completed.size(), 2u);
    EXPECT_EQ(store.completed[1].kind, "scan");
    EXPECT_EQ(store.completed[1].result, "success");
    EXPECT_NE(store.completed[1].id, row.id);
}

TEST(RunRecorder, AStoreThatRefusesOrIsMissingLeavesTheRunUnrecordedWithTheReason) {
    Rig rig;
    rig.rows->SetMood(StoredRows::Mood::Refusing);
    RunRecorder recorder(&rig.writer, "", "gpsupdate", "1.0.0");
    RunFacts run = Started();
    recorder.OnRunStarted(run);
    recorder.OnFactsLearned(run);
    run.outcome = RunOutcome::Succeeded;
    recorder.OnRunEnded(run);
    rig.Settle();
    EXPECT_FALSE(recorder.Recorded());
    EXPECT_NE(recorder.Error().find("disk full"), std::string::npos) << recorder.Error();
    EXPECT_EQ(rig.notes->Take().size(), 3u) << "every failed write is told";

    RunRecorder none(nullptr, "the folder /x does not exist", "gpsupdate", "1.0.0");
    none.OnRunStarted(run);
    none.OnRunEnded(run);
    EXPECT_FALSE(none.Recorded());
    EXPECT_EQ(none.Error(), "the folder /x does not exist");
}
