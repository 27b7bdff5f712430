#include "HistoryRowMapping.h"

#include <QStringList>

#include "HistoryDays.h"

namespace HistoryRowMapping {

namespace {

QString Name(const HistorySchema::Column& column) {
    return QLatin1String(column.name);
}

QString Joined(const Columns& columns, const QString& format, const QString& separator) {
    QStringList parts;
    for (const HistorySchema::Column* column : columns) {
        parts << format.arg(Name(*column));
    }
    return parts.join(separator);
}

QString Placeholders(std::size_t count) {
    QStringList marks;
    for (std::size_t i = 0; i < count; ++i) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}

QString NameList(const Columns& columns) {
    return Joined(columns, QStringLiteral("%1"), QStringLiteral(", "));
}

// The value a column holds for a run.
QVariant Value(const HistorySchema::Column& column, const HistoryRun& run) {
    const HistorySchema::Field& field = column.field;
    if (const auto* text = std::get_if<std::string HistoryRun::*>(&field)) {
        return QString::fromStdString(run.*(*text));
    }
    if (const auto* number = std::get_if<std::int64_t HistoryRun::*>(&field)) {
        return QVariant::fromValue<qlonglong>(run.*(*number));
    }
    if (const auto* small = std::get_if<int HistoryRun::*>(&field)) {
        return QVariant::fromValue<qlonglong>(run.*(*small));
    }
    // The one derived column: the writer's local day of the start.
    return QString::fromStdString(HistoryDays::LocalDay(run.startMs));
}

}  // namespace

const Columns& Written() {
    static const Columns all = [] {
        Columns columns;
        for (const HistorySchema::Column& column : HistorySchema::Columns()) {
            columns.push_back(&column);
        }
        return columns;
    }();
    return all;
}

QString SelectList(const Columns& columns, bool textAsBytes) {
    QStringList select;
    for (const HistorySchema::Column* column : columns) {
        select << (textAsBytes && !column->Integer()
                       ? QStringLiteral("CAST(%1 AS BLOB)").arg(Name(*column))
                       : Name(*column));
    }
    return select.join(QStringLiteral(", "));
}

QString Matching(const Columns& columns) {
    return Joined(columns, QStringLiteral("%1 = ?"), QStringLiteral(" AND "));
}

void Bind(QSqlQuery& query, const Columns& columns, const HistoryRun& run) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        query.bindValue(static_cast<int>(i), Value(*columns[i], run));
    }
}

void Read(const QSqlQuery& query, const Columns& columns, HistoryRun& run) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const QVariant value = query.value(static_cast<int>(i));
        const HistorySchema::Field& field = columns[i]->field;
        if (const auto* text = std::get_if<std::string HistoryRun::*>(&field)) {
            // A text's UTF-8 bytes: SQLite's as they are (see SelectList),
            // the server's converted once.
            const QByteArray bytes = value.toByteArray();
            (run.*(*text)).assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        } else if (const auto* number = std::get_if<std::int64_t HistoryRun::*>(&field)) {
            run.*(*number) = value.toLongLong();
        } else if (const auto* small = std::get_if<int HistoryRun::*>(&field)) {
            run.*(*small) = value.toInt();
        }
    }
}

void Visit(QSqlQuery& query, const Columns& columns,
           const std::function<bool(const HistoryRun&)>& visit) {
    HistoryRun run;
    while (query.next()) {
        Read(query, columns, run);
        if (!visit(run)) {
            break;
        }
    }
}

QString Insert(const QString& table, const QString& verb) {
    const Columns& columns = Written();
    return QStringLiteral("%1 INTO %2 (%3) VALUES (%4)")
        .arg(verb, table, NameList(columns), Placeholders(columns.size()));
}

QString UpsertWhileRunning(const QString& table, const QString& alsoSet) {
    const Columns& columns = Written();
    const Columns rewritten(columns.begin() + 1, columns.end());  // all but the id
    QString set = Joined(rewritten, QStringLiteral("%1 = EXCLUDED.%1"), QStringLiteral(", "));
    if (!alsoSet.isEmpty()) {
        set += QStringLiteral(", ") + alsoSet;
    }
    return QStringLiteral("%1 ON CONFLICT (id) DO UPDATE SET %2 WHERE %3.result = 'running'")
        .arg(Insert(table, QStringLiteral("INSERT")), set, table);
}

}  // namespace HistoryRowMapping
