#include "HistoryWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>

#include "IHistoryStore.h"

namespace {

enum Kind { kBegin, kUpdate, kComplete };

struct Job {
    Kind kind;
    HistoryRun run;
};

// What a refused write is said as; the same words as when the writes were
// made on the program's own thread.
std::string Refusal(Kind kind, const std::string& reason) {
    switch (kind) {
        case kBegin:
            return "the start of the run was not recorded: " + reason;
        case kUpdate:
            return "the run's facts were not recorded: " + reason;
        case kComplete:
            break;
    }
    return "the run was not recorded: " + reason;
}

}  // namespace

struct HistoryWriter::State {
    Opener opener;
    AfterWrite afterWrite;
    std::shared_ptr<HistoryNotes> notes;

    mutable std::mutex mutex;
    std::condition_variable work;
    std::condition_variable settled;
    std::deque<Job> queue;
    bool busy = false;
    bool closing = false;
    std::string endId;
    Ending ending = Ending::None;
    std::string endReason;

    void Run();
    // One job; `store` nullptr: it could not be opened, for `openError`.
    void Write(IHistoryStore* store, const std::string& openError, const Job& job);
};

void HistoryWriter::State::Run() {
    std::string openError;
    const std::unique_ptr<IHistoryStore> store = opener(openError);
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex);
            work.wait(lock, [this] { return !queue.empty() || closing; });
            if (queue.empty()) {
                return;
            }
            job = std::move(queue.front());
            queue.pop_front();
            busy = true;
        }
        Write(store.get(), openError, job);
        const std::lock_guard lock(mutex);
        busy = false;
        if (queue.empty()) {
            settled.notify_all();
        }
    }
}

void HistoryWriter::State::Write(IHistoryStore* store, const std::string& openError,
                                 const Job& job) {
    bool written = false;
    std::string reason;
    if (store == nullptr) {
        // Said once a run, at its start: the reason is the history's, not
        // the write's.
        reason = openError;
        if (job.kind == kBegin) {
            notes->Post("history", openError);
        }
    } else {
        written = job.kind == kBegin    ? store->Begin(job.run)
                  : job.kind == kUpdate ? store->Update(job.run)
                                        : store->Complete(job.run);
        if (!written) {
            reason = Refusal(job.kind, store->LastError());
            notes->Post("history", reason);
        }
    }
    if (written && job.kind != kUpdate && afterWrite) {
        afterWrite();
    }
    if (job.kind == kComplete) {
        const std::lock_guard lock(mutex);
        if (endId == job.run.id) {
            ending = written ? Ending::Written : Ending::Refused;
            endReason = reason;
        }
    }
}

HistoryWriter::HistoryWriter(Opener opener, std::shared_ptr<HistoryNotes> notes,
                             AfterWrite afterWrite)
    : state_(std::make_shared<State>()) {
    state_->opener = std::move(opener);
    state_->afterWrite = std::move(afterWrite);
    state_->notes = std::move(notes);
    thread_ = std::make_unique<BoundedThread>([state = state_] { state->Run(); });
}

HistoryWriter::~HistoryWriter() {
    Close(kSettleMs);
}

void HistoryWriter::Hand(int kind, const HistoryRun& run) {
    const std::lock_guard lock(state_->mutex);
    if (kind == kUpdate) {
        // The newer facts replace those not written yet.
        for (Job& job : state_->queue) {
            if (job.kind == kUpdate && job.run.id == run.id) {
                job.run = run;
                return;
            }
        }
    }
    if (kind == kComplete) {
        state_->endId = run.id;
        state_->ending = Ending::Waiting;
        state_->endReason.clear();
    }
    state_->queue.push_back({static_cast<Kind>(kind), run});
    state_->work.notify_one();
}

void HistoryWriter::Begin(const HistoryRun& run) {
    Hand(kBegin, run);
}

void HistoryWriter::Update(const HistoryRun& run) {
    Hand(kUpdate, run);
}

void HistoryWriter::Complete(const HistoryRun& run) {
    Hand(kComplete, run);
}

bool HistoryWriter::Settled() const {
    const std::lock_guard lock(state_->mutex);
    return state_->queue.empty() && !state_->busy;
}

bool HistoryWriter::Settle(std::chrono::milliseconds bound) {
    std::unique_lock lock(state_->mutex);
    return state_->settled.wait_for(lock, bound,
                                    [this] { return state_->queue.empty() && !state_->busy; });
}

HistoryWriter::Ending HistoryWriter::EndOf(const std::string& id, std::string& reason) const {
    const std::lock_guard lock(state_->mutex);
    if (id.empty() || id != state_->endId) {
        return Ending::None;
    }
    reason = state_->endReason;
    return state_->ending;
}

void HistoryWriter::Close(std::chrono::milliseconds bound) {
    if (thread_ == nullptr) {
        return;
    }
    {
        const std::lock_guard lock(state_->mutex);
        state_->closing = true;
        state_->work.notify_one();
    }
    thread_->Join(bound);
    thread_.reset();
}
