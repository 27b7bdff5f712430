#include "SqlHistoryStore.h"

#include <array>
#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <thread>
#include <tuple>

#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

#include "HistoryDays.h"
#include "HistorySchema.h"
#include "ProcessFacts.h"

namespace {

// Each step takes the file from the version before it to its own.
// Version 1: the runs with their unit and data file facts.
// Versions 1 and 2 are HistorySchema's (the columns the server has too);
// version 3 is the file's own.
// Version 2: the blocks written, the retries and the trace of a run; the
// local day of its start (the writer's calendar, so that the figures per
// day are summed without a time conversion per row; older rows get the
// migrating host's); the indexes the listings and the figures use.
constexpr std::array<const char*, SqlHistoryStore::kSchemaVersion> kMigrations = {
    R"(CREATE TABLE runs (
        id TEXT PRIMARY KEY NOT NULL,
        kind TEXT NOT NULL,
        start_ms INTEGER NOT NULL,
        end_ms INTEGER NOT NULL DEFAULT 0,
        result TEXT NOT NULL,
        failure_text TEXT NOT NULL DEFAULT '',
        failure_stage TEXT NOT NULL DEFAULT '',
        port INTEGER NOT NULL DEFAULT 0,
        device TEXT NOT NULL DEFAULT '',
        host TEXT NOT NULL DEFAULT '',
        pid INTEGER NOT NULL DEFAULT 0,
        program TEXT NOT NULL DEFAULT '',
        program_version TEXT NOT NULL DEFAULT '',
        unit_serial TEXT NOT NULL DEFAULT '',
        unit_program_version TEXT NOT NULL DEFAULT '',
        unit_data_version TEXT NOT NULL DEFAULT '',
        unit_record_report TEXT NOT NULL DEFAULT '',
        file_name TEXT NOT NULL DEFAULT '',
        file_size INTEGER NOT NULL DEFAULT -1,
        file_sha256 TEXT NOT NULL DEFAULT '',
        file_data_version TEXT NOT NULL DEFAULT '');)",
    R"(ALTER TABLE runs ADD COLUMN blocks_written INTEGER NOT NULL DEFAULT 0;
       ALTER TABLE runs ADD COLUMN retries INTEGER NOT NULL DEFAULT 0;
       ALTER TABLE runs ADD COLUMN trace_path TEXT NOT NULL DEFAULT '';
       ALTER TABLE runs ADD COLUMN local_day TEXT NOT NULL DEFAULT '';
       UPDATE runs SET local_day = date(start_ms / 1000, 'unixepoch', 'localtime');
       CREATE INDEX runs_by_start ON runs (start_ms);
       CREATE INDEX runs_by_day ON runs (local_day, kind, result, unit_serial);
       CREATE INDEX runs_good_updates ON runs (local_day, end_ms - start_ms)
           WHERE kind = 'update' AND result = 'success';
       CREATE INDEX runs_by_serial ON runs (unit_serial, start_ms);
       CREATE INDEX runs_running ON runs (host) WHERE result = 'running';)",
    // Version 3: whether the history server has confirmed the row as it is
    // now. Every write clears it (the column's default); rows of older
    // files have never been sent.
    R"(ALTER TABLE runs ADD COLUMN sent INTEGER NOT NULL DEFAULT 0;
       CREATE INDEX runs_unsent ON runs (start_ms) WHERE sent = 0;)",
};

const std::string kColumns = HistorySchema::ReadList();
const int kColumnCount = static_cast<int>(HistorySchema::Columns().size());
static_assert(HistorySchema::kVersion == 2, "a new shared column needs a migration of the file");

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Std(const QVariant& value) {
    return value.toString().toStdString();
}

// A text column read as the bytes SQLite keeps (UTF-8): see SelectList.
std::string Utf8(const QVariant& value) {
    const QByteArray bytes = value.toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The columns of a listing. Text comes as BLOB: the driver then hands over
// SQLite's own UTF-8 bytes instead of converting each text to UTF-16 and
// back, which is most of the time a long listing takes.
QString SelectList(const std::string& columns) {
    static const QStringList numbers = {
        QStringLiteral("start_ms"), QStringLiteral("end_ms"),    QStringLiteral("port"),
        QStringLiteral("pid"),      QStringLiteral("file_size"), QStringLiteral("blocks_written"),
        QStringLiteral("retries")};
    QStringList select;
    for (const QString& column : QString::fromStdString(columns).split(QStringLiteral(", "))) {
        select << (numbers.contains(column) ? column
                                            : QStringLiteral("CAST(%1 AS BLOB)").arg(column));
    }
    return select.join(QStringLiteral(", "));
}

// What SQLite files begin with; a file that does not is left alone.
bool LooksLikeSqlite(const std::filesystem::path& file, std::string& error) {
    std::error_code code;
    if (!std::filesystem::exists(file, code)) {
        return true;
    }
    const auto size = std::filesystem::file_size(file, code);
    if (!code && size == 0) {
        return true;  // SQLite's own start of a new file
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read " + file.string();
        return false;
    }
    char head[16] = {};
    in.read(head, sizeof head);
    if (in.gcount() != sizeof head ||
        std::string(head, sizeof head) != std::string("SQLite format 3\0", 16)) {
        error = file.string() + " is not a history database (left as it is)";
        return false;
    }
    return true;
}

std::string Placeholders() {
    std::string text;
    for (int i = 0; i < kColumnCount; ++i) {
        text += i == 0 ? "?" : ", ?";
    }
    return text;
}

}  // namespace

SqlHistoryStore::SqlHistoryStore() {
    static std::atomic<int> count{0};
    connection_ = QStringLiteral("gpsupdate-history-%1").arg(++count);
}

SqlHistoryStore::~SqlHistoryStore() {
    insert_.reset();
    upsert_.reset();
    if (db_.isValid()) {
        db_.close();
    }
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

std::unique_ptr<SqlHistoryStore> SqlHistoryStore::Open(const std::filesystem::path& file,
                                                       std::string& error, Options options) {
    std::error_code code;
    const std::filesystem::path folder = file.parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, code)) {
        if (!options.createFolder || options.readOnly) {
            error = "the folder " + folder.string() + " does not exist";
            return nullptr;
        }
        if (!std::filesystem::create_directories(folder, code) && code) {
            error = "cannot make the folder " + folder.string() + ": " + code.message();
            return nullptr;
        }
    }
    if (options.readOnly && !std::filesystem::exists(file, code)) {
        error = file.string() + " does not exist";
        return nullptr;
    }
    if (!LooksLikeSqlite(file, error)) {
        return nullptr;
    }
    std::unique_ptr<SqlHistoryStore> store(new SqlHistoryStore());
    if (!store->Prepare(file, options, error)) {
        error = file.string() + ": " + error;
        return nullptr;
    }
    return store;
}

bool SqlHistoryStore::Prepare(const std::filesystem::path& file, const Options& options,
                              std::string& error) {
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db_.isValid()) {
        error = "the SQLite driver of Qt SQL is missing";
        return false;
    }
    db_.setDatabaseName(QString::fromStdU16String(file.u16string()));
    QString connectOptions = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
    if (options.readOnly) {
        connectOptions += QStringLiteral(";QSQLITE_OPEN_READONLY");
    }
    db_.setConnectOptions(connectOptions);
    if (!db_.open()) {
        error = db_.lastError().text().toStdString();
        return false;
    }
    QSqlQuery version(db_);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
        error = Reason(version);
        return false;
    }
    fileVersion_ = version.value(0).toInt();
    version.finish();  // an open statement would hold a read transaction
    if (options.readOnly) {
        writable_ = false;
        return true;
    }
    // The write-ahead log: readers (the history window, a listing) never
    // hold up a writer, and a write is one append. NORMAL synchronisation
    // is enough with it: a power loss can lose the last run's row, never
    // spoil the file.
    //
    // The switch needs the file to itself. Programs opening a new file at
    // the same moment can each hold it shared and want it alone; SQLite then
    // refuses one of them at once instead of letting it wait. The other
    // switches within a moment, so the refused one tries again for as long
    // as a busy write would wait.
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    QString mode;
    for (;;) {
        QSqlQuery journal(db_);
        if (journal.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && journal.next()) {
            mode = journal.value(0).toString();
            break;
        }
        if (journal.lastError().nativeErrorCode() != QLatin1String("5") ||
            std::chrono::steady_clock::now() > giveUp) {
            error = Reason(journal);
            return false;
        }
        std::this_thread::yield();
    }
    if (mode.compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0) {
        error = "the write-ahead log cannot be used (journal mode " + mode.toStdString() + ")";
        return false;
    }
    if (!Exec(QStringLiteral("PRAGMA synchronous=NORMAL"), error) || !Migrate(error)) {
        return false;
    }
    if (!writable_) {
        return true;
    }
    if (!MarkInterrupted(error)) {
        return false;
    }
    const QString columns = QString::fromStdString(HistorySchema::WriteList());
    const QString values = QString::fromStdString(Placeholders());
    insert_ = std::make_unique<QSqlQuery>(db_);
    upsert_ = std::make_unique<QSqlQuery>(db_);
    if (!insert_->prepare(
            QStringLiteral("INSERT INTO runs (%1) VALUES (%2)").arg(columns, values))) {
        error = Reason(*insert_);
        return false;
    }
    // The end of a run replaces its row, or makes it when the start could
    // not be written.
    if (!upsert_->prepare(
            QStringLiteral("INSERT OR REPLACE INTO runs (%1) VALUES (%2)").arg(columns, values))) {
        error = Reason(*upsert_);
        return false;
    }
    return true;
}

bool SqlHistoryStore::Exec(const QString& sql, std::string& error) {
    QSqlQuery query(db_);
    if (!query.exec(sql)) {
        error = Reason(query);
        return false;
    }
    return true;
}

bool SqlHistoryStore::Migrate(std::string& error) {
    if (fileVersion_ == kSchemaVersion) {
        return true;
    }
    if (fileVersion_ > kSchemaVersion) {
        // A newer program's file: listed, never written.
        writable_ = false;
        return true;
    }
    // The lock first, then the version again: several programs may open a
    // new file at once, and only the first may create the tables.
    if (!Exec(QStringLiteral("BEGIN IMMEDIATE"), error)) {
        return false;
    }
    QSqlQuery version(db_);
    int current = 0;
    if (version.exec(QStringLiteral("PRAGMA user_version")) && version.next()) {
        current = version.value(0).toInt();
    }
    version.finish();
    bool ok = true;
    for (int step = current; ok && step < kSchemaVersion; ++step) {
        const QStringList statements =
            QString::fromLatin1(kMigrations[static_cast<std::size_t>(step)])
                .split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& statement : statements) {
            if (!statement.trimmed().isEmpty() && !Exec(statement, error)) {
                ok = false;
                break;
            }
        }
    }
    ok = ok && Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion), error) &&
         Exec(QStringLiteral("COMMIT"), error);
    if (!ok) {
        std::string ignored;
        Exec(QStringLiteral("ROLLBACK"), ignored);
    }
    return ok;
}

bool SqlHistoryStore::MarkInterrupted(std::string& error) {
    QSqlQuery running(db_);
    running.setForwardOnly(true);
    running.prepare(
        QStringLiteral("SELECT id, pid FROM runs WHERE result = 'running' AND host = ?"));
    running.addBindValue(Text(ProcessFacts::HostName()));
    if (!running.exec()) {
        error = Reason(running);
        return false;
    }
    QStringList gone;
    while (running.next()) {
        if (!ProcessFacts::IsAlive(running.value(1).toLongLong())) {
            gone.push_back(running.value(0).toString());
        }
    }
    running.finish();
    for (const QString& id : gone) {
        QSqlQuery mark(db_);
        mark.prepare(
            QStringLiteral("UPDATE runs SET result = 'interrupted', sent = 0 WHERE id = ? AND "
                           "result = 'running'"));
        mark.addBindValue(id);
        if (!mark.exec()) {
            error = Reason(mark);
            return false;
        }
        markedInterrupted_ += mark.numRowsAffected();
    }
    return true;
}

bool SqlHistoryStore::Write(QSqlQuery& query, const HistoryRun& run) {
    if (!writable_) {
        error_ = "the history file was made by a newer version of the program";
        return false;
    }
    const QVariantList values = {Text(run.id),
                                 Text(run.kind),
                                 QVariant::fromValue<qlonglong>(run.startMs),
                                 QVariant::fromValue<qlonglong>(run.endMs),
                                 Text(run.result),
                                 Text(run.failureText),
                                 Text(run.failureStage),
                                 run.port,
                                 Text(run.device),
                                 Text(run.host),
                                 QVariant::fromValue<qlonglong>(run.pid),
                                 Text(run.program),
                                 Text(run.programVersion),
                                 Text(run.unitSerial),
                                 Text(run.unitProgramVersion),
                                 Text(run.unitDataVersion),
                                 Text(run.unitRecordReport),
                                 Text(run.fileName),
                                 QVariant::fromValue<qlonglong>(run.fileSize),
                                 Text(run.fileSha256),
                                 Text(run.fileDataVersion),
                                 QVariant::fromValue<qlonglong>(run.blocksWritten),
                                 QVariant::fromValue<qlonglong>(run.retries),
                                 Text(run.tracePath),
                                 Text(HistoryDays::LocalDay(run.startMs))};
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    if (!query.exec()) {
        error_ = Reason(query);
        return false;
    }
    query.finish();
    error_.clear();
    return true;
}

bool SqlHistoryStore::Begin(const HistoryRun& run) {
    return Write(*insert_, run);
}

bool SqlHistoryStore::Complete(const HistoryRun& run) {
    return Write(*upsert_, run);
}

bool SqlHistoryStore::List(const HistoryFilter& filter, std::vector<HistoryRun>& runs) {
    runs.clear();
    return Each(filter, true, [&runs](const HistoryRun& run) {
        runs.push_back(run);
        return true;
    });
}

bool SqlHistoryStore::Where(const HistoryFilter& filter, QString& where, QVariantList& binds) {
    QStringList terms;
    if (!filter.serial.empty()) {
        terms << QStringLiteral("unit_serial = ?");
        binds << Text(filter.serial);
    }
    if (!filter.result.empty()) {
        terms << QStringLiteral("result = ?");
        binds << Text(filter.result);
    }
    if (filter.port > 0) {
        terms << QStringLiteral("port = ?");
        binds << filter.port;
    }
    for (const auto& [day, op, nextDay] :
         {std::tuple{&filter.fromDay, ">=", false}, std::tuple{&filter.toDay, "<", true}}) {
        if (day->empty()) {
            continue;
        }
        std::optional<std::int64_t> ms = HistoryDays::LocalDayStartMs(*day);
        if (!ms) {
            error_ = "not a day (YYYY-MM-DD): " + *day;
            return false;
        }
        if (nextDay) {
            // The first moment of the next local day (26 h on, back to its start).
            ms = HistoryDays::LocalDayStartMs(HistoryDays::LocalDay(*ms + 26 * 3'600'000LL));
        }
        terms << QStringLiteral("start_ms %1 ?").arg(QLatin1String(op));
        binds << QVariant::fromValue<qlonglong>(ms.value_or(0));
    }
    if (!terms.isEmpty()) {
        where = QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
    }
    return true;
}

bool SqlHistoryStore::Each(const HistoryFilter& filter, bool allFields,
                           const std::function<bool(const HistoryRun&)>& visit) {
    if (fileVersion_ == 0 && !writable_) {
        return true;  // an empty file opened for reading: no runs yet
    }
    QString where;
    QVariantList binds;
    if (!Where(filter, where, binds)) {
        return false;
    }
    QString sql = QStringLiteral("SELECT %1 FROM runs%2 ORDER BY start_ms DESC, rowid DESC")
                      .arg(allFields ? SelectList(kColumns)
                                     : SelectList(std::string(
                                           "id, kind, start_ms, end_ms, result, failure_text, "
                                           "failure_stage, port, unit_serial, file_data_version")),
                           where);
    if (filter.limit > 0) {
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    }
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        error_ = Reason(query);
        return false;
    }
    for (const QVariant& value : binds) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        error_ = Reason(query);
        return false;
    }
    HistoryRun run;
    while (query.next()) {
        run.id = Utf8(query.value(0));
        run.kind = Utf8(query.value(1));
        run.startMs = query.value(2).toLongLong();
        run.endMs = query.value(3).toLongLong();
        run.result = Utf8(query.value(4));
        run.failureText = Utf8(query.value(5));
        run.failureStage = Utf8(query.value(6));
        run.port = query.value(7).toInt();
        if (!allFields) {
            run.unitSerial = Utf8(query.value(8));
            run.fileDataVersion = Utf8(query.value(9));
            if (!visit(run)) {
                break;
            }
            continue;
        }
        ReadRest(query, run);
        if (!visit(run)) {
            break;
        }
    }
    error_.clear();
    return true;
}

void SqlHistoryStore::ReadRest(const QSqlQuery& query, HistoryRun& run) {
    run.device = Utf8(query.value(8));
    run.host = Utf8(query.value(9));
    run.pid = query.value(10).toLongLong();
    run.program = Utf8(query.value(11));
    run.programVersion = Utf8(query.value(12));
    run.unitSerial = Utf8(query.value(13));
    run.unitProgramVersion = Utf8(query.value(14));
    run.unitDataVersion = Utf8(query.value(15));
    run.unitRecordReport = Utf8(query.value(16));
    run.fileName = Utf8(query.value(17));
    run.fileSize = query.value(18).toLongLong();
    run.fileSha256 = Utf8(query.value(19));
    run.fileDataVersion = Utf8(query.value(20));
    run.blocksWritten = query.value(21).toLongLong();
    run.retries = query.value(22).toLongLong();
    run.tracePath = Utf8(query.value(23));
}

bool SqlHistoryStore::Unsent(int limit, std::vector<HistoryRun>& runs) {
    runs.clear();
    if (!writable_) {
        error_ = "the history file was made by a newer version of the program";
        return false;
    }
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM runs WHERE sent = 0 ORDER BY start_ms, rowid "
                                   "LIMIT %2")
                        .arg(SelectList(kColumns))
                        .arg(limit))) {
        error_ = Reason(query);
        return false;
    }
    while (query.next()) {
        HistoryRun run;
        run.id = Utf8(query.value(0));
        run.kind = Utf8(query.value(1));
        run.startMs = query.value(2).toLongLong();
        run.endMs = query.value(3).toLongLong();
        run.result = Utf8(query.value(4));
        run.failureText = Utf8(query.value(5));
        run.failureStage = Utf8(query.value(6));
        run.port = query.value(7).toInt();
        ReadRest(query, run);
        runs.push_back(std::move(run));
    }
    error_.clear();
    return true;
}

bool SqlHistoryStore::MarkSent(const std::vector<HistoryRun>& runs) {
    if (!Exec(QStringLiteral("BEGIN IMMEDIATE"), error_)) {
        return false;
    }
    // Only the row as it was sent: one rewritten since (its end) waits for
    // the next sending.
    QSqlQuery mark(db_);
    bool ok = mark.prepare(QStringLiteral(
        "UPDATE runs SET sent = 1 WHERE id = ? AND result = ? AND end_ms = ? AND sent = 0"));
    for (std::size_t i = 0; ok && i < runs.size(); ++i) {
        mark.bindValue(0, Text(runs[i].id));
        mark.bindValue(1, Text(runs[i].result));
        mark.bindValue(2, QVariant::fromValue<qlonglong>(runs[i].endMs));
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
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM runs WHERE sent = 0")) || !query.next()) {
        error_ = Reason(query);
        return false;
    }
    count = query.value(0).toLongLong();
    error_.clear();
    return true;
}

bool SqlHistoryStore::Days(const HistoryFilter& filter, std::vector<DayStats>& days) {
    days.clear();
    if (fileVersion_ == 0 && !writable_) {
        return true;
    }
    QString where;
    QVariantList binds;
    if (!Where(filter, where, binds)) {
        return false;
    }
    // Summed where the rows are, so that a year of a busy shop is not read
    // row by row: the same figures as StatsByDay, failures being the
    // results IsFailureResult names. The medians come from the successful
    // updates' lengths, read in order from their own index.
    const QString failed = QStringLiteral("result IN ('failure', 'timeout', 'interrupted')");
    const QString sums =
        QStringLiteral(
            "SELECT local_day, COUNT(*), COUNT(DISTINCT NULLIF(unit_serial, '')), "
            "SUM(result = 'success'), SUM(%1), SUM(kind = 'update'), SUM(kind = 'update' AND %1) "
            "FROM runs%2 GROUP BY local_day ORDER BY local_day")
            .arg(failed, where);
    const QString lengths =
        QStringLiteral(
            "SELECT local_day, end_ms - start_ms FROM runs%1%2 kind = 'update' AND result = "
            "'success' ORDER BY local_day, end_ms - start_ms")
            .arg(where, where.isEmpty() ? QStringLiteral(" WHERE") : QStringLiteral(" AND"));
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    const auto run = [&](const QString& sql) {
        if (!query.prepare(sql)) {
            return false;
        }
        for (const QVariant& value : binds) {
            query.addBindValue(value);
        }
        return query.exec();
    };
    if (!run(sums)) {
        error_ = Reason(query);
        return false;
    }
    while (query.next()) {
        DayStats day;
        day.day = Std(query.value(0));
        day.runs = query.value(1).toInt();
        day.units = query.value(2).toInt();
        day.successes = query.value(3).toInt();
        day.failures = query.value(4).toInt();
        day.updates = query.value(5).toInt();
        day.updateFailures = query.value(6).toInt();
        days.push_back(day);
    }
    if (!run(lengths)) {
        error_ = Reason(query);
        return false;
    }
    // Both in day order: each day's lengths go to its figures.
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
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (name != QString::fromStdString(current)) {
            median();
            current = name.toStdString();
        }
        ms.push_back(query.value(1).toLongLong());
    }
    median();
    error_.clear();
    return true;
}

std::string SqlHistoryStore::IntegrityCheck() {
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("PRAGMA integrity_check"))) {
        return Reason(query);
    }
    std::string findings;
    while (query.next()) {
        findings += (findings.empty() ? "" : "\n") + Std(query.value(0));
    }
    return findings;
}

std::string SqlHistoryStore::Reason(const QSqlQuery& query) {
    const QSqlError error = query.lastError();
    std::string text = error.text().toStdString();
    if (text.empty()) {
        text = "the history store did not answer";
    }
    return text;
}
