// The history's own threads on a store that hangs: the program's thread
// only hands rows over, the end waits its bound and no longer, and a call
// that overruns its bound is cut.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "BoundedThread.h"
#include "CallDeadline.h"
#include "HistoryWriter.h"
#include "IHistoryStore.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A gate a write waits at until it is opened (shared: a thread left behind
// may still wait at it).
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    void Open() {
        const std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
    void Pass() {
        std::unique_lock lock(mutex);
        opened.wait(lock, [this] { return open; });
    }
};

// Every write waits at the gate, then is kept.
struct Written {
    std::mutex mutex;
    std::vector<std::pair<char, HistoryRun>> rows;  // 'b', 'u', 'c'
};

class GatedStore final : public IHistoryStore {
  public:
    GatedStore(std::shared_ptr<Gate> gate, std::shared_ptr<Written> written)
        : gate_(std::move(gate)), written_(std::move(written)) {}
    bool Begin(const HistoryRun& run) override { return Keep('b', run); }
    bool Update(const HistoryRun& run) override { return Keep('u', run); }
    bool Complete(const HistoryRun& run) override { return Keep('c', run); }
    bool Each(const HistoryFilter&, bool, const std::function<bool(const HistoryRun&)>&) override {
        return false;
    }
    bool Days(const HistoryFilter&, std::vector<DayStats>&) override { return false; }
    std::string LastError() const override { return {}; }

  private:
    bool Keep(char kind, const HistoryRun& run) {
        gate_->Pass();
        const std::lock_guard lock(written_->mutex);
        written_->rows.emplace_back(kind, run);
        return true;
    }
    std::shared_ptr<Gate> gate_;
    std::shared_ptr<Written> written_;
};

HistoryWriter::Opener Opener(std::shared_ptr<Gate> gate, std::shared_ptr<Written> written) {
    return [gate, written](std::string&) -> std::unique_ptr<IHistoryStore> {
        return std::make_unique<GatedStore>(gate, written);
    };
}

HistoryRun Row(const std::string& serial) {
    HistoryRun run;
    run.id = "r1";
    run.unitSerial = serial;
    return run;
}

}  // namespace

TEST(HistoryThreads, AStoreThatHangsNeverHoldsUpTheHandOverAndTheLatestFactsWin) {
    auto gate = std::make_shared<Gate>();
    auto written = std::make_shared<Written>();
    HistoryWriter writer(Opener(gate, written), std::make_shared<HistoryNotes>());
    const auto start = Clock::now();
    writer.Begin(Row(""));
    for (const char* serial : {"G1", "G12", "G123"}) {
        writer.Update(Row(serial));
    }
    writer.Complete(Row("G123"));
    EXPECT_LT(Clock::now() - start, 50ms) << "handed over, not written";
    EXPECT_FALSE(writer.Settle(100ms));
    std::string reason;
    EXPECT_EQ(writer.EndOf("r1", reason), HistoryWriter::Ending::Waiting);

    gate->Open();
    ASSERT_TRUE(writer.Settle(5s));
    EXPECT_EQ(writer.EndOf("r1", reason), HistoryWriter::Ending::Written);
    const std::lock_guard lock(written->mutex);
    ASSERT_EQ(written->rows.size(), 3u) << "the facts not yet written replaced by the newer";
    EXPECT_EQ(written->rows[0].first, 'b');
    EXPECT_EQ(written->rows[1].first, 'u');
    EXPECT_EQ(written->rows[1].second.unitSerial, "G123");
    EXPECT_EQ(written->rows[2].first, 'c');
}

TEST(HistoryThreads, TheEndWaitsItsBoundAndLeavesAStuckWriterBehind) {
    auto gate = std::make_shared<Gate>();
    auto written = std::make_shared<Written>();
    {
        HistoryWriter writer(Opener(gate, written), std::make_shared<HistoryNotes>());
        writer.Complete(Row("G1"));
        const auto start = Clock::now();
        writer.Close(200ms);
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, 200ms);
        EXPECT_LT(waited, 1s);
    }
    EXPECT_TRUE(BoundedThread::AnyLeftBehind());
    gate->Open();  // the thread left behind ends by itself
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
