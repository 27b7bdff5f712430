// Whole updates in virtual time, each with a seeded random schedule of
// several faults of random kinds at random places: single faults miss their
// interactions. Every run must end in idle within its bound and may succeed
// only with the unit's memory equal to the file.
//
//   GPSUPDATE_SOAK_RUNS=10000   how many runs (default 300)
//   GPSUPDATE_SOAK_SEED=N       the first seed (default 1)
// A run that breaks a rule prints its seed: GPSUPDATE_SOAK_SEED=<seed>
// GPSUPDATE_SOAK_RUNS=1 replays it alone.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "SequenceRig.h"

namespace {

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// A random fault in gpsunit-sim's --fault form.
std::string RandomFault(std::mt19937_64& random) {
    const auto pick = [&random](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    const auto number = [&random](int lo, int hi) {
        return std::to_string(std::uniform_int_distribution<int>(lo, hi)(random));
    };
    const std::string where = pick(
        {"hello", "link", "command", "command", "flash", "flash", "flash", "parameter", "closing"});
    std::string spec;
    if (where == "hello" || where == "link") {
        spec = pick({"no-reply", "late", "garbled", "refused"}) + ":sentence=" + where;
        if (where == "hello") {
            spec += ",after=" + number(0, 8);  // the connect hello or the final polls
        }
    } else if (where == "closing") {
        spec = "deaf:code=RST";
    } else {
        const std::string kind = pick({"no-reply", "late", "bad-crc", "wrong-code", "bad-status",
                                       "short", "deaf", "missing-bit"});
        std::string target;
        if (where == "command") {
            target = "code=" + pick({"Attach", "QID", "STS", "VPGM", "SSecu1", "VMAP", "FErs"});
            if (kind == "missing-bit" &&
                (target == "code=QID" || target == "code=STS" || target == "code=VPGM")) {
                target = "code=VMAP";
            }
        } else if (where == "flash") {
            target = "code=51,block=" + number(1, 21);
        } else {
            target = "code=50,block=" + number(1, 4);
        }
        spec = kind + ":" + target;
        if (kind == "late" && number(0, 1) == "1") {
            spec += ",delay=" + number(400, 6000);
        }
    }
    return spec + ",times=" + number(1, 4);
}

struct Tally {
    int runs = 0;
    int succeeded = 0;
    int failed = 0;
    int cancelled = 0;
    std::vector<std::string> broken;
};

void SoakOne(std::uint64_t seed, Tally& tally) {
    std::mt19937_64 random(seed);
    sim::UnitConfig unit = SequenceRig::QuickUnit();
    const bool notNewer = std::uniform_int_distribution<int>(0, 3)(random) == 0;
    unit.dataVersion = notNewer ? "0601" : "0512";
    SequenceRig rig(unit);
    const int faults = std::uniform_int_distribution<int>(1, 5)(random);
    std::string schedule;
    for (int i = 0; i < faults; ++i) {
        const std::string fault = RandomFault(random);
        rig.AddFault(fault);
        schedule += (schedule.empty() ? "" : " ") + fault;
    }
    if (notNewer) {
        rig.boxes.QueueAnswer(std::uniform_int_distribution<int>(0, 1)(random) == 0
                                  ? platform::MsgResult::Ok
                                  : platform::MsgResult::Cancel);
    }
    // The operator takes a while over each box; timers and replies go on.
    const std::int64_t boxOpenMs = std::uniform_int_distribution<int>(0, 3)(random) * 1500;
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
    } else if (*outcome == RunOutcome::Cancelled && rig.Erased()) {
        broken = "cancelled after the erase";
    }
    if (outcome) {
        tally.succeeded += *outcome == RunOutcome::Succeeded;
        tally.failed += *outcome == RunOutcome::Failed;
        tally.cancelled += *outcome == RunOutcome::Cancelled;
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
        "soak: %d runs from seed %llu: %d succeeded, %d failed, %d cancelled, %zu broke a "
        "rule\n",
        tally.runs, static_cast<unsigned long long>(first), tally.succeeded, tally.failed,
        tally.cancelled, tally.broken.size());
    for (const std::string& line : tally.broken) {
        ADD_FAILURE() << line;
    }
    // The schedules must reach both ends, or the soak proves little.
    EXPECT_GT(tally.succeeded, 0);
    EXPECT_GT(tally.failed, 0);
}
