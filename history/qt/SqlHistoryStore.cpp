#include "SqlHistoryStore.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>
#include <thread>

#include <QSqlError>
#include <QVariant>

#include "HistorySchema.h"
#include "PrivateFile.h"
#include "ProcessFacts.h"

namespace {

// Each step takes the file from the version before it to its own.
// Version 1: the runs with their unit and data file facts.
// Versions 1, 2, 4, 5 and 6 are HistorySchema's 1 to 5 (the columns the
// server has too); version 3 is the file's own.
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
    // Version 4: the third of HistorySchema, the unit's data version after
    // the update (empty in older rows).
    R"(ALTER TABLE runs ADD COLUMN unit_data_version_after TEXT NOT NULL DEFAULT '';)",
    // Version 5: the fourth of HistorySchema, when the writer's process
    // started (empty in older rows). Files from this version on carry the
    // history's application id (set with every migration).
    R"(ALTER TABLE runs ADD COLUMN process_start TEXT NOT NULL DEFAULT '';)",
    // Version 6: the fifth of HistorySchema, whether the erase began (not
    // known, -1, in older rows).
    R"(ALTER TABLE runs ADD COLUMN erase_begun INTEGER NOT NULL DEFAULT -1;)",
};

static_assert(HistorySchema::kVersion == 5, "a new shared column needs a migration of the file");

// The shared schema version a file version holds (see kMigrations).
int SharedVersion(int fileVersion) {
    constexpr int kShared[] = {0, 1, 2, 2, 3, 4, 5};
    return fileVersion >= 0 && fileVersion < static_cast<int>(std::size(kShared))
               ? kShared[fileVersion]
               : -1;
}

// The columns of the runs table in a history file of `fileVersion`, sorted.
QStringList ColumnsOfVersion(int fileVersion) {
    QStringList names;
    for (const HistorySchema::Column& column : HistorySchema::Columns()) {
        if (column.since <= SharedVersion(fileVersion)) {
            names << QLatin1String(column.name);
        }
    }
    if (fileVersion >= 3) {
        names << QStringLiteral("sent");
    }
    names.sort();
    return names;
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

SqlHistoryStore::SqlHistoryStore() {
    static std::atomic<int> count{0};
    connection_ = QStringLiteral("gpsupdate-history-%1").arg(++count);
}

SqlHistoryStore::~SqlHistoryStore() {
    insert_.reset();
    replace_.reset();
    update_.reset();
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
        // The user's own, as the file is.
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, code);
    }
    if (options.readOnly && !std::filesystem::exists(file, code)) {
        error = file.string() + " does not exist";
        return nullptr;
    }
    if (!options.readOnly) {
        PrivateFile::Create(file);
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
    // Before anything is written: only a history is ever written to.
    if (!Identify(error)) {
        return false;
    }
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
    return PrepareWrites(error);
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
         Exec(QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId), error) &&
         Exec(QStringLiteral("COMMIT"), error);
    if (!ok) {
        std::string ignored;
        Exec(QStringLiteral("ROLLBACK"), ignored);
    }
    return ok;
}

bool SqlHistoryStore::Identify(std::string& error) {
    // Read through the connection only: a file of this process opened and
    // closed beside it would drop the locks SQLite holds on it (POSIX locks
    // belong to the process), and another connection of this program (the
    // history server's sender) may hold them.
    //
    // One reading of the header and the tables: a program making the file
    // at this moment is seen before or after, never in between.
    if (!Exec(QStringLiteral("BEGIN"), error)) {
        return false;
    }
    std::string ignored;
    const bool known = ReadIdentity(error);
    Exec(QStringLiteral("COMMIT"), ignored);
    if (!known) {
        return false;
    }
    if (application_ == kApplicationId) {
        return true;
    }
    const std::string refused = "the file is not a history database (left as it is): ";
    if (application_ != 0) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(application_));
        error = refused + "another program's (application id " + id + ")";
        return false;
    }
    // Files made before the id: the history's tables exactly, or nothing yet.
    if (tables_.isEmpty() && fileVersion_ == 0) {
        return true;
    }
    if (tables_ == QStringList{QStringLiteral("runs")} && fileVersion_ >= 1 &&
        fileVersion_ < kSchemaVersion && columns_ == ColumnsOfVersion(fileVersion_)) {
        return true;
    }
    error = refused + "its tables are not the history's";
    return false;
}

bool SqlHistoryStore::ReadIdentity(std::string& error) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    const auto read = [&](const QString& sql, const std::function<void()>& row) {
        if (!query.exec(sql)) {
            // SQLITE_NOTADB: not a database at all (SQLite wrote nothing).
            error = query.lastError().nativeErrorCode() == QLatin1String("26")
                        ? "the file is not a history database (left as it is): not a database"
                        : Reason(query);
            return false;
        }
        while (query.next()) {
            row();
        }
        query.finish();
        return true;
    };
    const bool ok =
        read(QStringLiteral("PRAGMA application_id"),
             [&] { application_ = query.value(0).toInt(); }) &&
        read(QStringLiteral("PRAGMA user_version"),
             [&] { fileVersion_ = query.value(0).toInt(); }) &&
        read(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                            "LIKE 'sqlite%' ORDER BY name"),
             [&] { tables_ << query.value(0).toString(); }) &&
        read(QStringLiteral("PRAGMA table_info(runs)"),
             [&] { columns_ << query.value(1).toString(); });
    columns_.sort();
    return ok;
}

bool SqlHistoryStore::MarkInterrupted(std::string& error) {
    QSqlQuery running(db_);
    running.setForwardOnly(true);
    running.prepare(QStringLiteral(
        "SELECT id, pid, process_start FROM runs WHERE result = 'running' AND host = ?"));
    running.addBindValue(Text(ProcessFacts::HostName()));
    if (!running.exec()) {
        error = Reason(running);
        return false;
    }
    QStringList gone;
    while (running.next()) {
        if (!ProcessFacts::IsAlive(running.value(1).toLongLong(),
                                   running.value(2).toString().toStdString())) {
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

std::string SqlHistoryStore::IntegrityCheck() {
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("PRAGMA integrity_check"))) {
        return Reason(query);
    }
    std::string findings;
    while (query.next()) {
        findings += (findings.empty() ? "" : "\n") + query.value(0).toString().toStdString();
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
