// Whole updates in virtual time, each with a seeded random schedule of
// several faults of random kinds at random places: single faults miss their
// interactions. Every run must end in idle within its bound, with a message
// text a stage can end with, and may succeed only with the unit's memory
// equal to the file. A third of the runs get only faults that each stay
// within the retries of the stage they hit: those must succeed.
//
//   GPSUPDATE_SOAK_RUNS=10000   how many runs (default 300)
//   GPSUPDATE_SOAK_SEED=N       the first seed (default 1)
// A run that breaks a rule prints its seed: GPSUPDATE_SOAK_SEED=<seed>
// GPSUPDATE_SOAK_RUNS=1 replays it alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "SequenceRig.h"
#include "mduCommonMessage.h"

namespace msg = mduCommonMessage;

namespace {

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// A run's seeded source of draws.
struct Dice {
    std::mt19937_64 random;
    int Number(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); }
    std::string Text(int lo, int hi) { return std::to_string(Number(lo, hi)); }
    std::string Pick(const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    }
};

const std::vector<std::string> kBlockFaults = {"no-reply",   "late",  "bad-crc", "wrong-code",
                                               "bad-status", "short", "deaf",    "missing-bit"};

// A random fault in gpsunit-sim's --fault form.
std::string RandomFault(Dice& dice) {
    const std::string where = dice.Pick(
        {"hello", "link", "command", "command", "flash", "flash", "flash", "parameter", "closing"});
    std::string spec;
    if (where == "hello" || where == "link") {
        spec = dice.Pick({"no-reply", "late", "garbled", "refused"}) + ":sentence=" + where;
        if (where == "hello") {
            spec += ",after=" + dice.Text(0, 8);  // the connect hello or the final polls
        }
    } else if (where == "closing") {
        spec = "deaf:code=RST";
    } else {
        const std::string kind = dice.Pick(kBlockFaults);
        std::string target;
        if (where == "command") {
            target =
                "code=" + dice.Pick({"Attach", "QID", "STS", "VPGM", "SSecu1", "VMAP", "FErs"});
            if (kind == "missing-bit" &&
                (target == "code=QID" || target == "code=STS" || target == "code=VPGM")) {
                target = "code=VMAP";
            }
        } else if (where == "flash") {
            target = "code=51,block=" + dice.Text(1, 21);
        } else {
            target = "code=50,block=" + dice.Text(1, 4);
        }
        spec = kind + ":" + target;
        if (kind == "late" && dice.Number(0, 1) == 1) {
            spec += ",delay=" + dice.Text(400, 6000);
        }
    }
    return spec + ",times=" + dice.Text(1, 4) + " ";
}

// Faults that the retries of the stage they hit absorb: block faults on
// distinct blocks at most three times (a block is sent up to four times),
// the barrier's request or reply lost at most three times, polls of the
// final check unanswered for at most 30 of its 39 seconds.
std::string AbsorbedFaults(Dice& dice) {
    std::string faults;
    std::vector<int> used;
    const int count = dice.Number(1, 5);
    for (int i = 0; i < count; ++i) {
        // One fault per target: faults on the same requests add up.
        // Flash blocks 1 to 21, parameter blocks 22 to 25; 0 and -1 stand for
        // the barrier and the final check.
        const int where = dice.Number(0, 9);
        const int block = where <= 1 ? -where : dice.Number(1, 25);
        if (std::find(used.begin(), used.end(), block) != used.end()) {
            continue;
        }
        used.push_back(block);
        if (where == 0) {
            faults += dice.Pick({"no-reply", "deaf", "bad-crc", "short"}) +
                      ":code=STS,after=1,times=" + dice.Text(1, 3) + " ";
        } else if (where == 1) {
            faults += "no-reply:sentence=hello,after=1,times=" + dice.Text(1, 30) + " ";
        } else {
            faults += dice.Pick(kBlockFaults) + ":code=" + (block <= 21 ? "51" : "50") +
                      ",block=" + std::to_string(block <= 21 ? block : block - 21) +
                      ",times=" + dice.Text(1, 3) + " ";
        }
    }
    return faults;
}

// Every text the message area may be left with at the end of an update.
bool IsEndText(const std::string& text) {
    static const std::vector<std::string> ends = [] {
        std::vector<std::string> texts = {msg::UpdateSucceededText,
                                          msg::SendFailedText,
                                          msg::BlockSendFaultText,
                                          msg::LinkLostText(),
                                          msg::NoResponseText,
                                          msg::LinkModeFailureText(),
                                          msg::EraseFailureText(),
                                          msg::DataSetupFailureText(10),
                                          msg::DataSetupFailureText(12),
                                          msg::ClosingFailureText(),
                                          msg::StandardNoResponseText(),
                                          msg::FinalNoResponseText(),
                                          msg::CameraMemoryFailureText(),
                                          msg::ProgramVersionNotSuitedText(),
                                          msg::NotNewerCancelledText()};
        for (int stage = 1; stage <= 7; ++stage) {
            texts.push_back(msg::SetupFailureText(stage));
        }
        return texts;
    }();
    return std::find(ends.begin(), ends.end(), text) != ends.end();
}

struct Tally {
    int runs = 0;
    int succeeded = 0;
    int failed = 0;
    int cancelled = 0;
    int absorbed = 0;  // runs whose faults the retries absorb
    std::vector<std::string> broken;
};

void SoakOne(std::uint64_t seed, Tally& tally) {
    Dice dice{std::mt19937_64(seed)};
    sim::UnitConfig unit = SequenceRig::QuickUnit();
    const bool notNewer = dice.Number(0, 3) == 0;
    unit.dataVersion = notNewer ? "0601" : "0512";
    SequenceRig rig(unit);
    const bool absorbed = seed % 3 == 0;
    std::string schedule;
    if (absorbed) {
        schedule = AbsorbedFaults(dice);
    } else {
        for (int count = dice.Number(1, 5); count > 0; --count) {
            schedule += RandomFault(dice);
        }
    }
    rig.AddFault(schedule);
    bool goOn = true;
    if (notNewer) {
        goOn = absorbed || dice.Number(0, 1) == 0;
        rig.boxes.QueueAnswer(goOn ? platform::MsgResult::Ok : platform::MsgResult::Cancel);
    }
    // The operator takes a while over each box; timers and replies go on.
    const std::int64_t boxOpenMs = dice.Number(0, 3) * 1500;
    rig.boxes.SetWhileOpen([&rig, boxOpenMs](const platform::ScriptedMessageBoxes::Shown&) {
        rig.clock.AdvanceBy(boxOpenMs);
    });
    ++tally.runs;
    const std::optional<RunOutcome> outcome = rig.Update(30 * 60 * 1000);
    std::string broken;
    if (!outcome) {
        broken = "no end within 30 virtual minutes";
    } else if (rig.window->WorkState() != 0 ||
               rig.window->Sequence().CurrentRun() != RunKind::None) {
        broken = "not idle at the end";
    } else if (*outcome == RunOutcome::Succeeded && !rig.UnitHoldsFile()) {
        broken = "success without the file in the unit's memory";
    } else if (*outcome == RunOutcome::Skipped && rig.Erased()) {
        broken = "skipped after the erase";
    } else if (absorbed && *outcome != RunOutcome::Succeeded) {
        broken = "failed although the retries absorb every fault";
    } else if (!IsEndText(rig.window->MessageText())) {
        broken = "left the message \"" + rig.window->MessageText() + "\"";
    }
    tally.absorbed += absorbed;
    if (outcome) {
        tally.succeeded += *outcome == RunOutcome::Succeeded;
        tally.failed += *outcome == RunOutcome::Failed;
        tally.cancelled += *outcome == RunOutcome::Skipped;
    }
    if (!broken.empty()) {
        tally.broken.push_back("seed " + std::to_string(seed) + ": " + broken + " [" + schedule +
                               "]");
    }
}

}  // namespace

TEST(Soak, RandomFaultSchedulesNeverHangAndNeverSucceedFalsely) {
    const std::uint64_t runs = EnvNumber("GPSUPDATE_SOAK_RUNS", 300);
    const std::uint64_t first = EnvNumber("GPSUPDATE_SOAK_SEED", 1);
    Tally tally;
    for (std::uint64_t seed = first; seed < first + runs; ++seed) {
        SoakOne(seed, tally);
    }
    std::printf(
        "soak: %d runs from seed %llu: %d succeeded, %d failed, %d cancelled (%d with faults "
        "the retries absorb), %zu broke a rule\n",
        tally.runs, static_cast<unsigned long long>(first), tally.succeeded, tally.failed,
        tally.cancelled, tally.absorbed, tally.broken.size());
    for (const std::string& line : tally.broken) {
        ADD_FAILURE() << line;
    }
    // The schedules must reach both ends, or the soak proves little.
    EXPECT_GT(tally.succeeded, 0);
    EXPECT_GT(tally.failed, 0);
    EXPECT_GT(tally.absorbed, 0);
}
