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

    // False, with the reason, for a day that is not one. `eraseKnown`: the
    // table has the erase_begun column (a file of an older release read as
    // it is has not).
    bool Build(const HistoryFilter& filter, std::string& error, bool eraseKnown = true);
    // The runs IsFailedRun names, as a term.
    static QString Failed(bool eraseKnown);
    // The clause with one term more.
    QString And(const QString& term) const;
    // Binds the values to a prepared query.
    void BindTo(QSqlQuery& query) const;
};
