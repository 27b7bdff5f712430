// A tile fed by a run's JSON lines and its child's end.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "JsonFields.h"
#include "JsonReport.h"
#include "StationTile.h"
#include "mduCommonMessage.h"

namespace {

using Result = StationTile::Result;

std::string Line(const std::string& kind, const std::string& rest) {
    return R"({"t_ms":5,"kind":")" + kind + "\"" + (rest.empty() ? "" : "," + rest) + "}";
}

// The lines gpsupdate-auto's report writes.
std::vector<std::string> Written(const std::function<void(JsonReport&)>& write) {
    std::FILE* out = std::tmpfile();
    EXPECT_NE(out, nullptr);
    if (out == nullptr) {
        return {};
    }
    JsonReport report(
        out, [] { return std::int64_t{7}; }, "gpsupdate");
    write(report);
    std::rewind(out);
    std::vector<std::string> lines;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, out) != nullptr) {
        lines.emplace_back(buffer);
    }
    std::fclose(out);
    return lines;
}

// The end line of an update that ended so.
std::string EndLine(const std::string& result, RunOutcome outcome,
                    const std::string& failureText = "") {
    JsonReport::End end;
    end.result = result;
    end.run.kind = RunKind::Update;
    end.run.outcome = outcome;
    end.run.failureText = failureText;
    if (outcome == RunOutcome::Failed) {
        end.run.failedStage = RunStage::FlashTransfer;
    }
    const std::vector<std::string> lines =
        Written([&end](JsonReport& report) { report.WriteEnd(end); });
    return lines.empty() ? std::string() : lines.front();
}

}  // namespace

TEST(JsonFields, ReadsTheRunnersLinesAndRefusesOthers) {
    const auto fields = JsonFields::Parse(
        R"({"t_ms":13271,"kind":"end","seconds":13.240,"text":"a\"b\\c\u8cc7\ud83d\ude00","ok":true})");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->Number("t_ms"), 13271);
    EXPECT_DOUBLE_EQ(fields->Real("seconds"), 13.24);
    EXPECT_EQ(fields->Text("text"), "a\"b\\c\xe8\xb3\x87\xf0\x9f\x98\x80");
    EXPECT_EQ(fields->Text("ok"), "true");
    EXPECT_FALSE(fields->Has("absent"));
    for (const char* bad : {"", "{", R"({"a":1)", R"({"a":[1]})", R"({"a":{"b":1}})",
                            R"({"a":"x\q"})", R"({"a":1} x)", R"({a:1})", "progress 50%"}) {
        EXPECT_FALSE(JsonFields::Parse(bad)) << bad;
    }
}

// The runner's own report, read back: every fact the tile shows comes as a
// field of its own.
TEST(StationTile, ShowsWhatTheRunnersReportSays) {
    const std::vector<std::string> lines = Written([](JsonReport& report) {
        using namespace mduCommonMessage;
        for (const auto& [line, value] : {std::pair{InfoLineDataFileVersion, "0601"},
                                          {InfoLineSerialNumber, "GU48A0012345"},
                                          {InfoLineProgramVersion, "GPSP01.2000"},
                                          {InfoLineUnitDataVersion, "0512"}}) {
            report.OnInfoLine(line, std::string(InfoLineLabels[line]) + " " + value, value);
        }
        report.OnMessage("寫入資料中", IRunObserver::MessageKind::Information);
        report.OnProgress(700, 1400);
        report.OnPercent("50.0%");
        report.OnClock("01 : 05");
        JsonReport::End end;
        end.result = "success";
        end.run.kind = RunKind::Update;
        end.run.outcome = RunOutcome::Succeeded;
        end.run.serial = "GU48A0012345";
        end.run.programVersion = "GPSP01.2000";
        end.run.dataVersionBefore = "0512";
        end.run.fileDataVersion = "0601";
        end.run.dataVersionAfter = "0601";
        end.seconds = 65.5;
        report.WriteEnd(end);
    });
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_NE(
        lines.back().find(
            R"("serial":"GU48A0012345","program_version":"GPSP01.2000","data_version_before":"0512","file_data_version":"0601","data_version_after":"0601")"),
        std::string::npos)
        << lines.back();

    StationTile tile(3);
    tile.BeginRun(RunRequest::Action::Update, 0);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        tile.ApplyLine(lines[i], 100);
    }
    EXPECT_EQ((std::vector<std::string>{tile.Serial(), tile.ProgramVersion(),
                                        tile.DataVersionBefore(), tile.FileDataVersion(),
                                        tile.Message(), tile.PercentText(), tile.ClockText()}),
              (std::vector<std::string>{"GU48A0012345", "GPSP01.2000", "0512", "0601", "寫入資料中",
                                        "50.0%", "01 : 05"}));
    EXPECT_EQ(tile.ProgressValue(), 700);
    EXPECT_EQ(tile.ProgressMax(), 1400);
    EXPECT_EQ(tile.CurrentPhase(), StationTile::Phase::Running);
    tile.ApplyLine(lines.back(), 66000);
    tile.EndRun(ChildExit{}, 66000);
    EXPECT_EQ(tile.LastResult(), Result::Success);
    EXPECT_EQ(tile.DataVersionAfter(), "0601");
    EXPECT_DOUBLE_EQ(tile.Seconds(), 65.5);
    EXPECT_EQ(tile.CurrentPhase(), StationTile::Phase::Idle);
}

// The result is the end line's outcome, its failure text the end line's;
// a message in red is only shown. What cannot be read is no result.
TEST(StationTile, TheResultFromTheEndLineTheExitAndHowTheRunWasEnded) {
    const std::string facts =
        Line("info", R"("line":1,"text":"x","fact":"data_version","value":"0601")");
    const std::string progress = Line("progress", R"("value":10,"max":100)");
    const std::string red = Line("message", R"("text":"紅色訊息","colour":"red")");
    const std::string success = EndLine("success", RunOutcome::Succeeded);
    const std::string failed = EndLine("failure", RunOutcome::Failed, "寫入失敗");
    const std::string skipped = EndLine("cancelled", RunOutcome::Skipped);
    const std::string cancelled = EndLine("cancelled", RunOutcome::Cancelled);
    const std::string bare = EndLine("failure", RunOutcome::Failed);  // no failure text
    const std::string noOutcome = Line("end", R"("result":"success")");
    const std::string cutShort = success.substr(0, success.find("outcome") + 12);
    const ChildExit clean;
    const ChildExit one{false, 1, ""};
    const Result fail = Result::Failure;
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        ChildExit exit;
        Result result;
        std::string text;  // part of the result's words
        std::string stopReason = "";
        bool handsFree = false;
    };
    const std::string step = "    c. 使用<開始傳送>按鍵重新執行資料更新.";
    const std::string windowSteps = EndLine("failure", RunOutcome::Failed, "無法完成" + step);
    const std::vector<Case> cases = {
        {"success", {facts, red, success}, clean, Result::Success, "更新成功"},
        {"unit already current", {skipped}, one, Result::Skipped, "略過"},
        {"cancelled, the versions read", {facts, cancelled}, one, fail, "已取消"},
        {"failure with its text", {red, failed}, one, fail, "寫入失敗"},
        {"failure without a text: a red message is none", {red, bare}, one, fail, "更新失敗"},
        {"time-out", {EndLine("timeout", RunOutcome::TimedOut)}, {false, 3, ""}, fail, "逾時"},
        {"crash", {progress}, {true, 9, ""}, fail, "訊號 9 結束；最後一行：" + progress},
        {"exit without an end line", {progress}, one, fail, "沒有結果 (結束狀態 1)"},
        {"an end line without its outcome", {noOutcome}, clean, fail, "沒有結果 (結束狀態 0)"},
        {"an end line cut short", {cutShort}, clean, fail, "沒有結果 (結束狀態 0)"},
        {"success line but a bad exit", {success}, {true, 11, ""}, fail, "訊號 11"},
        {"success line but a failing exit", {success}, one, fail, "更新失敗"},
        {"stopped by the station", {progress, failed}, one, fail, "stopped here", "stopped here"},
        // The window's button is not the station's.
        {"window's step", {windowSteps}, one, fail, "無法完成    c. 使用此埠的<開始>按鍵"},
        {"hands-free step", {windowSteps}, one, fail, "c. 重新插上裝置後, 此埠會自動", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StationTile tile(4);
        tile.SetHandsFree(c.handsFree);
        tile.BeginRun(RunRequest::Action::Update, 0);
        for (const std::string& line : c.lines) {
            tile.ApplyLine(line, 10);
        }
        if (!c.stopReason.empty()) {
            tile.MarkStopped(c.stopReason);
        }
        tile.EndRun(c.exit, 2000);
        EXPECT_EQ(tile.LastResult(), c.result);
        EXPECT_NE(tile.ResultText().find(c.text), std::string::npos) << tile.ResultText();
        EXPECT_EQ(tile.ResultText().find("開始傳送"), std::string::npos) << tile.ResultText();
        if (c.result == Result::Failure) {
            EXPECT_EQ(tile.Message(), tile.ResultText());
        }
    }
}
