#pragma once

#include <functional>
#include <vector>

#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include "HistorySchema.h"

// A run as both stores bind and read it, column by column as HistorySchema
// describes it: the one place a HistoryRun meets a query. Both drivers take
// "?" placeholders (Qt's PostgreSQL driver numbers them $1, $2, ... itself).
namespace HistoryRowMapping {

using Columns = std::vector<const HistorySchema::Column*>;

// Every column, in HistorySchema's order.
const Columns& Written();
// What a SELECT reads of them. With `textAsBytes` a text comes as BLOB:
// SQLite then hands over its own UTF-8 bytes instead of converting each
// text to UTF-16 and back, which is most of the time a long listing takes.
QString SelectList(const Columns& columns, bool textAsBytes);
// "name = ? AND ..." over the columns: the row exactly as they hold it.
QString Matching(const Columns& columns);

// Binds the run's columns to the query's placeholders, in order.
void Bind(QSqlQuery& query, const Columns& columns, const HistoryRun& run);
// Reads the columns of the query's current row (from position 0) into the
// run; other fields are left as they are.
void Read(const QSqlQuery& query, const Columns& columns, HistoryRun& run);
// Reads the query's rows one by one, handing each to `visit` until it
// returns false.
void Visit(QSqlQuery& query, const Columns& columns,
           const std::function<bool(const HistoryRun&)>& visit);

// Writes a whole row, every column bound with Bind(Written()): `verb` is
// "INSERT" (a new row) or "INSERT OR REPLACE" (SQLite's).
QString Insert(const QString& table, const QString& verb);
// The same that makes the row, or rewrites it while it is running; a row
// that has ended is left as it is (0 rows changed). `alsoSet`
// ("name = value") is added to a rewrite.
QString UpsertWhileRunning(const QString& table, const QString& alsoSet = {});

}  // namespace HistoryRowMapping
