#include "ServerSync.h"

#include <chrono>
#include <vector>

#include "ServerHistoryStore.h"
#include "SqlHistoryStore.h"

ServerSync::ServerSync(SqlHistoryStore& local, ServerUrl url,
                       std::shared_ptr<CallDeadline> deadline)
    : local_(local), url_(std::move(url)), deadline_(std::move(deadline)) {}

ServerSync::~ServerSync() = default;

std::int64_t ServerSync::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool ServerSync::FailedRecently() const {
    return failedAtMs_ >= 0 && NowMs() - failedAtMs_ < kRetryAfterMs;
}

bool ServerSync::SendWaiting(std::int64_t budgetMs, std::int64_t& sent) {
    sent = 0;
    const std::int64_t start = NowMs();
    const auto fail = [this](const std::string& reason) {
        serverError_ = reason;
        failedAtMs_ = NowMs();
        return false;
    };
    std::vector<HistoryRun> runs;
    for (;;) {
        if (!local_.Unsent(kBatch, runs)) {
            return fail("cannot read the rows to send: " + local_.LastError());
        }
        if (runs.empty()) {
            break;
        }
        // The connection only when there is something to send; one lost
        // is made again.
        if (server_ == nullptr) {
            std::string reason;
            server_ = ServerHistoryStore::Open(url_, reason, deadline_);
            if (server_ == nullptr) {
                return fail(reason);
            }
        }
        if (!server_->Send(runs)) {
            const std::string reason = server_->LastError();
            server_.reset();
            return fail(reason);
        }
        // Confirmed by the server: a crash before the mark only sends them
        // once more, which changes nothing there.
        if (!local_.MarkSent(runs)) {
            return fail("cannot mark the rows sent: " + local_.LastError());
        }
        sent += static_cast<std::int64_t>(runs.size());
        if (static_cast<int>(runs.size()) < kBatch ||
            (budgetMs >= 0 && NowMs() - start >= budgetMs)) {
            break;
        }
    }
    serverError_.clear();
    failedAtMs_ = -1;
    return true;
}

std::int64_t ServerSync::Waiting() {
    std::int64_t count = 0;
    return local_.CountUnsent(count) ? count : -1;
}
