// The decisions of the reply handlers of the single-command stages after the
// link-mode switch (how each stage fails on a bad reply is in the fault
// matrix).

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SequenceRig.h"
#include "mduCommonMessage.h"

namespace msg = mduCommonMessage;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

// What the unit says can make a stage before the erase refuse it.
TEST(CommandStages, AUnitTheStagesCannotUseIsStoppedBeforeTheErase) {
    const struct {
        const char* name;
        std::function<void(sim::UnitConfig&)> change;
        std::string text;
        int lamp;  // the stage's
        int infoLine;
        std::string info;
    } cases[] = {
        {"a program version the file is not made for",
         [](sim::UnitConfig& u) { u.programVersion = "GPSP09.0100"; },
         msg::ProgramVersionNotSuitedText(), 7, 3, "GPS   程 式 版 本  : GPSP09.0100"},
        // The serial number of the link-mode reply stays.
        {"an identity with a bad inner CRC", [](sim::UnitConfig& u) { u.identityCrcWrong = true; },
         msg::SetupFailureText(3), 5, 2, "GPS   序          號   : GU48A0012345"},
        // Its digits do not fit a 32-bit number: the versions cannot be compared.
        {"a data version beyond 32 bits",
         [](sim::UnitConfig& u) { u.dataVersion = "V99999999999"; }, msg::SetupFailureText(7), 9, 2,
         "GPS   序          號   : GU48A0012345"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitConfig unit = SequenceRig::QuickUnit();
        c.change(unit);
        SequenceRig rig(unit);
        ASSERT_EQ(rig.Update(), RunOutcome::Failed);
        EXPECT_EQ(rig.window->MessageText(), c.text);
        EXPECT_EQ(rig.window->InfoLine(c.infoLine), c.info);
        EXPECT_EQ(rig.window->Lamp(c.lamp), 3);
        EXPECT_TRUE(rig.boxes.Boxes().empty());
        EXPECT_FALSE(rig.Erased());
    }
}

TEST(CommandStages, AFileThatIsNotNewerNeedsTheOperatorsConsent) {
    struct Case {
        const char* unitVersion;
        const char* fileVersion;
        bool asks;
        MsgResult answer;
        RunOutcome outcome;
    };
    const std::vector<Case> cases = {
        {"0512", "0601", false, MsgResult::Ok, RunOutcome::Succeeded},
        {"0601", "0601", true, MsgResult::Ok, RunOutcome::Succeeded},
        {"0601", "0601", true, MsgResult::Cancel, RunOutcome::Skipped},
        // Only the last run of digits counts: 1.99 against 2.00 is 99 against 0.
        {"1.99", "2.00", true, MsgResult::Cancel, RunOutcome::Skipped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unitVersion) + " against " + c.fileVersion);
        sim::UnitConfig unit = SequenceRig::QuickUnit();
        unit.dataVersion = c.unitVersion;
        SequenceRigOptions options;
        options.dataFileVersion = c.fileVersion;
        SequenceRig rig(unit, options);
        rig.boxes.QueueAnswer(c.answer);
        // A modal box lets the timers and the driver call in while it is
        // open: the operator takes five seconds, the command stage ignores
        // the one-second timer's ticks.
        int ticksWhileOpen = -1;
        rig.boxes.SetWhileOpen([&](const platform::ScriptedMessageBoxes::Shown& box) {
            if (box.text == msg::NotNewerQuestionText()) {
                const std::size_t before = rig.window->Messages().size();
                rig.clock.AdvanceBy(5000);
                ticksWhileOpen = static_cast<int>(rig.window->Messages().size() - before);
                EXPECT_EQ(rig.window->WorkState(), 11);
            }
        });
        ASSERT_EQ(rig.Update(), c.outcome);
        EXPECT_EQ(ticksWhileOpen, c.asks ? 0 : -1);
        // After a success the line shows the new version beside the old one.
        EXPECT_EQ(rig.window->InfoLine(1),
                  std::string("GPS   資 料 版 本  : ") +
                      (c.outcome == RunOutcome::Succeeded
                           ? msg::UpdatedVersionText(c.fileVersion, c.unitVersion)
                           : std::string(c.unitVersion)));
        const auto& shown = rig.boxes.Boxes();
        ASSERT_EQ(!shown.empty() && shown.front().text == msg::NotNewerQuestionText(), c.asks);
        if (c.asks) {
            EXPECT_EQ(shown.front().buttons, MsgButtons::OkCancel);
            EXPECT_EQ(shown.front().icon, MsgIcon::Exclamation);
        }
        if (c.outcome == RunOutcome::Skipped) {
            EXPECT_EQ(rig.window->MessageText(), msg::NotNewerCancelledText());
            EXPECT_EQ(rig.window->MessageKind(), kRed);
            EXPECT_FALSE(rig.Erased());
            // A skip that erased nothing, with the unit as it was read.
            const RunFacts& run = rig.runs.at(0);
            EXPECT_EQ(run.dataVersionBefore, c.unitVersion);
            EXPECT_FALSE(run.eraseBegun);
            EXPECT_EQ(run.blocksWritten, 0);
            EXPECT_EQ(run.failedStage, RunStage::None);
            EXPECT_TRUE(run.failureText.empty());
        } else {
            EXPECT_TRUE(rig.UnitHoldsFile());
            EXPECT_EQ(rig.HeardCount(14), 1);
        }
    }
}

TEST(CommandStages, ARecordReportWithErrorsInformsButDoesNotStop) {
    sim::UnitConfig unit = SequenceRig::QuickUnit();
    unit.recordReport = 0x0C;
    SequenceRig rig(unit);
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
    EXPECT_EQ(rig.window->InfoLine(4), "GPS   紀 錄 報 告  : 正常");  // the final report
    bool shownDuringRun = false;
    for (const auto& m : rig.window->Messages()) {
        shownDuringRun |= m.text.find("序號異常,資料異常(照相資料記憶區)") != std::string::npos;
    }
    EXPECT_TRUE(shownDuringRun);  // in the connect state's record part
}
