#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "WindowHarness.h"
#include "clsComm.h"

// The driver's three endings of a cycle reach the sequence as events 3, 4
// and 5, with the bytes that came; the record shows what the last call got.
TEST(frmMainEvents, TheDriversCycleEndingsBecomeSequenceEventsWithTheirBytes) {
    WindowHarness h;
    frmMain& w = h.StartIdle();
    clsComm& driver = *w.CommDriver();
    driver.SetCommuStats(1);
    ASSERT_EQ(driver.CommuStats(), 1);
    const std::vector<std::uint8_t> hello = {'$', 'G', 'S', 'H', 'L', 'O'};

    // Sent, no reply awaited: event 4, no bytes.
    ASSERT_TRUE(driver.SendDataToUnit(hello, 30, -1, -1));
    EXPECT_TRUE(h.clock.RunUntil([&] { return w.WorkPage().Event == 4; }, 100));
    EXPECT_TRUE(w.WorkPage().Received.empty());

    // A reply followed by the frame-space silence: event 3 with the reply.
    const std::vector<std::uint8_t> reply = {'$', 'A', 'S', 'A', 'C', 'K', 0x0D, 0x0A};
    driver.SetCommFrameState(1);
    ASSERT_TRUE(driver.SendDataToUnit(hello, 30, 1000, -1));
    h.clock.AdvanceBy(10);  // the hello has left
    h.line.InjectInput(reply);
    EXPECT_TRUE(h.clock.RunUntil([&] { return w.WorkPage().Event == 3; }, 500));
    EXPECT_EQ(w.WorkPage().Received, reply);

    // Nothing comes back: event 5 when the time-out expires.
    ASSERT_TRUE(driver.SendDataToUnit(hello, 30, 200, -1));
    const std::int64_t sentAt = h.clock.NowMs();
    EXPECT_TRUE(h.clock.RunUntil([&] { return w.WorkPage().Event == 5; }, 1000));
    EXPECT_EQ(h.clock.NowMs() - sentAt, 200);
    EXPECT_TRUE(w.WorkPage().Received.empty());
    // The idle state stays idle through all of them.
    EXPECT_EQ(w.WorkState(), 0);
}
