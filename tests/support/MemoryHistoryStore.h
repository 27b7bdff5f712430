#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "IHistoryStore.h"

// What the test's history stores were given, shared with the test (a writer
// owns the store its opener makes), and how they behave: write at once,
// refuse, take a few milliseconds, or hang until the mood changes.
struct StoredRows {
    enum class Mood { Quick, Refusing, Slow, Hanging };
    std::mutex mutex;
    std::condition_variable released;
    Mood mood = Mood::Quick;
    std::vector<HistoryRun> begun;
    std::vector<HistoryRun> updated;
    std::vector<HistoryRun> completed;
    std::map<std::string, HistoryRun> last;  // by id, the last row written

    void SetMood(Mood newMood) {
        const std::lock_guard lock(mutex);
        mood = newMood;
        released.notify_all();
    }
};

class MemoryHistoryStore final : public IHistoryStore {
  public:
    explicit MemoryHistoryStore(std::shared_ptr<StoredRows> rows) : rows_(std::move(rows)) {}
    bool Begin(const HistoryRun& run) override { return Write(run, rows_->begun); }
    bool Update(const HistoryRun& run) override { return Write(run, rows_->updated); }
    bool Complete(const HistoryRun& run) override { return Write(run, rows_->completed); }
    bool Each(const HistoryFilter&, bool, const std::function<bool(const HistoryRun&)>&) override {
        return false;
    }
    bool Days(const HistoryFilter&, std::vector<DayStats>&) override { return false; }
    std::string LastError() const override { return "disk full"; }

  private:
    bool Write(const HistoryRun& run, std::vector<HistoryRun>& into) {
        std::unique_lock lock(rows_->mutex);
        rows_->released.wait(lock, [this] { return rows_->mood != StoredRows::Mood::Hanging; });
        if (rows_->mood == StoredRows::Mood::Refusing) {
            return false;
        }
        if (rows_->mood == StoredRows::Mood::Slow) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            lock.lock();
        }
        into.push_back(run);
        rows_->last[run.id] = run;
        return true;
    }
    std::shared_ptr<StoredRows> rows_;
};
