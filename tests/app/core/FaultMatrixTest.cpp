// Every fault the simulated unit can commit, at every stage that talks to
// it, as often as the stage's retries absorb and once more, with the boxes
// closed at once and held open for a while (timers and the line go on
// meanwhile): each run must end in idle within its bound with the end the
// stage gives that fault (its message text and exactly its boxes), and a
// success must always come with the unit's memory equal to the file.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "SequenceRig.h"
#include "clsComm.h"
#include "mduCommonMessage.h"

namespace msg = mduCommonMessage;

namespace {

const char* const kTimeOutBox = "異常執行狀況 : GPS沒有回應!!";
const char* const kNoResponseBox = "異常狀況(GPS沒有回應)";
// A block whose first reply is lost: the barrier follows its resend.
const char* const kBarrierSetUp = "no-reply:code=51,block=11,times=1";
// Every failure that leaves the unit erased ends with a box.
const std::string kDataIncompleteBox = msg::DataIncompleteBoxText();
const std::string kPortGone =
    clsComm::DescribePortFault(1, platform::PortFault::Gone, "COM1: the device has been removed");

enum class Where { Hello, Link, Command, Block, Barrier, Closing, FinalCheck };

// Positions in the update, for what a failure has already done to the unit.
constexpr int kBeforeErase = 1;
constexpr int kErase = 2;
constexpr int kWriting = 3;
constexpr int kAfterWriting = 4;

struct Stage {
    std::string name;
    Where where;
    std::string target;  // the fault's keys that select the stage's requests
    int lamp;            // the stage's lamp
    std::string failText;
    int retries;  // further tries the stage allows
    bool requiresBits = false;
    bool flash = false;
    int order = kBeforeErase;  // position in the update: what has happened before it
};

std::vector<Stage> Stages() {
    std::vector<Stage> stages = {
        {"hello", Where::Hello, "sentence=hello", 0, msg::NoResponseText, 2},
        {"link-mode switch", Where::Link, "sentence=link", 2, msg::LinkModeFailureText(), 0},
    };
    struct Command {
        const char* code;
        int lamp;
        std::string text;
        bool bits;
    };
    for (const Command& c : {Command{"Attach", 3, msg::SetupFailureText(1), true},
                             Command{"QID", 5, msg::SetupFailureText(3), false},
                             Command{"STS", 6, msg::SetupFailureText(4), false},
                             Command{"VPGM", 7, msg::SetupFailureText(5), false},
                             Command{"SSecu1", 8, msg::SetupFailureText(6), true},
                             Command{"VMAP", 9, msg::SetupFailureText(7), true},
                             Command{"FErs", 10, msg::EraseFailureText(), true}}) {
        const bool erase = std::string(c.code) == "FErs";
        stages.push_back({c.code, Where::Command, std::string("code=") + c.code + ",times=1",
                          c.lamp, c.text, 0, c.bits, false, erase ? kErase : kBeforeErase});
    }
    // 21 flash blocks and 4 parameter blocks in the rig's file.
    for (const bool flash : {true, false}) {
        for (const int block : flash ? std::vector{1, 11, 21} : std::vector{1, 2, 4}) {
            const std::string number = std::to_string(block);
            stages.push_back({(flash ? "flash block " : "parameter block ") + number, Where::Block,
                              (flash ? "code=51,block=" : "code=50,block=") + number,
                              flash ? 12 : 14, msg::DataSetupFailureText(flash ? 10 : 12), 3, true,
                              flash, kWriting});
        }
    }
    // The barrier after a block that needed a resend (its first reply
    // lost): the record-report request past the one of the command stage.
    stages.push_back({"barrier", Where::Barrier, "code=STS,after=1", 12,
                      msg::DataSetupFailureText(10), 3, false, true, kWriting});
    stages.push_back({"closing command", Where::Closing, "code=RST", 18, msg::ClosingFailureText(),
                      0, false, false, kAfterWriting});
    // The connect state's hello is answered; the polls after the closing
    // command are hit. The check polls at seconds 1 to 39 and gives up at 40;
    // the unit, checking its memory for 3 s, answers from the fourth poll on.
    stages.push_back({"final check", Where::FinalCheck, "sentence=hello,after=1", 19,
                      msg::FinalNoResponseText(), 36, false, false, kAfterWriting});
    return stages;
}

bool IsSentence(Where where) {
    return where == Where::Hello || where == Where::Link || where == Where::FinalCheck;
}

std::vector<std::string> KindsFor(const Stage& s) {
    if (IsSentence(s.where)) {
        return {"no-reply", "late", "garbled", "refused", "hang-up"};
    }
    if (s.where == Where::Closing) {
        return {"hang-up", "deaf"};  // the closing command has no reply to spoil
    }
    std::vector<std::string> kinds = {"no-reply",   "late",  "bad-crc", "wrong-code",
                                      "bad-status", "short", "hang-up", "deaf"};
    if (s.requiresBits) {
        kinds.push_back("missing-bit");
    }
    return kinds;
}

struct Expected {
    RunOutcome outcome = RunOutcome::Succeeded;
    std::string text;  // the message area at the end (empty: the success text)
    std::vector<std::string> boxes;
    int failedLamp = -1;
    int failedColour = 3;
};

// What the stage makes of the fault, by the rules of the sequence.
Expected Expect(const Stage& s, const std::string& kind, int times) {
    Expected e;
    const bool silent = kind == "no-reply" || kind == "late" || kind == "deaf";
    const auto fail = [&](std::string text, std::vector<std::string> boxes) {
        e.outcome = RunOutcome::Failed;
        e.text = std::move(text);
        e.boxes = std::move(boxes);
        e.failedLamp = s.lamp;
    };
    switch (s.where) {
        case Where::Hello:
            if (kind == "garbled") {
                if (times > s.retries) {
                    fail(msg::StandardNoResponseText(), {kNoResponseBox, kTimeOutBox});
                    e.failedColour = 1;  // the connect lamp is left busy
                }
            } else if (kind == "refused") {
                fail(msg::NoResponseText, {});
            } else {
                fail(msg::NoResponseText, {kTimeOutBox});
            }
            break;
        case Where::Link:
        case Where::Command:
            if (silent || kind == "hang-up") {
                fail(s.failText, {kTimeOutBox});
            } else {
                fail(s.failText, s.order == kErase ? std::vector<std::string>{kDataIncompleteBox}
                                                   : std::vector<std::string>{});
            }
            break;
        case Where::Block:
            if (kind == "hang-up") {
                // The block's time-out, then the resend finds the adapter gone.
                fail(msg::LinkLostText(), {kPortGone});
            } else if (kind == "late") {
                // Late replies do come: they are taken, and the barrier brings
                // the link back in step.
            } else if (times > s.retries) {
                // A flash reply shorter than five bytes never reaches the
                // driver's threshold: it ends as a time-out.
                const bool timeOut = silent || (kind == "short" && s.flash);
                fail(s.failText, {timeOut ? kTimeOutBox : kDataIncompleteBox});
            }
            break;
        case Where::Barrier:
            if (kind == "hang-up") {
                // The barrier's waits, then its resend finds the adapter gone.
                fail(msg::LinkLostText(), {kPortGone});
            } else if (times > s.retries && kind != "late" && kind != "bad-status") {
                // Any reply echoing the barrier's code answers it; a late
                // one still comes within its wait.
                fail(s.failText, {kTimeOutBox});
            }
            break;
        case Where::Closing:
            if (kind == "hang-up") {
                // The adapter goes with the write: no send notice ever comes.
                fail(s.failText, {kTimeOutBox});
            } else {
                // Lost: the unit stays in link mode and never answers a poll.
                fail(msg::FinalNoResponseText(), {kNoResponseBox});
                e.failedLamp = 19;
            }
            break;
        case Where::FinalCheck:
            if (kind == "hang-up") {
                fail(msg::SendFailedText, {kPortGone});
            } else if (times > s.retries) {
                fail(s.failText, {kNoResponseBox});
            }
            break;
    }
    return e;
}

}  // namespace

TEST(FaultMatrix, EveryFaultAtEveryStageEndsAsTheStageSaysAndNeverInAFalseSuccess) {
    int rows = 0;
    int successes = 0;
    for (const Stage& stage : Stages()) {
        for (const std::string& kind : KindsFor(stage)) {
            // As often as the retries absorb, and once more: the boundary.
            std::vector<int> counts = {1};
            if (stage.retries > 0 && kind != "hang-up") {
                counts = {stage.retries, stage.retries + 1};
            }
            for (const int times : counts) {
                for (const std::int64_t holdMs : {0, 3500}) {
                    const std::string spec = kind + ":" + stage.target +
                                             (stage.target.find("times=") == std::string::npos
                                                  ? ",times=" + std::to_string(times)
                                                  : "");
                    SCOPED_TRACE(stage.name + " / " + spec + " / boxes held " +
                                 std::to_string(holdMs) + " ms");
                    ++rows;
                    SequenceRig rig;
                    if (stage.where == Where::Barrier) {
                        rig.AddFault(kBarrierSetUp);
                    }
                    rig.AddFault(spec);
                    // An operator who reads each box: ticks and replies go on.
                    rig.boxes.SetWhileOpen(
                        [&rig, hold = holdMs](const auto&) { rig.clock.AdvanceBy(hold); });
                    const Expected expected = Expect(stage, kind, times);
                    const std::optional<RunOutcome> outcome = rig.Update(10 * 60 * 1000);
                    ASSERT_TRUE(outcome.has_value()) << "no end within 10 virtual minutes";
                    EXPECT_EQ(*outcome, expected.outcome);
                    HeadlessWindow& w = *rig.window;
                    EXPECT_EQ(w.WorkState(), 0);
                    EXPECT_EQ(rig.BoxTexts().size(),
                              expected.boxes.size() + (*outcome == RunOutcome::Succeeded ? 1 : 0));
                    if (*outcome == RunOutcome::Succeeded) {
                        ++successes;
                        EXPECT_TRUE(rig.UnitHoldsFile()) << "a success with the unit's memory not "
                                                            "equal to the file";
                        EXPECT_EQ(w.MessageText(), msg::UpdateSucceededText);
                        continue;
                    }
                    EXPECT_EQ(w.MessageText(), expected.text);
                    EXPECT_EQ(rig.BoxTexts(), expected.boxes);
                    EXPECT_EQ(w.Lamp(expected.failedLamp), expected.failedColour);
                    if (stage.where == Where::Command || stage.where == Where::Block ||
                        stage.where == Where::Barrier) {
                        for (int lamp = 0; lamp < expected.failedLamp; ++lamp) {
                            EXPECT_EQ(w.Lamp(lamp), 2) << "lamp " << lamp;
                        }
                    }
                    for (int lamp = expected.failedLamp + 1; lamp < 20; ++lamp) {
                        EXPECT_EQ(w.Lamp(lamp), 0) << "lamp " << lamp;
                    }
                    // What the failure left done to the unit.
                    EXPECT_EQ(rig.Erased(),
                              stage.order >= kErase && !(stage.order == kErase &&
                                                         (kind == "hang-up" || kind == "deaf")));
                    EXPECT_EQ(rig.ClosingSent(), stage.where == Where::FinalCheck);
                    EXPECT_EQ(w.MessageKind(), kRed);
                    rig.clock.AdvanceBy(1100);
                    EXPECT_FALSE(w.WorkingBusy());
                    EXPECT_EQ(rig.runs.size(), 1u) << "one end of the run for its trace";
                    // A unit asked into its link mode and not erased is sent
                    // back to normal use: unless it left the line, or its
                    // answer to the switch came after the run had ended (it
                    // switched after the closing command had gone).
                    const bool switchedLate = stage.where == Where::Link && kind == "late";
                    if (stage.order == kBeforeErase && kind != "hang-up" && !switchedLate) {
                        EXPECT_EQ(rig.unit->CurrentMode(), sim::SimulatedUnit::Mode::Text);
                    }
                }
            }
        }
    }
    std::printf("fault matrix: %d rows, %d ended in success\n", rows, successes);
    EXPECT_GE(rows, 400);
}
