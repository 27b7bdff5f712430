#include "ServerHistoryStore.h"

#include <atomic>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include <libpq-fe.h>

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include "HistoryFilterSql.h"
#include "HistoryRowMapping.h"
#include "HistorySchema.h"

namespace {

constexpr const char* kTable = "gpsupdate_runs";
// Taken while the tables are made or migrated: several stations may reach
// a new server at once, and only the first may make them.
constexpr const char* kMigrationLock = "4207311";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The socket of the driver's connection (-1 when it cannot be told).
long long SocketOf(const QSqlDatabase& db) {
    // Qt names the driver's handle after libpq's struct.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "pg_conn*") != 0 &&
                              qstrcmp(handle.typeName(), "PGconn*") != 0)) {
        return -1;
    }
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    return connection != nullptr ? PQsocket(connection) : -1;
}

// Drops the connection under a call: the call sees it closed and returns.
void Drop(long long socket) {
#ifdef _WIN32
    shutdown(static_cast<SOCKET>(socket), SD_BOTH);
#else
    shutdown(static_cast<int>(socket), SHUT_RDWR);
#endif
}

// The statements that take the server's table from `version` - 1 to
// `version`: the columns HistorySchema added then, and the indexes the
// listings use.
QStringList Migration(int version) {
    QStringList columns;
    for (const HistorySchema::Column& column : HistorySchema::Columns()) {
        if (column.since != version || std::string(column.name) == "id") {
            continue;
        }
        QString text =
            QStringLiteral("%1 %2 NOT NULL")
                .arg(QLatin1String(column.name),
                     column.Integer() ? QStringLiteral("BIGINT") : QStringLiteral("TEXT"));
        if (*column.defaultValue != '\0') {
            text += QStringLiteral(" DEFAULT ") + QLatin1String(column.defaultValue);
        }
        columns << text;
    }
    QStringList statements;
    const QString table = QLatin1String(kTable);
    if (version == 1) {
        columns.prepend(QStringLiteral("id TEXT PRIMARY KEY"));
        statements << QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns.join(u", "));
        statements << QStringLiteral("CREATE INDEX %1_by_start ON %1 (start_ms)").arg(table);
        statements
            << QStringLiteral("CREATE INDEX %1_by_serial ON %1 (unit_serial, start_ms)").arg(table);
        statements << QStringLiteral("CREATE INDEX %1_by_host ON %1 (host, start_ms)").arg(table);
        return statements;
    }
    for (const QString& column : columns) {
        statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(table, column);
    }
    return statements;
}

}  // namespace

ServerHistoryStore::ServerHistoryStore() {
    static std::atomic<int> count{0};
    connection_ = QStringLiteral("gpsupdate-history-server-%1").arg(++count);
}

ServerHistoryStore::~ServerHistoryStore() {
    if (db_.isValid()) {
        db_.close();
    }
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

std::unique_ptr<ServerHistoryStore> ServerHistoryStore::Open(
    const ServerUrl& url, std::string& error, std::shared_ptr<CallDeadline> deadline) {
    std::unique_ptr<ServerHistoryStore> store(new ServerHistoryStore());
    store->shown_ = url.Shown();
    store->deadline_ = deadline != nullptr ? std::move(deadline) : std::make_shared<CallDeadline>();
    if (store->deadline_->GivenUp()) {
        error = store->shown_ + ": not tried, the program is ending";
        return nullptr;
    }
    if (!store->Connect(url, error) || !store->Migrate(error)) {
        return nullptr;
    }
    return store;
}

bool ServerHistoryStore::Bounded(const std::function<bool()>& call) {
    if (cut_) {
        return false;
    }
    if (socket_ < 0) {
        return call();  // nothing to cut it with
    }
    const long long socket = socket_;
    deadline_->Arm(std::chrono::milliseconds(kCallMs), [socket] { Drop(socket); });
    const bool ok = call();
    if (deadline_->Disarm()) {
        cut_ = true;
        return false;
    }
    return ok;
}

std::string ServerHistoryStore::Reason(const QString& what, const QSqlError& error) const {
    if (cut_) {
        return shown_ + ": " + what.toStdString() + ": no answer within " +
               std::to_string(kCallMs / 1000) + " s (the connection was dropped)";
    }
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) {
        text = error.driverText().trimmed();
    }
    if (text.isEmpty()) {
        text = QStringLiteral("no answer");
    }
    // libpq's hints come on lines of their own; a reason is one line.
    text = text.simplified();
    return shown_ + ": " + what.toStdString() + ": " + text.toStdString();
}

bool ServerHistoryStore::Connect(const ServerUrl& url, std::string& error) {
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection_);
    if (!db_.isValid()) {
        error = "the PostgreSQL driver of Qt SQL is missing (Debian: libqt6sql6-psql)";
        return false;
    }
    db_.setHostName(Text(url.host));
    db_.setPort(url.port);
    db_.setDatabaseName(Text(url.database));
    if (!url.user.empty()) {
        db_.setUserName(Text(url.user));
    }
    if (!url.password.empty()) {
        db_.setPassword(Text(url.password));
    }
    // The connection's waits, each bounded: reaching the server and its
    // answer to the log-in; a connection that goes quiet (the network or
    // the server gone) is given up after kLostMs.
    db_.setConnectOptions(QStringLiteral("connect_timeout=%1;tcp_user_timeout=%2;keepalives=1;"
                                         "keepalives_idle=2;keepalives_interval=1;"
                                         "keepalives_count=3;application_name=gpsupdate")
                              .arg(kConnectSeconds)
                              .arg(kLostMs));
    if (!db_.open()) {
        error = Reason(QStringLiteral("cannot connect"), db_.lastError());
        return false;
    }
    socket_ = SocketOf(db_);
    return Exec(QStringLiteral("SET statement_timeout = %1").arg(kStatementMs), error);
}

bool ServerHistoryStore::Exec(const QString& sql, std::string& error) {
    QSqlQuery query(db_);
    if (!Bounded([&] { return query.exec(sql); })) {
        error = Reason(sql.section(QLatin1Char(' '), 0, 2), query.lastError());
        return false;
    }
    return true;
}

bool ServerHistoryStore::Migrate(std::string& error) {
    const auto version = [this]() -> int {
        QSqlQuery query(db_);
        if (!Bounded([&] {
                return query.exec(QStringLiteral("SELECT max(version) FROM gpsupdate_schema")) &&
                       query.next();
            })) {
            return 0;
        }
        return query.value(0).toInt();
    };
    foundVersion_ = version();
    if (cut_) {
        error = Reason(QStringLiteral("cannot read the schema"), QSqlError());
        return false;
    }
    if (foundVersion_ >= HistorySchema::kVersion) {
        // Up to date (a user with only the rights to read and write rows
        // gets here), or a newer program's: its rows hold every column
        // this one writes.
        return true;
    }
    if (!Bounded([this] { return db_.transaction(); })) {
        error = Reason(QStringLiteral("cannot begin"), db_.lastError());
        return false;
    }
    bool ok =
        Exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(QLatin1String(kMigrationLock)),
             error) &&
        Exec(QStringLiteral("CREATE TABLE IF NOT EXISTS gpsupdate_schema (version INTEGER NOT "
                            "NULL)"),
             error);
    const int current = ok ? version() : 0;
    for (int step = current + 1; ok && step <= HistorySchema::kVersion; ++step) {
        for (const QString& statement : Migration(step)) {
            if (!Exec(statement, error)) {
                ok = false;
                break;
            }
        }
    }
    ok =
        ok && Exec(QStringLiteral("DELETE FROM gpsupdate_schema"), error) &&
        Exec(
            QStringLiteral("INSERT INTO gpsupdate_schema VALUES (%1)").arg(HistorySchema::kVersion),
            error);
    if (!ok) {
        Bounded([this] { return db_.rollback(); });
        if (!cut_) {
            error += " (the user needs the right to create tables to set the server up)";
        }
        return false;
    }
    if (!Bounded([this] { return db_.commit(); })) {
        error = Reason(QStringLiteral("cannot commit"), db_.lastError());
        return false;
    }
    return true;
}

bool ServerHistoryStore::Begin(const HistoryRun& run) {
    return Send({run});
}

bool ServerHistoryStore::Update(const HistoryRun& run) {
    return Send({run});
}

bool ServerHistoryStore::Complete(const HistoryRun& run) {
    return Send({run});
}

bool ServerHistoryStore::Send(const std::vector<HistoryRun>& runs) {
    if (runs.empty()) {
        return true;
    }
    // A row still running on the server takes what is sent; one that has
    // ended stays as it is.
    const QString sql = HistoryRowMapping::UpsertWhileRunning(QLatin1String(kTable));
    if (!Bounded([this] { return db_.transaction(); })) {
        error_ = Reason(QStringLiteral("cannot begin"), db_.lastError());
        return false;
    }
    QSqlQuery query(db_);
    bool ok = Bounded([&] { return query.prepare(sql); });
    for (std::size_t i = 0; ok && i < runs.size(); ++i) {
        HistoryRowMapping::Bind(query, HistoryRowMapping::Written(), runs[i]);
        ok = Bounded([&] { return query.exec(); });
    }
    if (!ok) {
        error_ = Reason(QStringLiteral("cannot write"), query.lastError());
        query.finish();
        Bounded([this] { return db_.rollback(); });
        return false;
    }
    query.finish();
    if (!Bounded([this] { return db_.commit(); })) {
        error_ = Reason(QStringLiteral("cannot commit"), db_.lastError());
        return false;
    }
    error_.clear();
    return true;
}

bool ServerHistoryStore::Each(const HistoryFilter& filter, bool /*allFields*/,
                              const std::function<bool(const HistoryRun&)>& visit) {
    HistoryFilterSql where;
    if (!where.Build(filter, error_)) {
        return false;
    }
    const HistoryRowMapping::Columns& columns = HistorySchema::Stored();
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    bool ok = Bounded([&] {
        return query.prepare(QStringLiteral("SELECT %1 FROM %2%3 ORDER BY start_ms DESC, id DESC%4")
                                 .arg(HistoryRowMapping::SelectList(columns, false),
                                      QLatin1String(kTable), where.where, where.limit));
    });
    where.BindTo(query);
    if (!ok || !Bounded([&] { return query.exec(); })) {
        error_ = Reason(QStringLiteral("cannot list"), query.lastError());
        return false;
    }
    // The rows come as they are read: each within the bound.
    HistoryRun run;
    while (Bounded([&] { return query.next(); })) {
        HistoryRowMapping::Read(query, columns, run);
        if (!visit(run)) {
            break;
        }
    }
    if (cut_) {
        error_ = Reason(QStringLiteral("cannot list"), query.lastError());
        return false;
    }
    error_.clear();
    return true;
}

bool ServerHistoryStore::Days(const HistoryFilter& filter, std::vector<DayStats>& days) {
    std::vector<HistoryRun> runs;
    if (!List(filter, runs)) {
        return false;
    }
    days = StatsByDay(runs);
    return true;
}
