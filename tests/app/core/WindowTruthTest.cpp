// What the window says at the edges of a run must be true of the unit: a
// unit never erased is not called unusable and is sent back to normal use,
// the time left is the pace's, and another unit's report is not this one's
// (a second reply to one block: the late-reply table).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SequenceRig.h"
#include "mduCommonMessage.h"

namespace msg = mduCommonMessage;

// An update that ends after asking for the link mode but before the erase
// sends the unit, its data untouched, back to normal use; when it could not,
// the connection test says what is known of the unit's data (the erase by
// this program: ConnectionTest.AUnitLeftInLinkModeIsToldApartFromNoUnit).
TEST(WindowTruth, AUnitNeverErasedIsSentBackAndNeverCalledUnusable) {
    const struct {
        const char* name;
        const char* faults;
        bool restarted;  // the program was started again after the update
        RunOutcome update;
        RunOutcome test;
        std::string testText;
    } cases[] = {
        {"the not-newer question declined", "", false, RunOutcome::Skipped, RunOutcome::Succeeded,
         "GPS連線成功 : GPS記錄資訊 = 正常"},
        {"a stage before the erase refused", "bad-status:code=VPGM", false, RunOutcome::Failed,
         RunOutcome::Succeeded, "GPS連線成功 : GPS記錄資訊 = 正常"},
        {"the closing command lost on the line", "bad-status:code=VPGM deaf:code=RST", false,
         RunOutcome::Failed, RunOutcome::Failed, msg::LinkModeLeftText(false)},
        {"erased, then the program started again", "deaf:code=51,block=5", true, RunOutcome::Failed,
         RunOutcome::Failed, msg::LinkModeLeftText(false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SequenceRigOptions options;
        if (c.update == RunOutcome::Skipped) {
            options.dataFileVersion = "0512";  // the unit's own: the question comes
        }
        SequenceRig rig(SequenceRig::QuickUnit(), options);
        rig.AddFault(c.faults);
        ASSERT_EQ(rig.Update(), c.update);
        if (c.restarted) {
            rig.window = std::make_unique<HeadlessWindow>(rig.clock, rig.line, rig.boxes);
            rig.window->Start();
            rig.clock.AdvanceBy(30);
            rig.window->Press(kEventHelloDevice);
            rig.clock.RunUntil([&] { return rig.window->Sequence().CurrentRun() == RunKind::None; },
                               10000);
            EXPECT_EQ(rig.window->Sequence().LastOutcome(), c.test);
        } else {
            // A connection test once the unit has had time to check its memory.
            rig.clock.AdvanceBy(SequenceRig::QuickUnit().checkMs + 1000);
            rig.boxes.Clear();
            EXPECT_EQ(rig.Run(kEventHelloDevice), c.test);
        }
        EXPECT_EQ(rig.window->MessageText(), c.testText);
    }
}

// Once the flash transfer has run a few seconds, the message says the time
// left at its pace, not the fixed six to eight minutes.
TEST(WindowTruth, TheTimeLeftIsThePacesOnceAFewSecondsHavePassed) {
    sim::UnitConfig unit = SequenceRig::QuickUnit();
    unit.flashSize = 1 << 20;
    SequenceRigOptions options;
    options.flashBytes = 224 * 3000;  // about a minute at the link speed
    SequenceRig rig(unit, options);
    HeadlessWindow& w = *rig.window;
    rig.clock.AdvanceBy(30);
    w.Press(kEventDownLoadStart);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return w.WorkState() == 14; }, 60000));
    const std::int64_t startMs = rig.clock.NowMs();
    rig.clock.AdvanceBy(3000);
    const std::string early = w.MessageText();
    EXPECT_EQ(early.substr(0, early.find(':')), msg::FlashTransferText);
    rig.clock.AdvanceBy(17000);
    const std::string later = w.MessageText();
    const std::string prefix = "資料傳送中, 大約還需要 ";
    ASSERT_EQ(later.rfind(prefix, 0), 0u) << later;
    const int said = std::stoi(later.substr(prefix.size()));
    const std::int64_t saidAtMs = rig.clock.NowMs();
    ASSERT_TRUE(rig.clock.RunUntil([&] { return w.WorkState() == 15; }, 600000));
    const double leftS = static_cast<double>(rig.clock.NowMs() - saidAtMs) / 1000.0;
    EXPECT_NE(later.find(" 秒, 請稍待."), std::string::npos) << later;
    EXPECT_NEAR(said, leftS, 11.0) << later;
    EXPECT_GT(saidAtMs - startMs, 5000);
}

// The final check polls the greeting: a report under another serial number
// is another unit's (the updated one swapped early for a fresh one).
TEST(WindowTruth, TheFinalCheckTakesOnlyThisUnitsOwnReport) {
    sim::UnitConfig unit = SequenceRig::QuickUnit();
    unit.stayMs = 0;  // leaves as its memory check ends
    unit.nextSerials = {"GU48B0099999"};
    SequenceRig rig(unit);
    ASSERT_EQ(rig.Update(), RunOutcome::Failed);
    HeadlessWindow& w = *rig.window;
    EXPECT_EQ(w.MessageText(), msg::ForeignUnitText("GU48A0012345", "GU48B0099999"));
    EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{msg::ForeignUnitBoxText});
    EXPECT_EQ(w.Lamp(19), 3);
    EXPECT_EQ(rig.runs.back().failedStage, RunStage::FinalCheck);
}
