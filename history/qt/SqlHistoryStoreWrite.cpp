// The SQLite store's writes: a run's row at its start, while it learns its
// facts and at its end, and the marks of what the history server has.

#include <QVariant>

#include "HistoryRowMapping.h"
#include "SqlHistoryStore.h"

namespace Mapping = HistoryRowMapping;

bool SqlHistoryStore::PrepareWrites(std::string& error) {
    const QString table = QStringLiteral("runs");
    const struct {
        std::unique_ptr<QSqlQuery>& query;
        QString sql;
    } statements[] = {
        {insert_, Mapping::Insert(table, QStringLiteral("INSERT"))},
        // The end of a run replaces its row, or makes it when the start
        // could not be written.
        {replace_, Mapping::Insert(table, QStringLiteral("INSERT OR REPLACE"))},
        // A rewrite clears the server's mark, as every write does.
        {update_, Mapping::UpsertWhileRunning(table, QStringLiteral("sent = 0"))},
    };
    for (const auto& statement : statements) {
        statement.query = std::make_unique<QSqlQuery>(db_);
        if (!statement.query->prepare(statement.sql)) {
            error = Reason(*statement.query);
            return false;
        }
    }
    return true;
}

bool SqlHistoryStore::Write(QSqlQuery* query, const HistoryRun& run) {
    // A store opened for reading, or a newer program's file, prepares no writes.
    if (!writable_ || query == nullptr) {
        error_ = fileVersion_ > kSchemaVersion
                     ? "the history file was made by a newer version of the program"
                     : "the history is open for reading only";
        return false;
    }
    Mapping::Bind(*query, Mapping::Written(), run);
    if (!query->exec()) {
        error_ = Reason(*query);
        return false;
    }
    query->finish();
    error_.clear();
    return true;
}

bool SqlHistoryStore::Begin(const HistoryRun& run) {
    return Write(insert_.get(), run);
}

bool SqlHistoryStore::Update(const HistoryRun& run) {
    return Write(update_.get(), run);
}

bool SqlHistoryStore::Complete(const HistoryRun& run) {
    return Write(replace_.get(), run);
}

bool SqlHistoryStore::Unsent(int limit, std::vector<HistoryRun>& runs) {
    runs.clear();
    if (!writable_) {
        error_ = "the history file was made by a newer version of the program";
        return false;
    }
    const Mapping::Columns& columns = HistorySchema::Stored();
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM runs WHERE sent = 0 ORDER BY start_ms, rowid "
                                   "LIMIT %2")
                        .arg(Mapping::SelectList(columns, true))
                        .arg(limit))) {
        error_ = Reason(query);
        return false;
    }
    Mapping::Visit(query, columns, [&runs](const HistoryRun& run) {
        runs.push_back(run);
        return true;
    });
    error_.clear();
    return true;
}

bool SqlHistoryStore::MarkSent(const std::vector<HistoryRun>& runs) {
    if (!Exec(QStringLiteral("BEGIN IMMEDIATE"), error_)) {
        return false;
    }
    // Only the row as it was sent, every column: one rewritten since (the
    // facts a run has learnt, its end) waits for the next sending.
    const Mapping::Columns& columns = HistorySchema::Stored();
    QSqlQuery mark(db_);
    bool ok = mark.prepare(QStringLiteral("UPDATE runs SET sent = 1 WHERE sent = 0 AND %1")
                               .arg(Mapping::Matching(columns)));
    for (std::size_t i = 0; ok && i < runs.size(); ++i) {
        Mapping::Bind(mark, columns, runs[i]);
        ok = mark.exec();
    }
    if (!ok) {
        error_ = Reason(mark);
    }
    mark.finish();
    std::string ignored;
    if (!ok || !Exec(QStringLiteral("COMMIT"), error_)) {
        Exec(QStringLiteral("ROLLBACK"), ignored);
        return false;
    }
    error_.clear();
    return true;
}

bool SqlHistoryStore::CountUnsent(std::int64_t& count) {
    count = 0;
    if (fileVersion_ == 0 && !writable_) {
        return true;
    }
    // Rows of a file older than the server's mark were never sent.
    QSqlQuery query(db_);
    if (!query.exec(OlderAsFound() && fileVersion_ < 3
                        ? QStringLiteral("SELECT COUNT(*) FROM runs")
                        : QStringLiteral("SELECT COUNT(*) FROM runs WHERE sent = 0")) ||
        !query.next()) {
        error_ = Reason(query);
        return false;
    }
    count = query.value(0).toLongLong();
    error_.clear();
    return true;
}
