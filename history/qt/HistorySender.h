#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "BoundedThread.h"
#include "HistoryNotes.h"
#include "ServerUrl.h"

// Sends a program's runs on to the history server, on a thread of its own,
// so that neither the program's thread nor its local writes ever wait for
// the network: the sender has its own connection to the local file (opened
// on its thread) and sends the rows waiting in it (ServerSync) each time it
// is woken, after a run's start or end is written. A reason the server
// could not take them is posted to the notes (topic "history_server"); the
// rows then wait in the file for the next sending, of this program or the
// next one to start.
class HistorySender {
  public:
    // One sending: the rest waits for the next one.
    static constexpr std::int64_t kSendBudgetMs = 1000;
    // At the program's end: the sending under way (the run's end row) may
    // go on this long; then its call to the server is cut, and a thread
    // that has not ended kCutMs later is left behind.
    static constexpr std::chrono::milliseconds kEndBudgetMs{1000};
    static constexpr std::chrono::milliseconds kCutMs{500};

    HistorySender(std::filesystem::path file, ServerUrl url, std::shared_ptr<HistoryNotes> notes);
    // Close().
    ~HistorySender();
    HistorySender(const HistorySender&) = delete;
    HistorySender& operator=(const HistorySender&) = delete;

    // Rows wait to be sent: a call any thread may make, also after the
    // sender is gone (then it does nothing).
    std::function<void()> Waker() const;
    // Waits at most `bound` until no sending is asked for or under way.
    bool Settle(std::chrono::milliseconds bound);
    // Ends the thread within kEndBudgetMs + kCutMs, as said above.
    void Close();

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::unique_ptr<BoundedThread> thread_;
};
