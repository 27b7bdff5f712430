#pragma once

#include <string>

#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include "HistoryFilter.h"

// A HistoryFilter as both stores ask for it: the WHERE clause and the
// values of its "?" placeholders, in order. Days are this machine's local
// calendar, as the local day of a row is its writer's.
struct HistoryFilterSql {
    QString where;  // " WHERE ..." or empty (every run)
    QVariantList binds;
    QString limit;  // " LIMIT n" or empty (every run); after the ORDER BY

    // False, with the reason, for a day that is not one.
    bool Build(const HistoryFilter& filter, std::string& error);
    // The clause with one term more.
    QString And(const QString& term) const;
    // Binds the values to a prepared query.
    void BindTo(QSqlQuery& query) const;
};
