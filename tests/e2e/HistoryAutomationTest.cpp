// gpsupdate-auto with the history: a run is recorded whole, and a history
// that cannot be kept (garbage, a folder that is read-only or missing, a
// file another program holds locked, switched off) leaves the update as it
// would be, with the reason on the end line. What the end line and the
// trace say about the recording itself: a history server URL from the
// environment that is not one, a trace on a full disk; and the rights of
// the files it makes (a connection test with no unit behind the port is
// run enough).

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "AutoRun.h"
#include "SilentPort.h"
#include "TempDataFile.h"

namespace fs = std::filesystem;

namespace {

fs::path Folder() {
    return TestFolder("gpsupdate-e2e-history");
}

// One update of the file on a fresh simulated unit, and the unit's memory
// digests.
std::pair<AutoRun, std::pair<std::string, std::string>> RunUpdate(
    const std::string& file, const std::vector<std::string>& historyArgs) {
    SimProgram unit((Folder() / "com3").string(), {});
    std::vector<std::string> args = {"--action", "update", "--port", "3", "--file", file};
    args.insert(args.end(), historyArgs.begin(), historyArgs.end());
    const AutoRun run = RunAuto(args, {{"GPSUPDATE_COM3", unit.link}}, 60000);
    return {run, unit.StopForDigests()};
}

std::string EndLine(const std::vector<std::string>& args, std::map<std::string, std::string> env) {
    std::vector<std::string> all = {"--action", "test", "--port", "3"};
    all.insert(all.end(), args.begin(), args.end());
    env["GPSUPDATE_COM3"] = (Folder() / "no-unit-here").string();
    const AutoRun run = RunAuto(all, env, 30000);
    EXPECT_EQ(run.status, 1) << run.End();
    return run.End();
}

}  // namespace

// The good run's history is then held locked by another program; a history
// server that takes the connection and never answers leaves the run
// recorded locally, its row waiting to be sent.
TEST(HistoryAutomation, AnUpdateIsRecordedWholeAndAHistoryThatCannotBeKeptSaysWhy) {
    const std::string file = SmallDataFile(Folder(), 40);
    const fs::path good = Folder() / "good.sqlite";
    const fs::path trace = Folder() / "good-trace.jsonl";
    const std::string end =
        RunUpdate(file, {"--history", good.string(), "--trace", trace.string()}).first.End();
    EXPECT_NE(end.find(R"("result":"success")"), std::string::npos) << end;
    EXPECT_NE(end.find(R"("recorded":true,"history_error":"")"), std::string::npos) << end;
    EXPECT_NE(end.find(R"("trace":")" + trace.string() + "\""), std::string::npos) << end;
    EXPECT_TRUE(fs::exists(trace));

    ChildProcess list(GPSUPDATE_HISTORY_PATH, {"--history", good.string(), "list", "--json"});
    ASSERT_EQ(list.Wait(10000), 0) << list.Errors(1000);
    const std::vector<std::string> rows = list.Lines(1000);
    ASSERT_EQ(rows.size(), 1u);
    for (const std::string& field : std::vector<std::string>{
             R"("kind":"update")", R"("result":"success")", R"("port":3)",
             R"("program":"gpsupdate-auto")", R"("unit_serial":"GU48A0012345")",
             R"("unit_program_version":"GPSP01.2000")", R"("unit_data_version":"0512")",
             R"("blocks_written":45,"retries":0)",
             R"("file_size":)" + std::to_string(fs::file_size(file)) + ",",
             R"("trace_path":")" + trace.string() + "\"", R"("erase_begun":"yes")"}) {
        EXPECT_NE(rows[0].find(field), std::string::npos) << field << "\n" << rows[0];
    }

    const fs::path garbage = Folder() / "garbage.sqlite";
    std::ofstream(garbage, std::ios::binary) << "name,amount\nnot,a history\n";
    const std::string garbageBefore = FileBytes(garbage);
    // A folder no file can be made in (root may write anywhere but /proc).
    fs::path readOnly = "/proc";
    if (geteuid() != 0) {
        readOnly = Folder() / "read-only";
        fs::create_directories(readOnly);
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    }
    ChildProcess locker("/usr/bin/python3",
                        {"-c",
                         "import sqlite3, sys, time\n"
                         "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                         "c.execute('BEGIN EXCLUSIVE')\n"
                         "print('locked', flush=True)\n"
                         "time.sleep(300)\n",
                         good.string()});
    ASSERT_TRUE(locker.WaitForLine("locked", 10000));
    const SilentPort silent(true);
    const std::string url =
        "postgresql://gps@127.0.0.1:" + std::to_string(silent.port) + "/history";
    const fs::path unsent = Folder() / "unsent.sqlite";

    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* reason;  // none: recorded
    } cases[] = {
        {"garbage", {"--history", garbage.string()}, "is not a history database"},
        {"read-only folder", {"--history", (readOnly / "h.sqlite").string()}, "unable to open"},
        {"missing folder",
         {"--history", (Folder() / "gone" / "h.sqlite").string()},
         "does not exist"},
        {"locked", {"--history", good.string()}, "locked"},
        {"switched off", {"--no-history"}, "switched off"},
        {"silent server", {"--history", unsent.string(), "--history-server", url}, nullptr},
    };
    const auto expected = ExpectedDigests(file);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [update, digests] = RunUpdate(file, c.args);
        const std::string end = update.End();
        EXPECT_EQ(update.status, 0) << end;
        EXPECT_EQ(digests, expected);
        EXPECT_NE(end.find(R"("result":"success")"), std::string::npos) << end;
        EXPECT_NE(end.find(c.reason ? R"("recorded":false,"history_error":")"
                                    : R"("recorded":true,"history_error":"")"),
                  std::string::npos)
            << end;
        EXPECT_NE(end.substr(end.find("history_error")).find(c.reason ? c.reason : ""),
                  std::string::npos)
            << end;
    }
    locker.Signal(SIGTERM);
    EXPECT_EQ(FileBytes(garbage), garbageBefore);
    EXPECT_FALSE(fs::exists(Folder() / "gone"));
    std::error_code ignored;
    fs::permissions(readOnly, fs::perms::owner_all, ignored);
    ChildProcess status(GPSUPDATE_HISTORY_PATH,
                        {"--history", unsent.string(), "--history-server", url, "status"});
    ASSERT_EQ(status.Wait(10000), 0) << status.Errors(1000);
    EXPECT_EQ(status.FirstLine(1000), "1 runs wait to be sent to " + url);
}

TEST(RecordingNotes, AServerUrlFromTheEnvironmentThatIsNotOneIsSaidWithoutItsPassword) {
    const fs::path history = Folder() / "h.sqlite";
    const fs::path trace = Folder() / "trace.jsonl";
    const std::string end =
        EndLine({"--history", history.string(), "--trace", trace.string()},
                {{"GPSUPDATE_HISTORY_SERVER", "postgresql://shop:s3cret@db:0/history"}});
    EXPECT_NE(end.find(R"("recorded":true,"history_error":"GPSUPDATE_HISTORY_SERVER: not a )"
                       R"(history server URL)"),
              std::string::npos)
        << end;
    EXPECT_NE(end.find("postgresql://shop@db:0/history"), std::string::npos) << end;
    const std::string text = FileBytes(trace);
    EXPECT_NE(
        text.find(R"("kind":"note","topic":"history_server","text":"GPSUPDATE_HISTORY_SERVER)"),
        std::string::npos)
        << text;
    for (const std::string& said : {end, text}) {
        EXPECT_EQ(said.find("s3cret"), std::string::npos);
    }
    // Serial numbers, hosts and paths: the user's alone.
    for (const fs::path& file : {history, trace}) {
        EXPECT_EQ(static_cast<unsigned>(fs::status(file).permissions()), 0600u) << file;
    }
}

TEST(RecordingNotes, ATraceThatCannotBeWrittenIsSaidOnTheEndLine) {
    const std::string end = EndLine({"--no-history", "--trace", "/dev/full"}, {});
    EXPECT_NE(end.find(R"("trace_error":"the trace /dev/full could not be written: No space )"
                       R"(left on device")"),
              std::string::npos)
        << end;
}
