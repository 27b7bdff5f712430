// The history's own threads on a store that hangs: the end waits its bound
// and leaves the writer behind, and a call that overruns its bound is cut.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "BoundedThread.h"
#include "CallDeadline.h"
#include "HistoryWriter.h"
#include "MemoryHistoryStore.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// (A store that hangs never holds up the hand-over, and the end's wait for
// the row: the recording soak.)
TEST(HistoryThreads, TheEndWaitsItsBoundAndLeavesAStuckWriterBehind) {
    auto rows = std::make_shared<StoredRows>();
    rows->mood = StoredRows::Mood::Hanging;
    {
        HistoryWriter writer(
            [rows](std::string&) -> std::unique_ptr<IHistoryStore> {
                return std::make_unique<MemoryHistoryStore>(rows);
            },
            std::make_shared<HistoryNotes>());
        HistoryRun run;
        run.id = "r1";
        writer.Complete(run);
        const auto start = Clock::now();
        writer.Close(200ms);
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, 200ms);
        EXPECT_LT(waited, 1s);
    }
    EXPECT_TRUE(BoundedThread::AnyLeftBehind());
    rows->SetMood(StoredRows::Mood::Quick);  // the thread left behind ends by itself
}

TEST(HistoryThreads, ACallThatOverrunsItsBoundIsCutAndGivingUpCutsAtOnce) {
    CallDeadline deadline;
    // A call that waits until it is cut, at most 5 s.
    std::mutex mutex;
    std::condition_variable wake;
    bool cut = false;
    const auto call = [&] {
        std::unique_lock lock(mutex);
        wake.wait_for(lock, 5s, [&] { return cut; });
    };
    const auto cutter = [&] {
        const std::lock_guard lock(mutex);
        cut = true;
        wake.notify_all();
    };
    const struct {
        const char* name;
        std::chrono::milliseconds limit;
        bool giveUp;
        std::chrono::milliseconds within;
    } cases[] = {{"its bound", 150ms, false, 1s}, {"given up", 10s, true, 1s}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cut = false;
        const auto start = Clock::now();
        deadline.Arm(c.limit, cutter);
        std::thread giver;
        if (c.giveUp) {
            giver = std::thread([&deadline] {
                std::this_thread::sleep_for(100ms);
                deadline.GiveUp();
            });
        }
        call();
        EXPECT_TRUE(deadline.Disarm());
        EXPECT_LT(Clock::now() - start, c.within);
        if (giver.joinable()) {
            giver.join();
        }
    }
    // Given up: every later call is cut as soon as it is armed.
    cut = false;
    deadline.Arm(10s, cutter);
    call();
    EXPECT_TRUE(deadline.Disarm());

    CallDeadline fresh;
    fresh.Arm(5s, cutter);
    EXPECT_FALSE(fresh.Disarm()) << "a call that returned in time is not cut";
}
