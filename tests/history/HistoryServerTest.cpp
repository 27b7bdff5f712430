// The shared history on a real PostgreSQL server, which the test command
// starts (pg-server.sh): each test has a database of its own, made anew.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "ChildProcess.h"
#include "HistoryDays.h"
#include "HistorySchema.h"
#include "MirroredHistoryStore.h"
#include "ProcessFacts.h"
#include "ServerHistoryStore.h"
#include "SqlHistoryStore.h"

namespace fs = std::filesystem;

namespace {

std::string ServerScript(const std::string& action) {
    return std::string(HISTORY_SERVER_SCRIPT) + " " + action + " " + HISTORY_SERVER_STATE;
}

// Statements on the test server as its owner, outside the stores.
void Exec(const ServerUrl& url, const std::string& database,
          const std::vector<std::string>& statements) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        db.setHostName(QString::fromStdString(url.host));
        db.setPort(url.port);
        db.setUserName(QString::fromStdString(url.user));
        db.setPassword(QString::fromStdString(url.password));
        db.setDatabaseName(QString::fromStdString(database));
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
        for (const std::string& sql : statements) {
            QSqlQuery query(db);
            EXPECT_TRUE(query.exec(QString::fromStdString(sql)))
                << sql << ": " << query.lastError().text().toStdString();
        }
    }  // the connection is closed before its name is removed
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
}

HistoryRun MakeRun(const std::string& id, const std::string& result) {
    HistoryRun run;
    run.id = id;
    run.kind = "update";
    run.startMs =
        1'780'000'000'000 + static_cast<std::int64_t>(std::hash<std::string>{}(id) % 1000);
    run.result = result;
    run.endMs = result == "running" ? 0 : run.startMs + 91'000;
    run.host = "station-7";
    run.port = 3;
    run.unitSerial = "GU48A1000123";
    run.unitRecordReport = "正常";
    run.fileSize = 23617;
    run.blocksWritten = result == "success" ? 14044 : 0;
    run.unitDataVersionAfter = result == "success" ? "0601" : "";
    return run;
}

class HistoryServer : public testing::Test {
  protected:
    void SetUp() override {
        std::ifstream in(std::string(HISTORY_SERVER_STATE) + ".url");
        std::string text;
        std::getline(in, text);
        std::string error;
        ASSERT_TRUE(ServerUrl::Parse(text, url_, error)) << "no test server: " << error;
        database_ =
            std::string("t_") + testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : database_) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        database_ = database_.substr(0, 60);
        Exec(url_, "postgres",
             {"DROP DATABASE IF EXISTS " + database_, "CREATE DATABASE " + database_});
        url_.database = database_;
        folder_ = fs::temp_directory_path() /
                  ("gpsupdate-history-server-" + std::to_string(ProcessFacts::CurrentPid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string UrlText() const {
        return "postgresql://" + url_.user + ":" + url_.password + "@" + url_.host + ":" +
               std::to_string(url_.port) + "/" + url_.database;
    }
    std::unique_ptr<SqlHistoryStore> Local(const std::string& name = "history.sqlite") {
        std::string error;
        auto store = SqlHistoryStore::Open(folder_ / name, error);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }
    std::vector<HistoryRun> OnServer() {
        std::string error;
        auto server = ServerHistoryStore::Open(url_, error);
        EXPECT_NE(server, nullptr) << error;
        std::vector<HistoryRun> runs;
        if (server) {
            EXPECT_TRUE(server->List({}, runs)) << server->LastError();
        }
        return runs;
    }

    ServerUrl url_;
    std::string database_;
    fs::path folder_;
};

}  // namespace

TEST_F(HistoryServer, RowsGoRoundTripAndAnEndedRowIsNeverTurnedBackToRunning) {
    std::string error;
    auto server = ServerHistoryStore::Open(url_, error);
    ASSERT_NE(server, nullptr) << error;
    EXPECT_EQ(server->FoundVersion(), 0) << "a new database: the tables are made";
    const HistoryRun started = MakeRun("rt-1", "running");
    HistoryRun learnt = started;
    learnt.unitProgramVersion = "GPSP01.2000";
    learnt.unitDataVersion = "0512";
    const HistoryRun ended = MakeRun("rt-1", "success");
    std::vector<HistoryRun> runs;
    ASSERT_TRUE(server->Begin(started)) << server->LastError();
    ASSERT_TRUE(server->Update(learnt)) << server->LastError();
    ASSERT_TRUE(server->List({}, runs));
    EXPECT_EQ(runs, std::vector<HistoryRun>{learnt});
    ASSERT_TRUE(server->Complete(ended)) << server->LastError();
    ASSERT_TRUE(server->Send({started, ended, started})) << server->LastError();
    ASSERT_TRUE(server->Update(learnt)) << server->LastError();
    server.reset();
    server = ServerHistoryStore::Open(url_, error);
    ASSERT_NE(server, nullptr) << error;
    EXPECT_EQ(server->FoundVersion(), HistorySchema::kVersion);
    ASSERT_TRUE(server->List({}, runs));
    EXPECT_EQ(runs, std::vector<HistoryRun>{ended});
    // Every term of a filter, as the server takes its values.
    const std::string day = HistoryDays::LocalDay(ended.startMs);
    for (const auto& [filter, found] :
         {std::pair{HistoryFilter{ended.unitSerial, "success", day, day, 3, 1}, 1u},
          std::pair{HistoryFilter{"", "skipped", "", "", 0, 0}, 0u}}) {
        ASSERT_TRUE(server->List(filter, runs)) << server->LastError();
        EXPECT_EQ(runs.size(), found) << filter.result;
    }
}

// Tables as older programs made them: migrated, their rows kept.
TEST_F(HistoryServer, ATableOfAnOlderSchemaIsMigratedAndKeepsItsRows) {
    for (const int version : {1, 2}) {
        std::string columns = "id TEXT PRIMARY KEY";
        for (const auto& column : HistorySchema::Columns()) {
            if (column.since <= version && std::string(column.name) != "id") {
                columns += std::string(", ") + column.name +
                           (column.Integer() ? " BIGINT" : " TEXT") + " NOT NULL DEFAULT " +
                           (column.Integer() ? "0" : "''");
            }
        }
        Exec(url_, database_,
             {"DROP TABLE IF EXISTS gpsupdate_schema", "DROP TABLE IF EXISTS gpsupdate_runs",
              "CREATE TABLE gpsupdate_schema (version INTEGER NOT NULL)",
              "INSERT INTO gpsupdate_schema VALUES (" + std::to_string(version) + ")",
              "CREATE TABLE gpsupdate_runs (" + columns + ")",
              "INSERT INTO gpsupdate_runs (id, kind, start_ms, end_ms, result, host) VALUES "
              "('old-1', 'update', 1780000000000, 1780000090000, 'success', 'station-1')"});
        std::string error;
        auto server = ServerHistoryStore::Open(url_, error);
        ASSERT_NE(server, nullptr) << error;
        EXPECT_EQ(server->FoundVersion(), version);
        ASSERT_TRUE(server->Complete(MakeRun("new-1", "success"))) << server->LastError();
        std::vector<HistoryRun> runs;
        ASSERT_TRUE(server->List({}, runs));
        ASSERT_EQ(runs.size(), 2u);
        EXPECT_EQ(runs[0], MakeRun("new-1", "success")) << version;
        EXPECT_EQ(runs[1].id, "old-1");
        EXPECT_EQ(runs[1].host, "station-1");
        EXPECT_EQ(runs[1].blocksWritten, 0);
        EXPECT_EQ(runs[1].unitDataVersionAfter, "");
    }
}

TEST_F(HistoryServer, FourProgramsOnOneFileEachSending250RunsLeaveExactly1000Rows) {
    constexpr int kPrograms = 4;
    const fs::path file = folder_ / "history.sqlite";
    std::vector<std::unique_ptr<ChildProcess>> programs;
    for (int i = 0; i < kPrograms; ++i) {
        programs.push_back(std::make_unique<ChildProcess>(
            HISTORY_RECORD_RUNS_PATH, std::vector<std::string>{file.string(), "250", UrlText()}));
    }
    for (auto& program : programs) {
        EXPECT_EQ(program->Wait(240000), 0) << program->Errors(1000);
        EXPECT_EQ(program->Lines(5000), std::vector<std::string>{"done 250"});
    }
    auto local = Local();
    MirroredHistoryStore mirror(*local, url_);
    EXPECT_EQ(mirror.Waiting(), 0) << "the last write sent every row before it";
    std::vector<HistoryRun> here;
    ASSERT_TRUE(local->List({}, here));
    std::vector<HistoryRun> there = OnServer();
    EXPECT_EQ(there.size(), 1000u);
    std::sort(here.begin(), here.end(), [](auto& a, auto& b) { return a.id < b.id; });
    std::sort(there.begin(), there.end(), [](auto& a, auto& b) { return a.id < b.id; });
    EXPECT_EQ(there, here) << "every row as it ended, none left running";
}

// The server has a run's row as it began and as it ended; the facts learnt
// in between are written locally, without a wait for the server. Runs
// while it is down wait locally.
TEST_F(HistoryServer, RunsReachTheServerAtTheirStartAndEndAndWaitLocallyWhileItIsDown) {
    auto local = Local();
    MirroredHistoryStore mirror(*local, url_);
    const HistoryRun started = MakeRun("facts", "running");
    HistoryRun learnt = started;
    learnt.unitProgramVersion = "GPSP01.2000";
    ASSERT_TRUE(mirror.Begin(started));
    EXPECT_EQ(OnServer(), std::vector<HistoryRun>{started});
    ASSERT_TRUE(mirror.Update(learnt)) << mirror.LastError();
    EXPECT_EQ(OnServer(), std::vector<HistoryRun>{started}) << "not sent while running";
    EXPECT_EQ(mirror.Waiting(), 1);
    ASSERT_TRUE(mirror.Complete(MakeRun("facts", "success")));
    EXPECT_EQ(OnServer(), std::vector<HistoryRun>{MakeRun("facts", "success")});
    ASSERT_EQ(mirror.Waiting(), 0) << mirror.ServerError();
    ASSERT_EQ(std::system(ServerScript("stop").c_str()), 0);
    for (int i = 0; i < 10; ++i) {
        const auto start = std::chrono::steady_clock::now();
        HistoryRun run = MakeRun("down-" + std::to_string(i), "running");
        EXPECT_TRUE(mirror.Begin(run)) << "the local row is written whatever the server";
        run = MakeRun(run.id, i % 3 == 0 ? "failure" : "success");
        EXPECT_TRUE(mirror.Complete(run));
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  std::chrono::seconds(2 * ServerHistoryStore::kConnectSeconds + 1));
    }
    EXPECT_FALSE(mirror.ServerError().empty());
    EXPECT_EQ(mirror.Waiting(), 10);
    ASSERT_EQ(std::system(ServerScript("start").c_str()), 0);
    std::int64_t sent = 0;
    ASSERT_TRUE(mirror.SendWaiting(-1, sent)) << mirror.ServerError();
    EXPECT_EQ(sent, 10);
    EXPECT_TRUE(mirror.SendWaiting(-1, sent));
    EXPECT_EQ(sent, 0) << "nothing is sent twice";
    std::vector<HistoryRun> here;
    ASSERT_TRUE(local->List({}, here));
    EXPECT_EQ(OnServer(), here);
}

// A server that refuses the password, and a port that takes the connection
// and never answers: the run's rows are written locally within the bound,
// the reason says what happened.
TEST_F(HistoryServer, AWrongPasswordOrASilentServerCostsABoundedWaitWithItsReason) {
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(silent, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ServerUrl wrongPassword = url_;
    wrongPassword.password = "not-the-password";
    ServerUrl quiet = url_;
    quiet.port = ntohs(address.sin_port);
    const struct {
        ServerUrl url;
        const char* reason;
    } cases[] = {{wrongPassword, "password authentication failed"}, {quiet, "timeout"}};
    for (const auto& c : cases) {
        auto local = Local(std::to_string(c.url.port) + c.reason + ".sqlite");
        MirroredHistoryStore mirror(*local, c.url);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(mirror.Complete(MakeRun("refused-" + std::to_string(c.url.port), "success")));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_LT(waited, std::chrono::seconds(ServerHistoryStore::kConnectSeconds + 2));
        EXPECT_NE(mirror.ServerError().find(c.reason), std::string::npos) << mirror.ServerError();
        EXPECT_EQ(mirror.Waiting(), 1) << c.reason;
        // The run's end does not wait again for the server its start
        // found away.
        const auto again = std::chrono::steady_clock::now();
        EXPECT_TRUE(mirror.Complete(MakeRun("refused-end", "success")));
        EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(500));
        EXPECT_EQ(mirror.Waiting(), 2) << c.reason;
    }
    close(silent);
    EXPECT_TRUE(OnServer().empty());
}

TEST_F(HistoryServer, TheCommandLineTellsWhatWaitsSendsItAndListsItFromTheServer) {
    const std::string file = (folder_ / "history.sqlite").string();
    ChildProcess record(HISTORY_RECORD_RUNS_PATH, {file, "3"});
    ASSERT_EQ(record.Wait(60000), 0) << record.Errors(1000);
    const auto history = [&](const std::vector<std::string>& args) {
        ChildProcess program(HISTORY_PROGRAM_PATH, args);
        EXPECT_EQ(program.Wait(60000), 0) << program.Errors(1000);
        return program.Lines(5000);
    };
    const std::string shown = url_.Shown();
    EXPECT_EQ(history({"--history", file, "--history-server", UrlText(), "status"}),
              std::vector<std::string>{"3 runs wait to be sent to " + shown});
    EXPECT_EQ(history({"--history", file, "--history-server", UrlText(), "sync"}),
              std::vector<std::string>{"sent 3 runs to " + shown + "; 0 wait"});
    const std::vector<std::string> lines = history({"--server", UrlText(), "list"});
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) {
        EXPECT_NE(line.find(" at " + ProcessFacts::HostName()), std::string::npos) << line;
    }
}
