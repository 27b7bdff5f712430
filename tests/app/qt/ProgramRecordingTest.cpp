// A program's recording of its runs through the real window: the history
// row names the run's trace under the name the file keeps, and what the
// history cannot keep is noted in the trace.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QPushButton>

#include "ProgramRecording.h"
#include "SqlHistoryStore.h"
#include "TempDataFile.h"
#include "WindowHarness.h"

namespace fs = std::filesystem;
using testing::HasSubstr;

namespace {

std::vector<HistoryRun> Rows(const fs::path& file) {
    std::string error;
    std::vector<HistoryRun> rows;
    const auto store = SqlHistoryStore::Open(file, error, {false, true});
    EXPECT_NE(store, nullptr) << error;
    if (store != nullptr) {
        store->Each({}, true, [&rows](const HistoryRun& run) {
            rows.push_back(run);
            return true;
        });
    }
    return rows;
}

// A connection test with no unit on the line, through the window.
struct Rig : WindowHarness {
    ProgramRecording recording;
    explicit Rig(const ProgramRecording::Options& options) : recording(options, &line) {
        StartIdle().SetObserver(&recording);
    }
    ~Rig() { window->SetObserver(nullptr); }
    void Press() { Control<QPushButton>("cmdHelloDevice")->click(); }
};

}  // namespace

TEST(ProgramRecording, TheRowNamesTheTraceUnderTheNameTheFileKeeps) {
    const TempDataFile temp({}, "placeholder");  // a fresh folder, removed after
    const fs::path folder = temp.Folder();
    ProgramRecording::Options options;
    options.program = "gpsupdate";
    options.historyFile = (folder / "history.sqlite").string();
    options.traceFolder = folder / "traces";
    Rig rig(options);
    rig.Press();
    // Under way (and left so by a program that is killed): the running file,
    // once the history's thread has written the row.
    ASSERT_TRUE(rig.recording.Settle(std::chrono::seconds(5)));
    std::vector<HistoryRun> rows = Rows(folder / "history.sqlite");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_THAT(rows[0].tracePath, HasSubstr("-test-running.jsonl"));
    EXPECT_TRUE(fs::exists(fs::path(rows[0].tracePath)));

    ASSERT_TRUE(rig.RunUntilIdle());
    ASSERT_TRUE(rig.recording.Settle(std::chrono::seconds(5)));
    rows = Rows(folder / "history.sqlite");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].result, "failure");
    EXPECT_THAT(rows[0].tracePath, HasSubstr("-test-failure.jsonl"));
    EXPECT_TRUE(fs::exists(fs::path(rows[0].tracePath))) << rows[0].tracePath;
    EXPECT_EQ(rig.recording.LastRun().traceFile, rows[0].tracePath);
    EXPECT_TRUE(rig.recording.Recorded());
}

TEST(ProgramRecording, AHistoryThatCannotBeKeptIsNotedInTheTrace) {
    const TempDataFile temp({}, "placeholder");
    const fs::path folder = temp.Folder();
    std::ofstream(folder / "garbage.sqlite") << "not a history\n";
    ProgramRecording::Options options;
    options.program = "gpsupdate-auto";
    options.historyFile = (folder / "garbage.sqlite").string();
    options.traceFile = (folder / "trace.jsonl").string();
    Rig rig(options);
    rig.Press();
    ASSERT_TRUE(rig.RunUntilIdle());
    ASSERT_TRUE(rig.recording.Settle(std::chrono::seconds(5)));
    EXPECT_FALSE(rig.recording.Recorded());
    EXPECT_THAT(rig.recording.HistoryError(), HasSubstr("is not a history database"));
    EXPECT_EQ(rig.recording.LastRun().traceFile, (folder / "trace.jsonl").string());
    EXPECT_THAT(
        FileBytes(folder / "trace.jsonl"),
        HasSubstr(R"("kind":"note","topic":"history","text":")" + rig.recording.HistoryError()));
}
