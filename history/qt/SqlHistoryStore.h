#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include "HistorySchema.h"
#include "IHistoryStore.h"

// The history in one SQLite file through Qt SQL: the only code that knows
// the file's own schema (its versions, the server's mark); a run's columns
// are HistorySchema's, bound and read by HistoryRowMapping. Needs a
// QCoreApplication (the driver is a plug-in). Opening and migrating are in
// SqlHistoryStore.cpp, writing in SqlHistoryStoreWrite.cpp, reading in
// SqlHistoryStoreRead.cpp.
//
// The file is shared by every program of the tool and every tile of a
// station, each with its own connection: the write-ahead log lets readers
// go on while one writes, each write is one statement in its own short
// transaction, and a writer that finds the file busy waits kBusyTimeoutMs.
//
// A file that is not a history (another program's database, a damaged
// file) is never written to, replaced or deleted: opening fails with the
// reason (see kApplicationId). A new file is made readable by its user
// alone.
class SqlHistoryStore final : public IHistoryStore {
  public:
    // The newest schema; Open migrates every older file up to it.
    static constexpr int kSchemaVersion = 6;
    // The history's mark in its SQLite header ("GPSH"): a file is the
    // history when it carries it, or when it was made before the mark by
    // an older version of the program and holds the history's tables
    // exactly. Any other database is another program's and is refused.
    static constexpr int kApplicationId = 0x47505348;
    // Writes happen on the history's own thread (HistoryWriter), so a wait
    // for the lock holds up no window, only the run's end line and the
    // program's end (both bounded). A write holds the lock for a fraction
    // of a millisecond, but on a loaded machine its holder may not get the CPU:
    // eight programs writing at once on two busy cores waited up to 0.28 s,
    // and past 0.5 s in 2 of 12 tries. Two seconds rides that out; a file
    // still busy then is held by another program, and the run goes
    // unrecorded rather than wait longer.
    static constexpr int kBusyTimeoutMs = 2000;

    struct Options {
        bool createFolder = false;  // make a missing parent folder (the default place)
        bool readOnly = false;      // list only: no migration, no marking
    };

    // The store, or nothing with the reason in `error`. Rows left "running"
    // by a writer on this host that is gone are marked "interrupted".
    static std::unique_ptr<SqlHistoryStore> Open(const std::filesystem::path& file,
                                                 std::string& error, Options options);
    static std::unique_ptr<SqlHistoryStore> Open(const std::filesystem::path& file,
                                                 std::string& error) {
        return Open(file, error, Options{});
    }
    ~SqlHistoryStore() override;

    bool Begin(const HistoryRun& run) override;
    // Rewrites the row while it is running (makes it when Begin could not);
    // a row that has ended is left as it is.
    bool Update(const HistoryRun& run) override;
    // Replaces the row whatever it held.
    bool Complete(const HistoryRun& run) override;
    bool Each(const HistoryFilter& filter, bool allFields,
              const std::function<bool(const HistoryRun&)>& visit) override;
    bool Days(const HistoryFilter& filter, std::vector<DayStats>& days) override;
    std::string LastError() const override { return error_; }

    // The schema version of the file as opened (before a migration: the
    // file's own).
    int FileVersion() const { return fileVersion_; }
    // Rows marked interrupted when this store was opened.
    int MarkedInterrupted() const { return markedInterrupted_; }
    // The rows the history server has not confirmed as they are now, oldest
    // first, at most `limit`.
    bool Unsent(int limit, std::vector<HistoryRun>& runs);
    // The server has these rows (as Unsent read them): marked so, unless
    // rewritten since.
    bool MarkSent(const std::vector<HistoryRun>& runs);
    bool CountUnsent(std::int64_t& count);
    // "ok" for a sound file; else SQLite's findings.
    std::string IntegrityCheck();

  private:
    SqlHistoryStore();
    bool Prepare(const std::filesystem::path& file, const Options& options, std::string& error);
    // Whether the file is a history (or a new, empty database), with its
    // version; the reason when it is not.
    bool Identify(std::string& error);
    bool ReadIdentity(std::string& error);
    bool Migrate(std::string& error);
    bool MarkInterrupted(std::string& error);
    bool PrepareWrites(std::string& error);
    // Opened for reading, a file of an older version is read as it is.
    bool OlderAsFound() const { return !writable_ && fileVersion_ < kSchemaVersion; }
    // Whether the file has the erase_begun column.
    bool EraseKnown() const;
    // Of `wanted`, the columns the file has.
    std::vector<const HistorySchema::Column*> Readable(
        const std::vector<const HistorySchema::Column*>& wanted) const;
    bool Exec(const QString& sql, std::string& error);
    bool Write(QSqlQuery* query, const HistoryRun& run);
    static std::string Reason(const QSqlQuery& query);

    QString connection_;
    QSqlDatabase db_;
    // The prepared writes of Begin, Complete and Update.
    std::unique_ptr<QSqlQuery> insert_;
    std::unique_ptr<QSqlQuery> replace_;
    std::unique_ptr<QSqlQuery> update_;
    bool writable_ = true;
    // The file as found: its header's marks, its tables, the runs' columns.
    int application_ = 0;
    int fileVersion_ = 0;
    QStringList tables_;
    QStringList columns_;
    int markedInterrupted_ = 0;
    std::string error_;
};
