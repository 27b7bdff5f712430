#include "HistoryFilterSql.h"

#include <cstdint>
#include <optional>
#include <tuple>
#include <utility>

#include <QStringList>

#include "HistoryDays.h"

QString HistoryFilterSql::Failed(bool eraseKnown) {
    QString failed = QStringLiteral("result IN ('failure', 'timeout', 'interrupted')");
    if (eraseKnown) {
        failed = QStringLiteral("(%1 OR (result = 'cancelled' AND erase_begun = 1))").arg(failed);
    }
    return failed;
}

bool HistoryFilterSql::Build(const HistoryFilter& filter, std::string& error, bool eraseKnown) {
    QStringList terms;
    binds.clear();
    if (!filter.serial.empty()) {
        // The start of the number, in either case (as a technician types it
        // off a label); the pattern's own wildcards are taken as text.
        QString prefix = QString::fromStdString(filter.serial).toUpper();
        prefix.replace(u'\\', QStringLiteral("\\\\"))
            .replace(u'%', QStringLiteral("\\%"))
            .replace(u'_', QStringLiteral("\\_"));
        terms << QStringLiteral("UPPER(unit_serial) LIKE ? ESCAPE '\\'");
        binds << prefix + u'%';
    }
    // "failure" stands for every run that left its unit without a finished
    // update (IsFailedRun's, as the day's figures count them); any other
    // word only for itself.
    if (filter.result == "failure") {
        terms << Failed(eraseKnown);
    } else if (!filter.result.empty()) {
        terms << QStringLiteral("result = ?");
        binds << QString::fromStdString(filter.result);
    }
    if (filter.port > 0) {
        terms << QStringLiteral("port = ?");
        binds << QVariant::fromValue<qlonglong>(filter.port);
    }
    for (const auto& [day, op, nextDay] :
         {std::tuple{&filter.fromDay, ">=", false}, std::tuple{&filter.toDay, "<", true}}) {
        if (day->empty()) {
            continue;
        }
        std::optional<std::int64_t> ms = HistoryDays::LocalDayStartMs(*day);
        if (!ms) {
            error = "not a day (YYYY-MM-DD): " + *day;
            return false;
        }
        if (nextDay) {
            // The first moment of the next local day (26 h on, back to its start).
            ms = HistoryDays::LocalDayStartMs(HistoryDays::LocalDay(*ms + 26 * 3'600'000LL));
        }
        terms << QStringLiteral("start_ms %1 ?").arg(QLatin1String(op));
        binds << QVariant::fromValue<qlonglong>(ms.value_or(0));
    }
    limit = filter.limit > 0 ? QStringLiteral(" LIMIT %1").arg(filter.limit) : QString();
    where = terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(u" AND ");
    return true;
}

QString HistoryFilterSql::And(const QString& term) const {
    return where + (where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) + term;
}

void HistoryFilterSql::BindTo(QSqlQuery& query) const {
    for (const QVariant& value : binds) {
        query.addBindValue(value);
    }
}
