#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// What the history's own threads have to say about their work (a write the
// file refused, a server that could not take the rows), kept until the
// program's thread takes it into the run's trace. Post and Take may be
// called from any thread; Waiting is a cheap look the program's thread may
// take at every event.
class HistoryNotes {
  public:
    struct Note {
        std::string topic;  // history, history_server
        std::string text;
    };

    void Post(std::string topic, std::string text) {
        const std::lock_guard lock(mutex_);
        notes_.push_back({std::move(topic), std::move(text)});
        waiting_ = true;
    }
    bool Waiting() const { return waiting_.load(std::memory_order_relaxed); }
    std::vector<Note> Take() {
        const std::lock_guard lock(mutex_);
        waiting_ = false;
        return std::exchange(notes_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<Note> notes_;
    std::atomic<bool> waiting_{false};
};
