// Runs recorded whatever the history does: for each seed the store
// behaves one way for a run (writes at once, refuses, is slow, or hangs
// until the run has ended and the program has waited its bound), and the
// run's observations come as a sequence hands them over. The program's
// thread never waits for the store, the end waits its bound and no longer,
// and once the store answers again every run's row is there once, as the
// run ended.
//
//   GPSUPDATE_SOAK_RUNS=N   how many runs (default 150)

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "HistoryNotes.h"
#include "HistoryWriter.h"
#include "MemoryHistoryStore.h"
#include "RunRecording.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Mood = StoredRows::Mood;

TEST(RecordingSoak, WhateverTheHistoryDoesTheRunIsNeverHeldAndItsEndWaitsItsBound) {
    const char* runsText = std::getenv("GPSUPDATE_SOAK_RUNS");
    const int runs = runsText != nullptr ? std::atoi(runsText) : 150;
    auto stored = std::make_shared<StoredRows>();
    HistoryWriter writer(
        [stored](std::string&) -> std::unique_ptr<IHistoryStore> {
            return std::make_unique<MemoryHistoryStore>(stored);
        },
        std::make_shared<HistoryNotes>());
    RunRecording recording("gpsupdate-auto", "1.0.0", nullptr);
    recording.RecordInto(&writer, std::make_shared<HistoryNotes>(), "");
    std::mt19937_64 random(601);
    std::map<Mood, int> tally;
    Clock::duration longest{};
    std::map<std::int64_t, RunFacts> ended;  // by start, as each run ended
    for (int seed = 0; seed < runs; ++seed) {
        const Mood mood = static_cast<Mood>(random() % 4);
        ++tally[mood];
        stored->SetMood(mood);
        // The observations of one run, each timed.
        RunFacts facts;
        facts.kind = RunKind::Update;
        facts.port = 1 + static_cast<int>(random() % 16);
        facts.startMs = 1'780'000'000'000 + seed * 60'000LL;
        const auto timed = [&longest](const auto& observe) {
            const auto start = Clock::now();
            observe();
            longest = std::max(longest, Clock::now() - start);
        };
        timed([&] { recording.OnRunStarted(facts); });
        const int learnt = static_cast<int>(random() % 6);
        for (int i = 0; i < learnt; ++i) {
            facts.serial = "GU" + std::to_string(seed) + "-" + std::to_string(i);
            facts.blocksWritten = i * 100;
            timed([&] { recording.OnFactsLearned(facts); });
            timed([&] { recording.OnProgress(i, learnt); });
        }
        facts.outcome = random() % 3 == 0 ? RunOutcome::Failed : RunOutcome::Succeeded;
        facts.endMs = facts.startMs + 90'000;
        timed([&] { recording.OnRunEnded(facts); });

        // The program's end: waits for the row at most its bound.
        const auto bound = mood == Mood::Hanging ? 50ms : 5s;
        const auto start = Clock::now();
        const bool settled = recording.Settle(bound);
        const auto waited = Clock::now() - start;
        EXPECT_LT(waited, bound + 500ms) << seed;
        EXPECT_EQ(settled, mood != Mood::Hanging) << seed;
        EXPECT_EQ(recording.Recorded(), mood == Mood::Quick || mood == Mood::Slow) << seed;
        if (!recording.Recorded()) {
            EXPECT_FALSE(recording.HistoryError().empty()) << seed;
        }
        if (mood == Mood::Hanging) {
            // It answers again: the run's rows are written after all.
            stored->SetMood(Mood::Quick);
            ASSERT_TRUE(recording.Settle(5s)) << seed;
            EXPECT_TRUE(recording.Recorded()) << seed;
        }
        ended[facts.startMs] = facts;
    }
    // Handing a row over takes a lock held for moments: a store that hangs
    // would hold an observation for good.
    EXPECT_LT(longest, 200ms) << "an observation waited for the history";
    for (const Mood mood : {Mood::Quick, Mood::Refusing, Mood::Slow, Mood::Hanging}) {
        EXPECT_GT(tally[mood], 0);
    }
    // Every run that was not refused is there once, as it ended.
    const std::lock_guard lock(stored->mutex);
    for (const auto& [id, row] : stored->last) {
        EXPECT_EQ(std::count_if(stored->completed.begin(), stored->completed.end(),
                                [&id](const HistoryRun& done) { return done.id == id; }),
                  1)
            << id;
        const RunFacts& facts = ended[row.startMs];
        EXPECT_EQ(row.result, RunOutcomeName(facts.outcome)) << id;
        EXPECT_EQ(row.unitSerial, facts.serial) << id;
        EXPECT_EQ(row.blocksWritten, facts.blocksWritten) << id;
    }
    EXPECT_EQ(stored->last.size(), static_cast<std::size_t>(runs - tally[Mood::Refusing]));
}
