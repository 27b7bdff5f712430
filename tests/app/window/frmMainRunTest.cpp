// Whole runs through the real window: its widgets, its timers on the virtual
// clock, the simulated unit on the in-memory line, and the modal boxes that
// let events in while they are open.

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "SimulatedUnit.h"
#include "TempDataFile.h"
#include "WindowHarness.h"
#include "clsApdPacker.h"
#include "mduCommonMessage.h"

using platform::MsgResult;

namespace {

// The window on test services with the simulated unit on the line and a
// small packed data file in the file box.
struct RunHarness : WindowHarness {
    sim::SimulatedUnit unit{QuickUnit()};
    std::unique_ptr<TempDataFile> file;

    static sim::UnitConfig QuickUnit() {
        sim::UnitConfig config;
        config.eraseMs = 1000;
        config.checkMs = 1000;
        config.flashSize = 64 * 1024;
        config.parameterSize = 4 * 1024;
        config.dataVersion = "0601";  // the same as the file: the question comes
        return config;
    }

    RunHarness() {
        clsApdPacker::Settings settings;
        settings.flashData = clsApdPacker::SeededBytes(224 * 30, 5);
        settings.parameterData = clsApdPacker::SeededBytes(64 * 2, 6);
        file = std::make_unique<TempDataFile>(clsApdPacker::Pack(settings).value());
        line.AttachPeer(&unit);
    }
    ~RunHarness() {
        window.reset();
        line.AttachPeer(nullptr);
    }
    frmMain& StartWithFile() {
        frmMain& w = StartIdle();
        w.SetFileNameText(file->Path());
        return w;
    }
    bool RunUntilIdle(std::int64_t limitMs = 120000) {
        return clock.RunUntil(
            [this] {
                return window->WorkState() == 0 && window->Sequence().CurrentRun() == RunKind::None;
            },
            limitMs);
    }
};

}  // namespace

TEST(frmMainRun, AWholeUpdateThroughTheWindow) {
    RunHarness h;
    frmMain& w = h.StartWithFile();
    h.boxes.QueueAnswer(MsgResult::Ok);  // the file is not newer: go on
    bool checkedMidTransfer = false;
    h.Control<QPushButton>("cmdDownLoadStart")->click();
    ASSERT_TRUE(h.clock.RunUntil([&] { return w.WorkState() == 14; }, 60000));
    h.clock.AdvanceBy(300);
    // During the transfer only cmdExit is enabled.
    for (QWidget* control : h.OperatingControls()) {
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    }
    EXPECT_TRUE(h.Control<QPushButton>("cmdExit")->isEnabled());
    EXPECT_EQ(h.Control<QProgressBar>("progbDownloadProgress")->maximum(), 30);
    checkedMidTransfer = true;

    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_TRUE(checkedMidTransfer);
    EXPECT_EQ(w.Sequence().LastOutcome(), RunOutcome::Succeeded);
    EXPECT_EQ(w.MessageText(), mduCommonMessage::UpdateSucceededText);
    EXPECT_EQ(w.MessageColour(), QColor(0, 0, 255));
    for (int lamp = 0; lamp < 20; ++lamp) {
        EXPECT_EQ(w.LampColour(lamp), QColor(0, 255, 0)) << lamp;
    }
    EXPECT_EQ(h.boxes.Texts(),
              (std::vector<std::string>{mduCommonMessage::NotNewerQuestionText(), "資料更新完成"}));
    EXPECT_EQ(w.InfoLine(0), "檔 案 資 料 版 本  : 0601");
    EXPECT_EQ(w.InfoLine(3), "GPS   程 式 版 本  : GPSP01.2000");
    EXPECT_NE(w.HostImageText(), "");
    h.clock.AdvanceBy(1100);
    for (QWidget* control : h.OperatingControls()) {
        EXPECT_TRUE(control->isEnabled());
    }
}

TEST(frmMainRun, LeavingDuringTheTransferAsksAndNoLetsItFinish) {
    RunHarness h;
    frmMain& w = h.StartWithFile();
    h.boxes.QueueAnswer(MsgResult::Ok);
    h.Control<QPushButton>("cmdDownLoadStart")->click();
    ASSERT_TRUE(h.clock.RunUntil([&] { return w.WorkState() == 14; }, 60000));

    // The operator thinks it over for two seconds; the transfer goes on.
    int stateWhileAsked = -1;
    h.boxes.SetWhileOpen([&](const platform::ScriptedMessageBoxes::Shown& box) {
        if (box.text == mduCommonMessage::ExitQuestionText) {
            h.clock.AdvanceBy(2000);
            stateWhileAsked = w.WorkState();
        }
    });
    h.boxes.QueueAnswer(MsgResult::No);
    EXPECT_FALSE(w.close());
    EXPECT_GE(stateWhileAsked, 14);
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(w.Sequence().LastOutcome(), RunOutcome::Succeeded);
    EXPECT_FALSE(w.Exited());
}

TEST(frmMainRun, ATerminationWhileTheClosingQuestionIsOpenEndsTheProgram) {
    for (const bool sessionEnd : {false, true}) {
        SCOPED_TRACE(sessionEnd ? "session end" : "termination");
        RunHarness h;
        frmMain& w = h.StartWithFile();
        h.boxes.QueueAnswer(MsgResult::Ok);
        h.Control<QPushButton>("cmdDownLoadStart")->click();
        ASSERT_TRUE(h.clock.RunUntil([&] { return w.WorkState() == 14; }, 60000));

        h.boxes.SetWhileOpen([&](const platform::ScriptedMessageBoxes::Shown& box) {
            if (box.text == mduCommonMessage::ExitQuestionText) {
                sessionEnd ? w.CloseForSessionEnd() : w.CloseForTermination();
            }
        });
        h.boxes.QueueAnswer(MsgResult::No);  // what the dismissed box would answer
        w.close();
        EXPECT_TRUE(w.Exited());
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(h.boxes.Boxes().size(), 2u);  // no follow-up box
        h.clock.AdvanceBy(5000);                // nothing runs against the released objects
        EXPECT_EQ(w.CommDriver(), nullptr);
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
