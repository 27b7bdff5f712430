#include <gtest/gtest.h>

#include <csignal>

#include <QPushButton>

#include "EventLoopWait.h"
#include "ProgramMessageBoxes.h"
#include "WindowHarness.h"
#include "mduCommonMessage.h"

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

// Closing without a question: from idle, and at the session's end or on the
// host's termination request even while busy. The window saves, says once
// that the program ended, and releases what its runs used.
TEST(frmMainClose, WhileIdleOrAtTheSessionsEndTheWindowClosesWithoutAQuestion) {
    enum How { ExitWhileIdle, SessionEnd, Termination };
    for (const How how : {ExitWhileIdle, SessionEnd, Termination}) {
        SCOPED_TRACE(how);
        WindowHarness h;
        frmMain& w = h.StartIdle();
        int ended = 0;
        QObject::connect(&w, &frmMain::programEnded, [&] { ++ended; });
        w.SetWorkingBusy(how != ExitWhileIdle);
        if (how == ExitWhileIdle) {
            h.Control<QPushButton>("cmdExit")->click();
        } else if (how == SessionEnd) {
            w.CloseForSessionEnd();
        } else {
            // The host's termination request arrives as a signal and reaches
            // the window through the event loop.
            ASSERT_EQ(std::raise(SIGTERM), 0);
            PumpUntil([&] { return w.Exited(); });
        }
        EXPECT_TRUE(h.boxes.Boxes().empty());
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(w.Exited());
        EXPECT_EQ(ended, 1);
        EXPECT_EQ(h.store.Writes().size(), 3u);
        EXPECT_EQ(h.Stored(mduSetupOptions::KeyAutoSave), "1");
        // Table 2, the driver and the random source go, and the shared base table.
        EXPECT_EQ(w.CommDriver(), nullptr);
        EXPECT_EQ(w.UnitConfig2(), nullptr);
        EXPECT_EQ(w.Random(), nullptr);
        EXPECT_EQ(w.UnitConfigBase(), nullptr);
        EXPECT_FALSE(mduGlobalModule::GlobalTablesReady());
        EXPECT_NE(&platform::ProgramMessageBoxes::Get(), &h.boxes);
        // Nothing ticks into the released objects any more.
        EXPECT_FALSE(w.timAutoRunning().Enabled());
        h.clock.AdvanceBy(5000);
    }
    // After a termination close (the signal above), an ordinary close asks again.
    WindowHarness h;
    frmMain& w = h.StartIdle();
    w.SetWorkingBusy(true);
    h.boxes.QueueAnswer(MsgResult::No);
    EXPECT_FALSE(w.close());
    EXPECT_EQ(h.boxes.Boxes().size(), 1u);
}

// No during a transfer: frmMainRun.LeavingDuringTheTransferAsksFirst.
TEST(frmMainClose, WhileBusyYesClosesAfterTheFollowUpBox) {
    WindowHarness h;
    frmMain& w = h.StartIdle();
    w.SetWorkingBusy(true);
    h.boxes.QueueAnswer(MsgResult::Yes);
    h.Control<QPushButton>("cmdExit")->click();
    ASSERT_EQ(h.boxes.Boxes().size(), 2u);
    EXPECT_EQ(h.boxes.Boxes()[0].text, "GPS的資料更新作業中,您確定要離開本程式嗎?");
    EXPECT_EQ(h.boxes.Boxes()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(h.boxes.Boxes()[0].icon, MsgIcon::Exclamation);
    // No update had begun the erase: the unit still has its data.
    EXPECT_EQ(h.boxes.Boxes()[1].text, mduCommonMessage::ExitCancelledText(false));
    EXPECT_EQ(h.boxes.Boxes()[1].buttons, MsgButtons::Ok);
    EXPECT_EQ(h.boxes.Boxes()[1].icon, MsgIcon::Exclamation);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.Exited());
    EXPECT_EQ(h.Stored(mduSetupOptions::KeyAutoSave), "1");
    EXPECT_EQ(h.Stored(mduSetupOptions::KeyFileName), frmMain::DefaultFileName());
}

TEST(frmMainClose, EveryStateChangeRunsTheNewStateTwentyMillisecondsLater) {
    WindowHarness h;
    frmMain& w = h.StartIdle();
    w.SetWorkingBusy(true);
    w.ChangeWorkState(0);
    h.clock.AdvanceBy(15);
    // A second change restarts the count.
    w.ChangeWorkState(0);
    h.clock.AdvanceBy(15);
    EXPECT_TRUE(w.WorkingBusy());
    h.clock.AdvanceBy(5);
    EXPECT_FALSE(w.WorkingBusy());
    // The tick stops the sequence timer: one run per state change.
    w.SetWorkingBusy(true);
    h.clock.AdvanceBy(1000);
    EXPECT_TRUE(w.WorkingBusy());

    // A state without a handler ignores its ticks.
    w.ChangeWorkState(17);
    h.clock.AdvanceBy(20);
    EXPECT_EQ(w.WorkPage().State, 17);
    EXPECT_EQ(w.WorkPage().Event, 1);
    EXPECT_TRUE(w.WorkingBusy());
}
