#include "HistorySender.h"

#include <condition_variable>
#include <mutex>

#include "CallDeadline.h"
#include "ServerSync.h"
#include "SqlHistoryStore.h"

struct HistorySender::State {
    std::filesystem::path file;
    ServerUrl url;
    std::shared_ptr<HistoryNotes> notes;
    std::shared_ptr<CallDeadline> deadline = std::make_shared<CallDeadline>();

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    bool woken = false;
    bool sending = false;
    bool closing = false;

    void Run();
    // False when told to end with nothing more to send.
    bool Wait();
};

bool HistorySender::State::Wait() {
    std::unique_lock lock(mutex);
    sending = false;
    idle.notify_all();
    wake.wait(lock, [this] { return woken || closing; });
    if (!woken) {
        return false;
    }
    woken = false;
    sending = true;
    return true;
}

void HistorySender::State::Run() {
    std::unique_ptr<SqlHistoryStore> local;
    std::unique_ptr<ServerSync> sync;
    while (Wait()) {
        if (local == nullptr) {
            std::string error;
            local = SqlHistoryStore::Open(file, error);
            if (local == nullptr) {
                notes->Post("history_server", "the rows to send cannot be read: " + error);
                continue;
            }
            sync = std::make_unique<ServerSync>(*local, url, deadline);
        }
        std::int64_t sent = 0;
        if (!sync->FailedRecently() && !sync->SendWaiting(kSendBudgetMs, sent)) {
            notes->Post("history_server", sync->ServerError());
        }
    }
}

HistorySender::HistorySender(std::filesystem::path file, ServerUrl url,
                             std::shared_ptr<HistoryNotes> notes)
    : state_(std::make_shared<State>()) {
    state_->file = std::move(file);
    state_->url = std::move(url);
    state_->notes = std::move(notes);
    thread_ = std::make_unique<BoundedThread>([state = state_] { state->Run(); });
}

HistorySender::~HistorySender() {
    Close();
}

std::function<void()> HistorySender::Waker() const {
    return [weak = std::weak_ptr<State>(state_)] {
        if (const auto state = weak.lock()) {
            const std::lock_guard lock(state->mutex);
            state->woken = true;
            state->wake.notify_one();
        }
    };
}

bool HistorySender::Settle(std::chrono::milliseconds bound) {
    std::unique_lock lock(state_->mutex);
    return state_->idle.wait_for(lock, bound,
                                 [this] { return !state_->woken && !state_->sending; });
}

void HistorySender::Close() {
    if (thread_ == nullptr) {
        return;
    }
    {
        const std::lock_guard lock(state_->mutex);
        state_->closing = true;
        state_->wake.notify_one();
    }
    if (!thread_->WaitFor(kEndBudgetMs)) {
        state_->deadline->GiveUp();
        thread_->Join(kCutMs);
    }
    thread_.reset();
}
