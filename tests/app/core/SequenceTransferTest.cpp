// The erase, the two block transfers, the closing command and the final
// memory check: whole updates in virtual time against the simulated unit.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SequenceRig.h"
#include "clsComm.h"
#include "clsPNV480DnLdData.h"
#include "mduCommonMessage.h"
#include "mduDisplayText.h"

namespace msg = mduCommonMessage;
using platform::MsgIcon;

// The last box is shown in idle, and the run is reported once it closes.
TEST(Transfer, ACleanUpdateWritesEveryBlockAndEndsInTheSuccessBox) {
    SequenceRig rig;
    HeadlessWindow& w = *rig.window;
    int endedWhileOpen = -1;
    bool idleEntryRanInside = false;
    rig.boxes.SetWhileOpen([&](const platform::ScriptedMessageBoxes::Shown&) {
        endedWhileOpen = static_cast<int>(rig.runs.size());
        rig.clock.AdvanceBy(3000);  // idle's entry and its timer stop run inside
        idleEntryRanInside = !w.WorkingBusy() && !w.OneSecTimerRunning();
    });
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
    EXPECT_EQ(endedWhileOpen, 0);
    EXPECT_TRUE(idleEntryRanInside);
    EXPECT_FALSE(w.WorkingBusy());
    EXPECT_FALSE(w.OneSecTimerRunning());
    EXPECT_EQ(rig.runs.size(), 1u);
    // The unit's memory and the success box's text: the late-reply table's
    // clean row.
    EXPECT_EQ(w.MessageText(), msg::UpdateSucceededText);
    EXPECT_EQ(w.MessageKind(), kBlue);
    ASSERT_EQ(rig.boxes.Boxes().size(), 1u);
    EXPECT_EQ(rig.boxes.Boxes()[0].icon, MsgIcon::Information);
    for (int lamp = 0; lamp < 20; ++lamp) {
        EXPECT_EQ(w.Lamp(lamp), 2) << "lamp " << lamp;
    }
    // Every state of the update path, once each, in order.
    EXPECT_EQ(w.States(), (std::vector<std::int32_t>{0,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                     11, 12, 13, 14, 15, 16, 17, 20, 21, 0}));
    // 21 flash blocks and 4 parameter blocks, each sent once.
    EXPECT_EQ(rig.HeardCount(51), 21);
    EXPECT_EQ(rig.HeardCount(50), 4);
    EXPECT_TRUE(rig.ClosingSent());
    // The transfer's displays end where it ended, not at its last tick.
    EXPECT_EQ(w.ProgressValue(), 21);
    EXPECT_EQ(w.PercentText(), mduDisplayText::PercentText(21, 21));
}

TEST(Transfer, AFileWithoutParameterBlocksEndsThatStageOnItsFirstTick) {
    SequenceRigOptions options;
    options.parameterBytes = 0;
    SequenceRig rig(SequenceRig::QuickUnit(), options);
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
    EXPECT_EQ(rig.HeardCount(50), 0);
    EXPECT_EQ(rig.window->Lamp(14), 2);
    EXPECT_TRUE(rig.window->Showed(msg::LinkSetupDoneText(12)));
    EXPECT_TRUE(rig.UnitHoldsFile());
}

TEST(Transfer, AResendCarriesTheSameBlockUnderANewHeadCode) {
    SequenceRig rig;
    rig.AddFault("bad-status:code=51,block=3,times=1");
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
    std::vector<const sim::LogEntry*> third;
    for (const sim::LogEntry& e : rig.unit->Log().Entries()) {
        if (e.kind == sim::LogEntry::Kind::HostFrame && e.code == 51 && e.plain.size() > 5 &&
            e.plain[3] == 0x01 && e.plain[4] == 0xC0) {  // address 448: block 3
            third.push_back(&e);
        }
    }
    ASSERT_EQ(third.size(), 2u);
    EXPECT_NE(third[0]->raw[0], third[1]->raw[0]);  // head code
    EXPECT_EQ(std::vector<std::uint8_t>(third[0]->plain.begin() + 1, third[0]->plain.end()),
              std::vector<std::uint8_t>(third[1]->plain.begin() + 1, third[1]->plain.end()));
}

// Replies carry no block number: a reply that comes after its time-out can be
// taken for the answer to the resend, and a reply still on its way would
// then be taken for the next block's. With a request lost on the line in
// between, that block would count as written without the unit having it.
// A unit that answers a block twice is the same: the copy that comes while
// the next block is still leaving the port is no answer to it, and the next
// block's acknowledgement is followed by a barrier (the record-report
// request), as after a resend. Replies that overtake the send notice or come
// in pieces are still read.
TEST(LateReplies, NeverCountABlockAsWrittenThatTheUnitDidNotReceive) {
    struct Case {
        const char* name;
        const char* faults;
        std::int64_t lateNoticeUs = 0;
        int barriers = -1;  // beyond the record-report stage's own; -1: not counted
        RunOutcome outcome = RunOutcome::Succeeded;
    };
    const Case cases[] = {
        {"a clean line: nothing is suspect", "", 0, 0},
        {"send notices 300 us late", "", 300},
        {"send notices 2.5 ms late", "", 2500},
        {"send notices 30 ms late", "", 30000},
        {"a flash block answered twice: one barrier, no resend", "twice:code=51,block=5,times=1", 0,
         1},
        {"a flash block answered twice, the next one lost",
         "twice:code=51,block=5,times=1 deaf:code=51,block=6,times=1"},
        {"the same with send notices 30 ms late (the copy comes with the reply)",
         "twice:code=51,block=5,times=1 deaf:code=51,block=6,times=1", 30000},
        {"the last flash block answered twice, the first parameter block lost",
         "twice:code=51,block=21,times=1 deaf:code=50,block=1,times=1"},
        {"a parameter block answered twice, the next one lost",
         "twice:code=50,block=2,times=1 deaf:code=50,block=3,times=1"},
        {"one late reply: taken for the resend, the barrier waits out the other",
         "late:code=51,block=6,times=1"},
        {"a late reply, then the next block's request lost on the line",
         "late:code=51,block=6,times=1 deaf:code=51,block=7,times=1"},
        {"a late reply, then a request lost three blocks later",
         "late:code=51,block=6,times=1 deaf:code=51,block=9,times=1"},
        {"every send of a block answered late",
         "late:code=51,block=6,times=4 deaf:code=51,block=7,times=1"},
        {"the last flash block late, the first parameter block lost",
         "late:code=51,block=21,times=1 deaf:code=50,block=1,times=1"},
        {"a parameter block late, the next one lost",
         "late:code=50,block=2,times=1 deaf:code=50,block=3,times=1"},
        {"a late reply right after a damaged one",
         "bad-crc:code=51,block=6,times=1 late:code=51,block=6,times=1 "
         "deaf:code=51,block=7,times=1"},
        {"a block's first reply lost, then the barrier's reply lost",
         "no-reply:code=51,block=6,times=1 no-reply:code=STS,after=1,times=1"},
        {"the barrier's request lost three times on the line",
         "no-reply:code=51,block=6,times=1 deaf:code=STS,after=1,times=3"},
        // The barrier answered after its resend: the resend's own answer
        // comes while the next block, which needs all its tries, is awaited.
        {"a late second barrier reply does not cost the next block a try",
         "no-reply:code=51,block=6,times=1 late:code=STS,after=1,times=2,delay=2500 "
         "no-reply:code=51,block=7,times=3"},
        {"a reply 30 s late behind which the unit answers nothing more in time",
         "late:code=51,block=6,times=1,delay=30000 deaf:code=51,block=7,times=1", 0, -1,
         RunOutcome::Failed},
    };
    for (const Case& c : cases) {
        // Boxes closed at once, and read for a while with ticks going on.
        for (const std::int64_t holdMs : {0, 3500}) {
            SCOPED_TRACE(std::string(c.name) + ", boxes held " + std::to_string(holdMs) + " ms");
            SequenceRig rig;
            rig.line.SetSendNotificationDelayUs(c.lateNoticeUs);
            rig.AddFault(c.faults);
            rig.boxes.SetWhileOpen([&rig, holdMs](const auto&) { rig.clock.AdvanceBy(holdMs); });
            const std::optional<RunOutcome> outcome = rig.Update();
            ASSERT_TRUE(outcome.has_value());
            EXPECT_EQ(*outcome, c.outcome);
            if (c.barriers >= 0) {
                EXPECT_EQ(rig.HeardCount(1) - 1, c.barriers);
                EXPECT_EQ(rig.runs.back().resends, 0);
            }
            if (*outcome == RunOutcome::Succeeded) {
                EXPECT_TRUE(rig.UnitHoldsFile());
                EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"資料更新完成"});
                // Ticks during the parameter blocks leave the flash blocks' end.
                EXPECT_EQ(rig.window->PercentText(), "100.0%");
            } else {
                EXPECT_EQ(rig.window->MessageText(), msg::DataSetupFailureText(10));
                EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"異常執行狀況 : GPS沒有回應!!"});
            }
        }
    }
}

TEST(FinalCheck, TheFirstNormalReportEndsTheRunOnTheNextTick) {
    sim::UnitConfig unit = SequenceRig::QuickUnit();
    unit.checkMs = 0;
    SequenceRig rig(unit);
    std::int64_t sentAtMs = -1;
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
    for (const sim::LogEntry& e : rig.unit->Log().Entries()) {
        if (e.kind == sim::LogEntry::Kind::HostFrame && e.code == 2) {
            sentAtMs = e.timeUs / 1000;
        }
    }
    ASSERT_GE(sentAtMs, 0);
    // Entry of the check 20 ms after the closing command, one tick to poll,
    // one to end: about two seconds.
    EXPECT_NEAR(static_cast<double>(rig.clock.NowMs() - sentAtMs), 2020.0, 30.0);
}

TEST(FinalCheck, AUnitThatNeverAnswersIsGivenFortySeconds) {
    // Its text, box and lamp are in the fault matrix.
    SequenceRig rig;
    rig.AddFault("no-reply:sentence=hello,after=1");  // the connect hello is answered
    ASSERT_EQ(rig.Update(), RunOutcome::Failed);
    HeadlessWindow& w = *rig.window;
    ASSERT_EQ(rig.boxes.Boxes().size(), 1u);
    EXPECT_EQ(rig.boxes.Boxes()[0].icon, MsgIcon::Critical);
    // The status text counted the seconds 1 to 39; 39 polls were sent.
    std::vector<std::string> counted;
    for (const auto& m : w.Messages()) {
        const std::string prefix = std::string(msg::FinalCheckText) + " : ";
        if (m.text.rfind(prefix, 0) == 0) {
            counted.push_back(m.text.substr(prefix.size()));
        }
    }
    ASSERT_EQ(counted.size(), 39u);
    EXPECT_EQ(counted.front(), "1");
    EXPECT_EQ(counted.back(), "39");
    EXPECT_EQ(rig.unit->Log().EntriesOf(sim::LogEntry::Kind::HostSentence).size(), 2u + 39u);
}

// A report that cannot be read is not taken for a normal one, nor waited
// out: the unit has answered.
TEST(FinalCheck, AnAbnormalReportFailsAtOnceAndAnUnreadableOneIsNotTakenForNormal) {
    for (const bool unreadable : {false, true}) {
        SCOPED_TRACE(unreadable ? "unreadable" : "abnormal");
        sim::UnitConfig unit = SequenceRig::QuickUnit();
        unit.finalReport = 0x08;
        unit.finalReportField = unreadable ? "ZZ" : "";
        SequenceRig rig(unit);
        ASSERT_EQ(rig.Update(), RunOutcome::Failed);
        EXPECT_EQ(rig.window->MessageText(), msg::CameraMemoryFailureText());
        EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"異常狀況(GPS照相記憶區異常)"});
        EXPECT_EQ(rig.boxes.Boxes()[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(rig.window->Lamp(19), 3);
        EXPECT_LT(rig.unit->Log().EntriesOf(sim::LogEntry::Kind::HostSentence).size(), 2u + 10u);
    }
}

TEST(Transfer, AUnitPulledOutMidTransferIsReportedAndAFreshOneIsUpdated) {
    // How the failure is told is in the fault matrix.
    SequenceRig rig;
    rig.AddFault("hang-up:code=51,block=7");
    ASSERT_EQ(rig.Update(), RunOutcome::Failed);
    EXPECT_EQ(rig.window->MessageText(), msg::LinkLostText());

    // The adapter comes back with a unit behind it: the next update works.
    auto fresh = std::make_unique<sim::SimulatedUnit>(SequenceRig::QuickUnit());
    rig.line.AttachPeer(fresh.get());
    rig.unit = std::move(fresh);
    rig.boxes.Clear();
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
    EXPECT_TRUE(rig.UnitHoldsFile());

    // Unplugged and plugged back in while idle: the control closed the port
    // under the driver, and the next update opens it afresh.
    rig.line.SetPortOpen(false);
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
}
TEST(ClosingCommand, APortLostBeforeTheClosingCommandEndsTheRunAtOnceWithItsFailureText) {
    SequenceRig rig;
    rig.clock.RunUntil([&] { return !rig.window->WorkingBusy(); }, 100);
    rig.clock.AdvanceBy(30);
    rig.window->Press(kEventDownLoadStart);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.window->WorkState() == 20; }, 60000));
    // The adapter closes between the last parameter reply and the command.
    rig.line.SetPortOpen(false);
    const std::int64_t lostAtMs = rig.clock.NowMs();
    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.runs.size() == 1; }, 60000));
    EXPECT_LT(rig.clock.NowMs() - lostAtMs, 100);
    HeadlessWindow& w = *rig.window;
    EXPECT_EQ(w.Sequence().LastOutcome(), RunOutcome::Failed);
    EXPECT_EQ(w.MessageText(), msg::ClosingFailureText());
    EXPECT_EQ(w.MessageKind(), kRed);
    EXPECT_EQ(w.Lamp(18), 3);
    EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{clsComm::DescribePortFault(
                                  1, platform::PortFault::Other, "COM1: the port is not open")});
    EXPECT_FALSE(rig.ClosingSent());
    rig.clock.AdvanceBy(1100);
    EXPECT_FALSE(w.WorkingBusy());
}
