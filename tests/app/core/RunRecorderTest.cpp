// The recorder: what it learns of a run from its events, and a store that
// refuses to write.

#include <gtest/gtest.h>

#include "IHistoryStore.h"
#include "RunRecorder.h"
#include "mduCommonMessage.h"

namespace {

// Keeps the rows it is given; refuses writes when told.
class MemoryStore final : public IHistoryStore {
  public:
    bool Begin(const HistoryRun& run) override { return Take(run, begun); }
    bool Complete(const HistoryRun& run) override { return Take(run, completed); }
    bool List(const HistoryFilter&, std::vector<HistoryRun>&) override { return false; }
    bool Each(const HistoryFilter&, bool, const std::function<bool(const HistoryRun&)>&) override {
        return false;
    }
    bool Days(const HistoryFilter&, std::vector<DayStats>&) override { return false; }
    std::string LastError() const override { return refuse ? "disk full" : ""; }

    std::vector<HistoryRun> begun;
    std::vector<HistoryRun> completed;
    bool refuse = false;

  private:
    bool Take(const HistoryRun& run, std::vector<HistoryRun>& rows) {
        if (refuse) {
            return false;
        }
        rows.push_back(run);
        return true;
    }
};

std::string InfoLine(int line, const std::string& value) {
    return std::string(mduCommonMessage::InfoLineLabels[static_cast<std::size_t>(line)]) + " " +
           value;
}

struct Rig {
    MemoryStore store;
    std::int64_t cursor = 0;
    std::int64_t now = 1'000'000;
    RunRecorder recorder{&store, "", Facts()};

    Rig() {
        recorder.SetClock([this] { return now; });
    }
    RunRecorder::Facts Facts() {
        RunRecorder::Facts facts;
        facts.program = "gpsupdate";
        facts.port = [] { return 3; };
        facts.device = [](int port) { return "/dev/ttyS" + std::to_string(port); };
        facts.blockCursor = [this] { return cursor; };
        return facts;
    }
    void Block(std::int32_t code, std::int64_t at) {
        cursor = at;
        const std::uint8_t frame[8] = {};
        recorder.OnFrameOut(frame, code);
    }
    // An update that reads the unit, sends flash blocks 10, 10 again, 11,
    // 12 and parameter blocks 13, 14, 14 again, and fails there.
    void FailingUpdate() {
        using namespace mduCommonMessage;
        recorder.OnRunStarted(RunKind::Update);
        recorder.OnInfoLine(InfoLineSerialNumber, InfoLine(InfoLineSerialNumber, "GU1"));
        recorder.OnInfoLine(InfoLineRecordReport, InfoLine(InfoLineRecordReport, "正常"));
        recorder.OnInfoLine(InfoLineDataFileVersion, InfoLine(InfoLineDataFileVersion, "0601"));
        recorder.OnStateChange(13, 14);
        for (const std::int64_t block : {10, 10, 11, 12}) {
            Block(51, block);
        }
        recorder.OnStateChange(14, 15);
        recorder.OnStateChange(15, 16);
        for (const std::int64_t block : {13, 14, 14}) {
            Block(50, block);
        }
        // What the unit reports after the transfer is not the unit before it.
        recorder.OnInfoLine(InfoLineRecordReport, InfoLine(InfoLineRecordReport, "異常"));
        recorder.OnMessage("區塊傳送失敗", IRunObserver::MessageKind::Error);
        recorder.OnStateChange(16, 0);
        now += 42'000;
        recorder.OnRunEnded(RunKind::Update, RunOutcome::Failed);
    }
};

}  // namespace

TEST(RunRecorder, AFailedUpdateIsRecordedWithTheUnitTheBlocksAndWhereItFailed) {
    Rig rig;
    rig.FailingUpdate();
    ASSERT_EQ(rig.store.begun.size(), 1u);
    EXPECT_EQ(rig.store.begun[0].result, "running");
    EXPECT_EQ(rig.store.begun[0].device, "/dev/ttyS3");
    ASSERT_EQ(rig.store.completed.size(), 1u);
    const HistoryRun& run = rig.store.completed[0];
    EXPECT_EQ(run.id, rig.store.begun[0].id);
    EXPECT_EQ(run.result, "failure");
    EXPECT_EQ(run.Seconds(), 42.0);
    EXPECT_EQ(run.unitSerial, "GU1");
    EXPECT_EQ(run.unitRecordReport, "正常");
    EXPECT_EQ(run.fileDataVersion, "0601");
    // 10, 11, 12 and 13 acknowledged; 14 never was.
    EXPECT_EQ(run.blocksWritten, 4);
    EXPECT_EQ(run.retries, 2);
    EXPECT_EQ(run.failureStage, "parameter transfer");
    EXPECT_EQ(run.failureText, "區塊傳送失敗");
    EXPECT_TRUE(rig.recorder.Recorded());
}

TEST(RunRecorder, ARunTheProgramEndsItselfGetsThatResultAndTheNextRunANewRow) {
    Rig rig;
    rig.recorder.OnRunStarted(RunKind::ConnectionTest);
    rig.recorder.EndOpenRun("timeout");
    rig.recorder.EndOpenRun("failure");  // no run open: nothing
    rig.recorder.OnRunStarted(RunKind::Scan);
    rig.recorder.OnRunEnded(RunKind::Scan, RunOutcome::Succeeded);
    ASSERT_EQ(rig.store.completed.size(), 2u);
    EXPECT_EQ(rig.store.completed[0].kind, "test");
    EXPECT_EQ(rig.store.completed[0].result, "timeout");
    EXPECT_EQ(rig.store.completed[1].kind, "scan");
    EXPECT_EQ(rig.store.completed[1].result, "success");
    EXPECT_NE(rig.store.completed[0].id, rig.store.completed[1].id);
}

TEST(RunRecorder, AStoreThatRefusesOrIsMissingLeavesTheRunUnrecordedWithTheReason) {
    Rig rig;
    std::vector<std::string> told;
    rig.recorder.SetErrorSink([&told](const std::string& reason) { told.push_back(reason); });
    rig.store.refuse = true;
    rig.FailingUpdate();
    EXPECT_FALSE(rig.recorder.Recorded());
    EXPECT_NE(rig.recorder.Error().find("disk full"), std::string::npos) << rig.recorder.Error();
    EXPECT_EQ(told.size(), 2u) << "both writes failed, both are told";

    RunRecorder none(nullptr, "the folder /x does not exist", {});
    none.OnRunStarted(RunKind::Update);
    none.OnRunEnded(RunKind::Update, RunOutcome::Succeeded);
    EXPECT_FALSE(none.Recorded());
    EXPECT_EQ(none.Error(), "the folder /x does not exist");
}
