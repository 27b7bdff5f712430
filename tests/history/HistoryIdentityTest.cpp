// A database is the history only when it says so: its application id, or
// (files made before the id) the history's tables exactly. Anything else is
// refused with the reason and never written (by a run's recording nor by
// the command line's readings); the readings never write, nor make a file
// at a mistyped path (an error, exit status 1).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SqlHistoryStore.h"
#include "StoreCases.h"
#include "TempDataFile.h"

namespace fs = std::filesystem;

namespace {

fs::path Folder() {
    static const TempDataFile folder(std::vector<std::uint8_t>{});
    return folder.Folder();
}

// Statements on a database file by another program (Python's sqlite3);
// the first value of the last one's first row.
std::string Sql(const fs::path& file, const std::vector<std::string>& statements) {
    std::vector<std::string> args = {"-c",
                                     "import sqlite3, sys\n"
                                     "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                     "rows = [c.execute(sql).fetchone() for sql in sys.argv[2:]]\n"
                                     "print(rows[-1][0] if rows[-1] else '')",
                                     file.string()};
    args.insert(args.end(), statements.begin(), statements.end());
    ChildProcess python("/usr/bin/python3", args);
    EXPECT_EQ(python.Wait(30000), 0) << python.Errors(1000);
    return python.FirstLine(1000);
}

// A copy of a release's file, `as` named.
fs::path Fixture(const char* name, const std::string& as) {
    const fs::path file = Folder() / as;
    fs::remove(file);
    fs::copy_file(fs::path(HISTORY_FIXTURES) / name, file);
    return file;
}

// The previous release's file: the third fixture taken to its version 4.
fs::path VersionFour() {
    const fs::path file = Fixture("history-v3.sqlite", "v4.sqlite");
    Sql(file, {"ALTER TABLE runs ADD COLUMN unit_data_version_after TEXT NOT NULL DEFAULT ''",
               "PRAGMA user_version = 4"});
    return file;
}

}  // namespace

// A mistyped path too: the readings read the file as it is, and make none.
TEST(HistoryIdentity, AnotherProgramsDatabaseOrAMistypedPathIsRefusedAndLeftAsItWas) {
    const fs::path v4 = VersionFour();
    const struct {
        const char* name;
        std::vector<std::string> statements;  // none: no file at all
        const char* reason;
    } cases[] = {
        {"tables of its own",
         {"CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)",
          "INSERT INTO customers VALUES (1, 'A')"},
         "its tables are not the history's"},
        {"its own application id",
         {"PRAGMA application_id = 305419896", "CREATE TABLE runs (id TEXT)"},
         "another program's (application id 0x12345678)"},
        {"a runs table of other columns",
         {"CREATE TABLE runs (id TEXT PRIMARY KEY, amount REAL)", "PRAGMA user_version = 2"},
         "its tables are not the history's"},
        {"the history's tables and one more",
         {"ATTACH DATABASE '" + v4.string() + "' AS h", "CREATE TABLE runs AS SELECT * FROM h.runs",
          "CREATE TABLE notes (text TEXT)", "PRAGMA user_version = 4"},
         "its tables are not the history's"},
        {"histroy", {}, "does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = Folder() / (std::string(c.name) + ".sqlite");
        const bool made = !c.statements.empty();
        fs::remove(file);
        if (made) {
            Sql(file, c.statements);
        }
        const std::string before = FileBytes(file);
        for (const bool readOnly : {false, true}) {
            std::string error;
            if (made) {
                EXPECT_EQ(SqlHistoryStore::Open(file, error, {.readOnly = readOnly}), nullptr);
                EXPECT_NE(error.find(c.reason), std::string::npos) << error;
            }
        }
        // The readings. (A run's recording opens the file as the writable
        // store above does: tests/e2e/HistoryAutomationTest.cpp.)
        const std::string csv = (Folder() / "out.csv").string();
        const char* said = made ? "is not a history database" : c.reason;
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"list"}, {"stats"}, {"export", "--csv", csv}, {"status"}}) {
            std::vector<std::string> all = {"--history", file.string()};
            all.insert(all.end(), args.begin(), args.end());
            ChildProcess child(HISTORY_PROGRAM_PATH, all);
            EXPECT_EQ(child.Wait(30000), 1) << args[0];
            EXPECT_NE(child.Errors(1000).find(said), std::string::npos) << args[0];
            EXPECT_TRUE(child.Output().empty()) << args[0];
            EXPECT_EQ(FileBytes(file), before) << args[0];
            EXPECT_EQ(fs::exists(file), made) << args[0];
        }
        EXPECT_FALSE(fs::exists(csv));
        EXPECT_FALSE(fs::exists(file.string() + "-wal")) << "not even switched to its log";
    }
}

// The files of every release: the first (made with that release's table
// and two runs: one whole, one of another host still running), the third
// (two finished runs recorded by that release's history_record_runs) and
// the previous. Read as they are; then migrated, they keep their runs, take
// a whole run of the newest schema and are marked as the history from then
// on. (A new file takes every step of the same migration from none; its
// rights: tests/e2e/HistoryAutomationTest.cpp.)
TEST(HistoryIdentity, HistoriesOfEveryReleaseAreReadMigratedAndMarked) {
    const struct {
        fs::path file;
        int version;
        const char* newer;  // its runs' ids
        const char* older;
        // Of the older run: facts the file kept.
        std::int64_t fileSize;
        std::int64_t blocksWritten;
        const char* newerResult;
    } cases[] = {
        {Fixture("history-v1.sqlite", "v1.sqlite"), 1, "v1-run-b", "v1-run-a", 23617, 0, "running"},
        {Fixture("history-v3.sqlite", "v3.sqlite"), 3, "spread-1", "spread-0", -1, 14044,
         "success"},
        {VersionFour(), 4, "spread-1", "spread-0", -1, 14044, "success"},
    };
    const HistoryRun full = storecases::FullRun();
    std::string error;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        for (const bool readOnly : {true, false}) {
            auto store = SqlHistoryStore::Open(c.file, error, {.readOnly = readOnly});
            ASSERT_NE(store, nullptr) << error;
            EXPECT_EQ(store->FileVersion(), c.version);
            std::vector<HistoryRun> runs;
            ASSERT_TRUE(store->List({}, runs)) << store->LastError();
            ASSERT_EQ(storecases::Ids(runs), (std::vector<std::string>{c.newer, c.older}));
            EXPECT_EQ(runs[1].unitRecordReport, "正常");
            EXPECT_EQ(runs[1].fileSize, c.fileSize);
            EXPECT_EQ(runs[1].blocksWritten, c.blocksWritten);
            EXPECT_EQ(runs[1].unitDataVersionAfter, "");
            EXPECT_EQ(runs[1].eraseBegun, -1) << "not known";
            EXPECT_EQ(runs[0].result, c.newerResult) << "another host's run is left alone";
            EXPECT_EQ(store->Complete(full), !readOnly) << store->LastError();
        }
        auto store = SqlHistoryStore::Open(c.file, error);
        ASSERT_NE(store, nullptr) << error;
        EXPECT_EQ(store->FileVersion(), SqlHistoryStore::kSchemaVersion);
        std::vector<HistoryRun> runs;
        ASSERT_TRUE(store->List({}, runs)) << store->LastError();
        ASSERT_EQ(runs.size(), 3u);
        EXPECT_NE(std::find(runs.begin(), runs.end(), full), runs.end());
        std::int64_t waiting = -1;
        EXPECT_TRUE(store->CountUnsent(waiting));
        EXPECT_EQ(waiting, 3) << "none of these rows was sent";
        EXPECT_EQ(store->IntegrityCheck(), "ok");
        EXPECT_EQ(Sql(c.file, {"PRAGMA application_id"}),
                  std::to_string(SqlHistoryStore::kApplicationId));
    }
}
