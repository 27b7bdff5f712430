#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "IHistoryStore.h"
#include "ServerUrl.h"

class ServerHistoryStore;
class SqlHistoryStore;

// The local history with the shared one behind it. Every run is written to
// the local file first, as without a server. After a run's start and its
// end the rows the server has not confirmed are sent, oldest first, for at
// most kSendBudgetMs (the rest at the next run's start or end, or by
// gpsupdate-history sync): the server has a run's row as it began and as
// it ended. The facts learnt in between (Update) are written locally only;
// they reach the server with the end.
//
// The server never stands in the way of a run: a server that cannot be
// reached costs at most its bounded wait (ServerHistoryStore's time-outs)
// and leaves the rows waiting in the file; its reason goes to the sink.
class MirroredHistoryStore final : public IHistoryStore {
  public:
    static constexpr std::int64_t kSendBudgetMs = 1000;
    // Rows per transaction on the server.
    static constexpr int kBatch = 200;
    // After the server could not be reached, the writes of this long leave
    // the rows waiting without trying it again: a run's end then does not
    // wait once more for the server its start found away.
    static constexpr std::int64_t kRetryAfterMs = 30'000;

    MirroredHistoryStore(SqlHistoryStore& local, ServerUrl url);
    ~MirroredHistoryStore() override;

    bool Begin(const HistoryRun& run) override;
    bool Update(const HistoryRun& run) override;
    bool Complete(const HistoryRun& run) override;
    bool Each(const HistoryFilter& filter, bool allFields,
              const std::function<bool(const HistoryRun&)>& visit) override;
    bool Days(const HistoryFilter& filter, std::vector<DayStats>& days) override;
    std::string LastError() const override { return error_; }

    // Sends waiting rows until none wait or `budgetMs` has passed (< 0: no
    // limit). False, with the reason in ServerError(), when the server
    // could not be reached or refused them; `sent` counts those it took.
    bool SendWaiting(std::int64_t budgetMs, std::int64_t& sent);
    // The rows waiting to be sent; -1 when the file cannot say.
    std::int64_t Waiting();
    const std::string& ServerError() const { return serverError_; }
    // Told every reason the server could not take the rows.
    void SetServerErrorSink(std::function<void(const std::string&)> sink) {
        sink_ = std::move(sink);
    }

  private:
    void AfterWrite(bool ok);
    std::int64_t NowMs() const;

    SqlHistoryStore& local_;
    ServerUrl url_;
    std::unique_ptr<ServerHistoryStore> server_;
    std::string error_;
    std::string serverError_;
    std::function<void(const std::string&)> sink_;
    std::int64_t failedAtMs_ = -1;  // steady clock; -1: the last try went through
};
