#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QSqlDatabase>
#include <QString>

#include "CallDeadline.h"
#include "IHistoryStore.h"
#include "ServerUrl.h"

// The history shared by several stations, on a PostgreSQL server through
// Qt SQL's QPSQL driver: the only code that knows the server's SQL. Needs a
// QCoreApplication (the driver is a plug-in).
//
// The table follows HistorySchema; the server's own table
// gpsupdate_schema keeps its version. The first program to reach a server
// with no table makes it, when its user may create tables there.
//
// A row is written by its run id, so sending it again changes nothing; a
// row the server holds as ended is never turned back into a running one.
//
// Every call waits a bounded time: kConnectSeconds for the connection (a
// server that is down, or accepts and never answers), kStatementMs for a
// statement (a server that is slow or locked), kLostMs for a connection
// that goes quiet in mid-write. The server enforces the statement's limit
// and the network the lost connection's; a server that takes the bytes and
// never answers (its processes stopped: the kernel still acknowledges
// them) is bounded here: a call that has not returned after kCallMs has
// its connection dropped by the deadline's watchdog, and fails.
//
// Not bounded: the few statements Qt's driver sends itself right after it
// has connected. A program that must not wait for them leaves the thread
// that opens the store behind (HistorySender).
class ServerHistoryStore final : public IHistoryStore {
  public:
    // libpq's smallest time-out (it counts whole seconds, at least two).
    static constexpr int kConnectSeconds = 2;
    static constexpr int kStatementMs = 5000;
    static constexpr int kLostMs = 5000;
    static constexpr int kCallMs = kStatementMs + 1000;

    // The store, or nothing with the reason in `error`. `deadline` bounds
    // its calls (nullptr: a deadline of its own); one shared with the
    // store's owner lets the owner cut a call under way (GiveUp).
    static std::unique_ptr<ServerHistoryStore> Open(
        const ServerUrl& url, std::string& error, std::shared_ptr<CallDeadline> deadline = nullptr);
    ~ServerHistoryStore() override;

    // Each writes the row at once (Send): a program recording on the server
    // alone upserts its running row as it learns the unit's facts.
    bool Begin(const HistoryRun& run) override;
    bool Update(const HistoryRun& run) override;
    bool Complete(const HistoryRun& run) override;
    bool Each(const HistoryFilter& filter, bool allFields,
              const std::function<bool(const HistoryRun&)>& visit) override;
    bool Days(const HistoryFilter& filter, std::vector<DayStats>& days) override;
    std::string LastError() const override { return error_; }

    // Writes the rows in one transaction: all or none.
    bool Send(const std::vector<HistoryRun>& runs);
    // The server's schema version as found (0: no table yet).
    int FoundVersion() const { return foundVersion_; }

  private:
    ServerHistoryStore();
    bool Connect(const ServerUrl& url, std::string& error);
    bool Migrate(std::string& error);
    bool Exec(const QString& sql, std::string& error);
    // A call to the server within kCallMs; false when it failed or was cut.
    bool Bounded(const std::function<bool()>& call);
    std::string Reason(const QString& what, const class QSqlError& error) const;

    QString connection_;
    QSqlDatabase db_;
    std::shared_ptr<CallDeadline> deadline_;
    long long socket_ = -1;  // the connection's, for the deadline's cut
    bool cut_ = false;       // a call was cut: the connection is gone
    std::string shown_;
    int foundVersion_ = 0;
    std::string error_;
};
