#include "HistoryFilterSql.h"

#include <cstdint>
#include <optional>
#include <tuple>
#include <utility>

#include <QStringList>

#include "HistoryDays.h"

bool HistoryFilterSql::Build(const HistoryFilter& filter, std::string& error) {
    QStringList terms;
    binds.clear();
    for (const auto& [column, value] :
         {std::pair{"unit_serial", &filter.serial}, std::pair{"result", &filter.result}}) {
        if (!value->empty()) {
            terms << QStringLiteral("%1 = ?").arg(QLatin1String(column));
            binds << QString::fromStdString(*value);
        }
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
