// Whole runs through the real window: its widgets, its timers on the virtual
// clock, the simulated unit on the in-memory line, and the modal boxes that
// let events in while they are open.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "RunHarness.h"
#include "RunTrace.h"
#include "mduCommonMessage.h"

using platform::MsgResult;
using testing::Contains;
using testing::HasSubstr;

namespace {

std::vector<std::string> LinesOf(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

// While a run is under way the file box is the run's file: typing into it
// changes nothing, and the file written is what is saved.
TEST(frmMainRun, AWholeUpdateThroughTheWindow) {
    RunHarness h;
    frmMain& w = h.StartWithFile();
    auto* box = h.Control<QLineEdit>("txtFileName");
    const auto type = [box] {
        box->setFocus();
        for (const auto& [key, text] : {std::pair{Qt::Key_X, "x"}, std::pair{Qt::Key_Y, "y"}}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
            QApplication::sendEvent(box, &press);
        }
    };
    box->clear();
    type();
    EXPECT_EQ(box->text(), QStringLiteral("xy"));  // idle: the box takes what is typed
    w.SetFileNameText(h.file->Path());
    h.ToTransfer();  // the file is not newer: the question comes
    h.clock.AdvanceBy(300);
    // During the transfer only cmdExit is enabled, under the wait cursor.
    EXPECT_EQ(h.EnabledControls(), std::vector<std::string>{"cmdExit"});
    EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(h.Control<QProgressBar>("progbDownloadProgress")->maximum(), 30);
    type();
    EXPECT_EQ(w.FileNameText(), h.file->Path());

    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.boxes.Texts(),
              (std::vector<std::string>{mduCommonMessage::NotNewerQuestionText(), "資料更新完成"}));
    EXPECT_EQ(h.boxes.Boxes()[0].buttons, platform::MsgButtons::OkCancel);  // Enter: Cancel
    EXPECT_EQ(w.InfoLine(0), "檔 案 資 料 版 本  : 0601");
    EXPECT_NE(w.HostImageText(), "");
    h.clock.AdvanceBy(1100);
    EXPECT_EQ(h.EnabledControls().size(), 6u);
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(h.Stored(mduSetupOptions::KeyFileName), h.file->Path());
}

// The closing question during a transfer, which goes on while it is open:
// No lets the transfer finish. Yes abandons it before the cancelled box
// opens, and nothing more reaches the unit while that is read; a Yes once
// the run has ended inside the question leaves without a word of a
// cancellation that did not happen. A termination or session end while it
// is open ends the program with no follow-up box, and nothing runs against
// the released objects.
TEST(frmMainRun, LeavingDuringTheTransferAsksFirst) {
    namespace msg = mduCommonMessage;
    enum Then { No, Yes, YesAfterItsEnd, Termination, SessionEnd };
    const char* const names[] = {"No", "Yes", "Yes once the run has ended", "termination",
                                 "session end"};
    for (const Then then : {No, Yes, YesAfterItsEnd, Termination, SessionEnd}) {
        SCOPED_TRACE(names[then]);
        RunHarness h;
        frmMain& w = h.StartTransfer();
        const auto frames = [&h] {
            return h.unit.Log().EntriesOf(sim::LogEntry::Kind::HostFrame).size();
        };
        std::size_t framesWhenTold = 0;
        h.boxes.SetWhileOpen([&](const platform::ScriptedMessageBoxes::Shown& box) {
            if (box.text == msg::ExitCancelledText(true)) {
                framesWhenTold = frames();
                h.clock.AdvanceBy(30000);
            } else if (box.text != msg::ExitQuestionText) {
                return;
            } else if (then == No) {
                h.clock.AdvanceBy(2000);
                EXPECT_GE(w.WorkState(), 14);
            } else if (then == YesAfterItsEnd) {
                h.RunUntilIdle();        // the success box opens and closes inside the question
                h.clock.AdvanceBy(100);  // idle's entry: the controls are back
            } else if (then == Termination) {
                w.CloseForTermination();
            } else if (then == SessionEnd) {
                w.CloseForSessionEnd();
            }
        });
        // What a dismissed box answers is No.
        h.boxes.QueueAnswer(then == Yes || then == YesAfterItsEnd ? MsgResult::Yes : MsgResult::No);
        const bool leaves = then != No;
        EXPECT_EQ(w.close(), leaves);
        if (!leaves) {
            ASSERT_TRUE(h.RunUntilIdle());
        }
        EXPECT_EQ(w.Exited(), leaves);
        std::vector<std::string> boxes = {msg::NotNewerQuestionText(), msg::ExitQuestionText};
        if (then == Yes) {
            EXPECT_EQ(w.Sequence().LastOutcome(), RunOutcome::Cancelled);
            EXPECT_EQ(frames(), framesWhenTold);
            boxes.push_back(msg::ExitCancelledText(true));
        } else if (then == No || then == YesAfterItsEnd) {
            EXPECT_EQ(w.Sequence().LastOutcome(), RunOutcome::Succeeded);
            boxes.push_back("資料更新完成");
        } else {
            EXPECT_EQ(w.Sequence().LastOutcome(), RunOutcome::Interrupted);
        }
        EXPECT_EQ(h.boxes.Texts(), boxes);
        h.clock.AdvanceBy(5000);
        EXPECT_EQ(w.isVisible(), !leaves);
        EXPECT_EQ(w.CommDriver() == nullptr, leaves);
    }
}

TEST(frmMainRun, ASequenceBoxClosingAfterTheWindowWasReleasedRunsNoState) {
    RunHarness h;
    frmMain& w = h.StartWithFile();
    // The program is told to end while the operator is being asked whether
    // to write a data file that is not newer.
    h.boxes.SetWhileOpen([&](const platform::ScriptedMessageBoxes::Shown& box) {
        if (box.text == mduCommonMessage::NotNewerQuestionText()) {
            w.CloseForTermination();
        }
    });
    h.boxes.QueueAnswer(MsgResult::Ok);
    h.Control<QPushButton>("cmdDownLoadStart")->click();
    ASSERT_TRUE(h.clock.RunUntil([&] { return w.Exited(); }, 60000));
    const std::int32_t state = w.WorkState();
    EXPECT_FALSE(w.timAutoRunning().Enabled());
    h.clock.AdvanceBy(120000);
    EXPECT_EQ(w.WorkState(), state);
    EXPECT_EQ(h.unit.Log().EntriesOf(sim::LogEntry::Kind::State).size(), 0u);  // no erase
}

TEST(frmMainRun, EveryRunLeavesATraceNamedWithItsResultAndScansNeverPushOutAnUpdate) {
    RunHarness h;
    const auto folder = std::filesystem::path(h.file->Path()).parent_path() / "traces";
    auto trace = RunTrace::ToFolder(folder);
    frmMain& w = h.StartWithFile();
    trace->SetProgram("test", &h.line);
    w.SetObserver(trace.get());
    h.boxes.QueueAnswer(MsgResult::Ok);
    h.Control<QPushButton>("cmdDownLoadStart")->click();
    ASSERT_TRUE(h.RunUntilIdle());
    const std::filesystem::path updateTrace = trace->CurrentFile();

    const std::vector<std::string> lines = LinesOf(updateTrace);
    ASSERT_GT(lines.size(), 60u);
    EXPECT_THAT(updateTrace.filename().string(), HasSubstr("-update-success.jsonl"));
    // The setting of the run, for support: port, device, file and its size.
    EXPECT_THAT(lines.front(), HasSubstr(R"("kind":"run-start","run":"update")"));
    EXPECT_THAT(lines.front(), HasSubstr(R"("port":"COM1")"));
    EXPECT_THAT(lines.front(), HasSubstr(R"("file":")" + h.file->Path()));
    EXPECT_THAT(
        lines.front(),
        HasSubstr(R"("file_size":")" + std::to_string(std::filesystem::file_size(h.file->Path()))));
    EXPECT_THAT(lines.back(), HasSubstr(R"("kind":"run-end","run":"update","result":"success")"));
    for (const std::string text :
         {R"("kind":"frame-out","code":-1,"length":11,"bytes":"2447534C4E4B2A35440D0A")",
          R"("kind":"frame-out","code":51,"length":232,"head":)", R"("kind":"frame-in","bytes":")",
          R"("kind":"box","text":"資料更新完成","buttons":"ok","icon":"information","answer":"ok")",
          R"("kind":"state","from":20,"to":21)",
          // What the press shows belongs to the run, timed from its start.
          R"("kind":"info","line":2,"text":"GPS   序          號   : "})"}) {
        EXPECT_THAT(lines, Contains(HasSubstr(text)));
    }
    for (const std::string& line : lines) {
        EXPECT_LT(std::stoll(line.substr(line.find(':') + 1)), 60'000) << line;
    }

    // 21 connection tests: the first of them goes, twenty stay, and the
    // update's trace with them.
    std::string error;
    h.unit.AddFault(sim::FaultSpec::Parse("no-reply:sentence=hello", error).value());
    for (int run = 0; run < 21; ++run) {
        h.Control<QPushButton>("cmdHelloDevice")->click();
        ASSERT_TRUE(h.RunUntilIdle());
        h.clock.AdvanceBy(50);
    }
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files += entry.path().extension() == ".jsonl" ? 1 : 0;
    }
    EXPECT_EQ(files, 21u);
    EXPECT_TRUE(std::filesystem::exists(updateTrace)) << updateTrace;

    // The program ended mid-transfer: the trace has its end and says so.
    h.unit.ClearFaults();
    h.ToTransfer();
    w.CloseForTermination();
    const std::filesystem::path cut = trace->CurrentFile();
    EXPECT_THAT(cut.filename().string(), HasSubstr("-update-interrupted.jsonl"));
    const std::vector<std::string> cutLines = LinesOf(cut);
    ASSERT_FALSE(cutLines.empty());
    EXPECT_THAT(cutLines.back(),
                HasSubstr(R"("kind":"run-end","run":"update","result":"interrupted")"));
    w.SetObserver(nullptr);
}
