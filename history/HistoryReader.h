#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BoundedThread.h"
#include "CallDeadline.h"
#include "HistoryFilter.h"
#include "HistoryRun.h"

class IHistoryStore;

// Reads runs for a window that must never wait for a file or a server:
// each reading runs on a thread of its own, which opens the store there (a
// Qt SQL connection belongs to the thread that opened it), lists the runs
// and hands them to `deliver`, on that thread. Only the newest reading is
// delivered. A reading given up (GiveUp, a newer one, the reader's end) has
// its call to a server cut through the deadline the opener was handed, and
// its thread is never waited for: one still stuck at the reader's end is
// left behind (BoundedThread).
class HistoryReader {
  public:
    // The store, or nullptr with the reason; `deadline` bounds its calls.
    using Opener = std::function<std::unique_ptr<IHistoryStore>(
        const std::shared_ptr<CallDeadline>& deadline, std::string& error)>;
    struct Answer {
        std::uint64_t reading = 0;
        bool ok = false;
        std::vector<HistoryRun> runs;
        std::string error;  // when not ok
    };
    using Deliver = std::function<void(Answer)>;

    // How long the end waits for readings that were given up.
    static constexpr std::chrono::milliseconds kEndMs{300};

    explicit HistoryReader(Deliver deliver);
    // Nothing is delivered once it has begun; see above.
    ~HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    // Starts a reading, giving up the one under way; its number.
    std::uint64_t Read(Opener opener, HistoryFilter filter);
    // The reading under way is not delivered, and its call is cut.
    void GiveUp();

  private:
    struct Mailbox;
    std::shared_ptr<Mailbox> mailbox_;
    std::shared_ptr<CallDeadline> deadline_;
    std::vector<std::unique_ptr<BoundedThread>> threads_;
};
