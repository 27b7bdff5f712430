#include "MirroredHistoryStore.h"

#include <chrono>

#include "ServerHistoryStore.h"
#include "SqlHistoryStore.h"

MirroredHistoryStore::MirroredHistoryStore(SqlHistoryStore& local, ServerUrl url)
    : local_(local), url_(std::move(url)) {}

MirroredHistoryStore::~MirroredHistoryStore() = default;

std::int64_t MirroredHistoryStore::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void MirroredHistoryStore::AfterWrite(bool ok) {
    error_ = ok ? std::string() : local_.LastError();
    // A file that refused the write (held by another program) would make
    // the run wait for it once more.
    if (!ok || (failedAtMs_ >= 0 && NowMs() - failedAtMs_ < kRetryAfterMs)) {
        return;
    }
    std::int64_t sent = 0;
    SendWaiting(kSendBudgetMs, sent);
}

bool MirroredHistoryStore::Begin(const HistoryRun& run) {
    const bool ok = local_.Begin(run);
    AfterWrite(ok);
    return ok;
}

bool MirroredHistoryStore::Update(const HistoryRun& run) {
    // Local only: the run may be in mid-command, and the server takes the
    // row at the run's end (or, should the run die, once the row is marked
    // interrupted and sent as the other waiting rows).
    const bool ok = local_.Update(run);
    error_ = ok ? std::string() : local_.LastError();
    return ok;
}

bool MirroredHistoryStore::Complete(const HistoryRun& run) {
    const bool ok = local_.Complete(run);
    AfterWrite(ok);
    return ok;
}

bool MirroredHistoryStore::Each(const HistoryFilter& filter, bool allFields,
                                const std::function<bool(const HistoryRun&)>& visit) {
    const bool ok = local_.Each(filter, allFields, visit);
    error_ = local_.LastError();
    return ok;
}

bool MirroredHistoryStore::Days(const HistoryFilter& filter, std::vector<DayStats>& days) {
    const bool ok = local_.Days(filter, days);
    error_ = local_.LastError();
    return ok;
}

bool MirroredHistoryStore::SendWaiting(std::int64_t budgetMs, std::int64_t& sent) {
    sent = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto spent = [&start] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    const auto fail = [this](const std::string& reason) {
        serverError_ = reason;
        failedAtMs_ = NowMs();
        if (sink_) {
            sink_(reason);
        }
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
            server_ = ServerHistoryStore::Open(url_, reason);
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
        if (static_cast<int>(runs.size()) < kBatch || (budgetMs >= 0 && spent() >= budgetMs)) {
            break;
        }
    }
    serverError_.clear();
    failedAtMs_ = -1;
    return true;
}

std::int64_t MirroredHistoryStore::Waiting() {
    std::int64_t count = 0;
    return local_.CountUnsent(count) ? count : -1;
}
