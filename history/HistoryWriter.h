#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "BoundedThread.h"
#include "HistoryNotes.h"
#include "HistoryRun.h"

class IHistoryStore;

// Owns the writing of a program's runs into its history, on a thread of
// its own: the thread that hands a row over (the window's) only queues it
// and never waits for a file, a lock or a disk. The store is opened on the
// writer's thread (a Qt SQL connection belongs to the thread that opened
// it), as soon as the writer is made.
//
// Rows are written in the order they were handed over; a run's facts
// handed over again before the last ones were written replace them (the row
// carries every fact). A write the store refuses is posted to the notes
// (topic "history") with its reason; nothing is retried here.
class HistoryWriter {
  public:
    // The store, or nullptr with the reason (every run then says it).
    using Opener = std::function<std::unique_ptr<IHistoryStore>(std::string& error)>;
    // Called on the writer's thread after a run's start or end is in the
    // store (the history server's sender is woken by it).
    using AfterWrite = std::function<void()>;

    // How long a program's end waits for its last row at most: the store's
    // own wait for a busy file (SqlHistoryStore::kBusyTimeoutMs) twice over,
    // with room for a slow disk.
    static constexpr std::chrono::milliseconds kSettleMs{5000};

    HistoryWriter(Opener opener, std::shared_ptr<HistoryNotes> notes, AfterWrite afterWrite = {});
    // Close(kSettleMs).
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void Begin(const HistoryRun& run);
    void Update(const HistoryRun& run);
    void Complete(const HistoryRun& run);

    // Nothing handed over waits to be written.
    bool Settled() const;
    // Waits at most `bound` until Settled(); false when the time ran out.
    bool Settle(std::chrono::milliseconds bound);

    enum class Ending {
        None,     // no end of this run was handed over
        Waiting,  // handed over, not written yet
        Written,
        Refused,  // with the reason
    };
    // The last run's end, by its id.
    Ending EndOf(const std::string& id, std::string& reason) const;

    // Writes what is queued and ends the thread, waiting at most `bound`;
    // a thread still writing then is left behind (BoundedThread).
    void Close(std::chrono::milliseconds bound);

  private:
    struct State;
    void Hand(int kind, const HistoryRun& run);

    std::shared_ptr<State> state_;
    std::unique_ptr<BoundedThread> thread_;
};
