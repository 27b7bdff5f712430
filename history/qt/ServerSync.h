#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CallDeadline.h"
#include "ServerUrl.h"

class ServerHistoryStore;
class SqlHistoryStore;

// Brings the history server up to date with a local history: sends the
// rows the server has not confirmed, oldest first, and marks them sent as
// they were sent. A row is written on the server by its id (sending it
// again changes nothing there), and marked here only as it was sent (one
// rewritten since waits for the next sending): nothing is lost or doubled,
// whatever call fails or is cut.
//
// Every call to the server is bounded (ServerHistoryStore); `deadline`,
// when shared with the owner, lets it cut the one under way.
class ServerSync {
  public:
    // Rows per transaction on the server.
    static constexpr int kBatch = 200;
    // After the server could not be reached, the rows are left waiting
    // this long before it is tried again: a run's end then does not wait
    // once more for the server its start found away.
    static constexpr std::int64_t kRetryAfterMs = 30'000;

    ServerSync(SqlHistoryStore& local, ServerUrl url,
               std::shared_ptr<CallDeadline> deadline = nullptr);
    ~ServerSync();

    // Sends waiting rows until none wait or `budgetMs` has passed (< 0: no
    // limit). False, with the reason in ServerError(), when the server
    // could not be reached or refused them; `sent` counts those it took.
    bool SendWaiting(std::int64_t budgetMs, std::int64_t& sent);
    // The last try failed less than kRetryAfterMs ago.
    bool FailedRecently() const;
    // The rows waiting to be sent; -1 when the file cannot say.
    std::int64_t Waiting();
    const std::string& ServerError() const { return serverError_; }

  private:
    static std::int64_t NowMs();

    SqlHistoryStore& local_;
    ServerUrl url_;
    std::shared_ptr<CallDeadline> deadline_;
    std::unique_ptr<ServerHistoryStore> server_;
    std::string serverError_;
    std::int64_t failedAtMs_ = -1;  // steady clock; -1: the last try went through
};
