#include "HistoryReader.h"

#include <algorithm>
#include <mutex>

#include "IHistoryStore.h"

struct HistoryReader::Mailbox {
    std::mutex mutex;
    Deliver deliver;  // empty once the reader is ending
    std::uint64_t newest = 0;

    // Hands the answer over when it is still the one wanted.
    void Post(Answer answer) {
        const std::lock_guard lock(mutex);
        if (deliver && answer.reading == newest) {
            deliver(std::move(answer));
        }
    }
};

HistoryReader::HistoryReader(Deliver deliver) : mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->deliver = std::move(deliver);
}

HistoryReader::~HistoryReader() {
    {
        const std::lock_guard lock(mailbox_->mutex);
        mailbox_->deliver = nullptr;
    }
    GiveUp();
    const auto end = std::chrono::steady_clock::now() + kEndMs;
    for (const std::unique_ptr<BoundedThread>& thread : threads_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        thread->Join(std::max(left, std::chrono::milliseconds(0)));
    }
}

std::uint64_t HistoryReader::Read(Opener opener, HistoryFilter filter) {
    GiveUp();
    // Readings that have ended are done with; a stuck one waits for the end.
    std::erase_if(threads_,
                  [](const std::unique_ptr<BoundedThread>& thread) { return thread->Ended(); });
    std::uint64_t reading = 0;
    {
        const std::lock_guard lock(mailbox_->mutex);
        reading = ++mailbox_->newest;
    }
    deadline_ = std::make_shared<CallDeadline>();
    threads_.push_back(std::make_unique<BoundedThread>([mailbox = mailbox_, deadline = deadline_,
                                                        opener = std::move(opener),
                                                        filter = std::move(filter), reading] {
        Answer answer;
        answer.reading = reading;
        std::unique_ptr<IHistoryStore> store = opener(deadline, answer.error);
        if (store != nullptr) {
            answer.ok = store->List(filter, answer.runs);
            answer.error = answer.ok ? std::string() : store->LastError();
        }
        store.reset();  // closed on the thread that opened it
        mailbox->Post(std::move(answer));
    }));
    return reading;
}

void HistoryReader::GiveUp() {
    {
        const std::lock_guard lock(mailbox_->mutex);
        ++mailbox_->newest;
    }
    if (deadline_ != nullptr) {
        deadline_->GiveUp();
        deadline_.reset();
    }
}
