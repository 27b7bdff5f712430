#pragma once

// The shared history on a real PostgreSQL server, which the test command
// starts (pg-server.sh): each test has a database of its own, made anew.
// Statements as the server's owner, runs to write, and the server's
// processes to stop.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "HistoryRun.h"
#include "ServerHistoryStore.h"
#include "ServerUrl.h"
#include "SilentPort.h"
#include "SqlHistoryStore.h"
#include "StoreCases.h"
#include "TempDataFile.h"

namespace historytest {

namespace fs = std::filesystem;

inline std::string ServerScript(const std::string& action) {
    return std::string(HISTORY_SERVER_SCRIPT) + " " + action + " " + HISTORY_SERVER_STATE;
}

// The URL with its password, of `database` on the server.
inline std::string UrlOf(const ServerUrl& url, const std::string& database) {
    return "postgresql://" + url.user + ":" + url.password + "@" + url.host + ":" +
           std::to_string(url.port) + "/" + database;
}

// Statements on the test server as its owner, outside the stores (by
// psql, each in a transaction of its own).
inline void Exec(const ServerUrl& url, const std::string& database,
                 const std::vector<std::string>& statements) {
    std::vector<std::string> args = {
        "psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", UrlOf(url, database)};
    for (const std::string& sql : statements) {
        args.insert(args.end(), {"-c", sql});
    }
    ChildProcess psql("/usr/bin/env", args);
    EXPECT_EQ(psql.Wait(30000), 0) << psql.Errors(1000);
}

// Every field (a station's run: another host, another unit).
inline HistoryRun MakeRun(const std::string& id, const std::string& result) {
    HistoryRun run = storecases::FullRun(id);
    run.startMs += static_cast<std::int64_t>(std::hash<std::string>{}(id) % 1000);
    run.result = result;
    run.endMs = result == "running" ? 0 : run.startMs + 91'000;
    run.host = "station-7";
    run.unitSerial = "GU48A1000123";
    run.unitDataVersionAfter = result == "success" ? "0601" : "";
    run.eraseBegun = result == "running" ? 0 : 1;
    return run;
}

// The test server's processes: its postmaster and every process it started.
inline std::vector<pid_t> ServerProcesses() {
    std::ifstream state(HISTORY_SERVER_STATE);
    std::string dir;
    std::getline(state, dir);
    std::ifstream pidFile(dir + "/data/postmaster.pid");
    pid_t postmaster = 0;
    pidFile >> postmaster;
    if (postmaster <= 0) {
        return {};
    }
    std::vector<pid_t> pids = {postmaster};
    ChildProcess children("/usr/bin/pgrep", {"-P", std::to_string(postmaster)});
    for (const std::string& pid : children.Lines(5000)) {
        pids.push_back(static_cast<pid_t>(std::stol(pid)));
    }
    return pids;
}

// The test server stopped (SIGSTOP) while this lives, whatever the test does.
struct Frozen {
    Frozen() : pids(ServerProcesses()) {
        EXPECT_GT(pids.size(), 1u) << "the server and the connection's process";
        for (const pid_t pid : pids) {
            kill(pid, SIGSTOP);
        }
    }
    ~Frozen() {
        for (const pid_t pid : pids) {
            kill(pid, SIGCONT);
        }
    }
    std::vector<pid_t> pids;
};

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
    }

    std::string UrlText() const { return UrlOf(url_, url_.database); }
    std::unique_ptr<SqlHistoryStore> Local() {
        return storecases::OpenFile(folder_ / "history.sqlite");
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
    const TempDataFile scratch_{std::vector<std::uint8_t>{}};
    const fs::path folder_ = scratch_.Folder();
};

}  // namespace historytest
