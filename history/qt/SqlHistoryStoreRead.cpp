// The SQLite store's readings: the runs one by one, and the figures per day
// summed where the rows are.

#include <QVariant>

#include "HistoryFilterSql.h"
#include "HistoryRowMapping.h"
#include "SqlHistoryStore.h"

namespace Mapping = HistoryRowMapping;

HistoryRowMapping::Columns SqlHistoryStore::Readable(
    const HistoryRowMapping::Columns& wanted) const {
    if (!OlderAsFound()) {
        return wanted;
    }
    // A file read as it is, of an older version: the columns it has (the
    // rest keep their defaults).
    Mapping::Columns columns;
    for (const HistorySchema::Column* column : wanted) {
        if (columns_.contains(QLatin1String(column->name))) {
            columns.push_back(column);
        }
    }
    return columns;
}

bool SqlHistoryStore::EraseKnown() const {
    return !OlderAsFound() || columns_.contains(QStringLiteral("erase_begun"));
}

bool SqlHistoryStore::Each(const HistoryFilter& filter, bool allFields,
                           const std::function<bool(const HistoryRun&)>& visit) {
    if (fileVersion_ == 0 && !writable_) {
        return true;  // an empty file opened for reading: no runs yet
    }
    HistoryFilterSql where;
    if (!where.Build(filter, error_, EraseKnown())) {
        return false;
    }
    const Mapping::Columns columns =
        Readable(allFields ? HistorySchema::Stored() : HistorySchema::Listing());
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT %1 FROM runs%2 ORDER BY start_ms DESC, rowid DESC%3")
                           .arg(Mapping::SelectList(columns, true), where.where, where.limit))) {
        error_ = Reason(query);
        return false;
    }
    where.BindTo(query);
    if (!query.exec()) {
        error_ = Reason(query);
        return false;
    }
    Mapping::Visit(query, columns, visit);
    error_.clear();
    return true;
}

namespace {

// Each day's median of the successful updates' lengths, read in day and
// length order, into that day's figures (in day order too).
void TakeMedians(QSqlQuery& lengths, std::vector<DayStats>& days) {
    auto day = days.begin();
    std::string current;
    std::vector<std::int64_t> ms;
    const auto median = [&] {
        while (day != days.end() && day->day < current) {
            ++day;
        }
        if (!ms.empty() && day != days.end() && day->day == current) {
            const std::size_t mid = ms.size() / 2;
            const double middle =
                ms.size() % 2 == 1 ? static_cast<double>(ms[mid]) : (ms[mid - 1] + ms[mid]) / 2.0;
            day->medianUpdateSeconds = middle / 1000.0;
        }
        ms.clear();
    };
    while (lengths.next()) {
        const std::string name = lengths.value(0).toString().toStdString();
        if (name != current) {
            median();
            current = name;
        }
        ms.push_back(lengths.value(1).toLongLong());
    }
    median();
}

}  // namespace

bool SqlHistoryStore::Days(const HistoryFilter& filter, std::vector<DayStats>& days) {
    days.clear();
    if (fileVersion_ == 0 && !writable_) {
        return true;
    }
    if (OlderAsFound() && fileVersion_ < 2) {
        // Read as it is: the figures need the local days a newer version keeps.
        error_ =
            "the history file is of an old version: start gpsupdate once to bring it up to date";
        return false;
    }
    HistoryFilterSql where;
    if (!where.Build(filter, error_, EraseKnown())) {
        return false;
    }
    // Summed where the rows are, so that a year of a busy shop is not read
    // row by row: the same figures as StatsByDay, failures being the
    // runs IsFailedRun names. The medians come from the successful
    // updates' lengths, read in order from their own index.
    const QString failed = HistoryFilterSql::Failed(EraseKnown());
    const QString sums =
        QStringLiteral(
            "SELECT local_day, COUNT(*), COUNT(DISTINCT NULLIF(unit_serial, '')), "
            "SUM(result = 'success'), SUM(%1), SUM(kind = 'update'), SUM(kind = 'update' AND %1), "
            "SUM(kind = 'update' AND result = 'success') "
            "FROM runs%2 GROUP BY local_day ORDER BY local_day")
            .arg(failed, where.where);
    const QString lengths =
        QStringLiteral(
            "SELECT local_day, end_ms - start_ms FROM runs%1 ORDER BY local_day, "
            "end_ms - start_ms")
            .arg(where.And(QStringLiteral("kind = 'update' AND result = 'success'")));
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    const auto run = [&](const QString& sql) {
        if (!query.prepare(sql)) {
            return false;
        }
        where.BindTo(query);
        return query.exec();
    };
    if (!run(sums)) {
        error_ = Reason(query);
        return false;
    }
    while (query.next()) {
        DayStats day;
        day.day = query.value(0).toString().toStdString();
        day.runs = query.value(1).toInt();
        day.units = query.value(2).toInt();
        day.successes = query.value(3).toInt();
        day.failures = query.value(4).toInt();
        day.updates = query.value(5).toInt();
        day.updateFailures = query.value(6).toInt();
        day.updateSuccesses = query.value(7).toInt();
        days.push_back(day);
    }
    if (!run(lengths)) {
        error_ = Reason(query);
        return false;
    }
    TakeMedians(query, days);
    error_.clear();
    return true;
}
