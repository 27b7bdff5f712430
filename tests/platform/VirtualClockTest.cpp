#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedMessageBoxes.h"
#include "VirtualClock.h"

using platform::VirtualClock;

TEST(VirtualClock, TimersFireInTimeOrderAndRepeatWhileEnabled) {
    VirtualClock clock;
    std::vector<std::string> fired;
    auto fast = clock.CreateTimer();
    auto slow = clock.CreateTimer();
    fast->SetInterval(20);
    slow->SetInterval(30);
    fast->SetOnTimer([&] { fired.push_back("fast@" + std::to_string(clock.NowMs())); });
    slow->SetOnTimer([&] { fired.push_back("slow@" + std::to_string(clock.NowMs())); });
    fast->SetEnabled(true);
    slow->SetEnabled(true);

    clock.AdvanceBy(60);
    // At 60 both are due; slow was re-armed (at 30) before fast (at 40).
    EXPECT_EQ(fired,
              (std::vector<std::string>{"fast@20", "slow@30", "fast@40", "slow@60", "fast@60"}));
}

// A timer fires only while enabled, alive and with an interval; enabling it
// again, or writing its interval, counts from zero; a handler may stop it.
TEST(VirtualClock, TimersFireOnlyWhileEnabledAndCountFromTheirLastStart) {
    VirtualClock clock(1000);
    int ticks = 0;
    auto timer = clock.CreateTimer();
    timer->SetOnTimer([&] { ++ticks; });
    timer->SetInterval(20);
    timer->SetEnabled(true);
    clock.AdvanceBy(15);
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    timer->SetInterval(timer->Interval());
    clock.AdvanceBy(15);
    EXPECT_EQ(ticks, 0);
    clock.AdvanceBy(5);
    EXPECT_EQ(ticks, 1);
    timer->SetEnabled(false);
    clock.AdvanceBy(1000);
    EXPECT_EQ(ticks, 1);

    auto zero = clock.CreateTimer();  // interval 0 never fires
    zero->SetOnTimer([&] { ++ticks; });
    zero->SetEnabled(true);
    {
        auto gone = clock.CreateTimer();  // destroyed before its expiry
        gone->SetInterval(10);
        gone->SetOnTimer([&] { ++ticks; });
        gone->SetEnabled(true);
    }
    timer->SetInterval(1000);
    timer->SetOnTimer([&] {
        ++ticks;
        timer->SetEnabled(false);
    });
    timer->SetEnabled(true);
    clock.AdvanceBy(40'000);
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(clock.PendingCount(), 0U);
    EXPECT_EQ(clock.NowSeconds(), 1000 + 41);
}

TEST(VirtualClock, ScheduledActionsCanBeCancelledAndRunUntilStopsEarly) {
    VirtualClock clock;
    std::vector<int> order;
    clock.ScheduleAfterUs(87, [&] { order.push_back(1); });
    const auto cancelled = clock.ScheduleAfter(1, [&] { order.push_back(99); });
    clock.ScheduleAfter(5, [&] { order.push_back(2); });
    clock.ScheduleAfter(50, [&] { order.push_back(3); });
    clock.Cancel(cancelled);

    EXPECT_TRUE(clock.RunUntil([&] { return order.size() == 2; }, 1000));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(clock.NowMs(), 5);
    EXPECT_FALSE(clock.RunUntil([] { return false; }, 10));
    EXPECT_EQ(clock.NowMs(), 15);
    EXPECT_EQ(clock.NextDueUs(), 50'000);
}

// The answer the sequence tests do not lean on: a question is answered No
// unless told otherwise.
TEST(ScriptedMessageBoxes, AQuestionIsAnsweredNo) {
    using platform::MsgButtons;
    using platform::MsgIcon;
    using platform::MsgResult;
    platform::ScriptedMessageBoxes boxes;
    EXPECT_EQ(boxes.Show("q", MsgButtons::YesNo, MsgIcon::Exclamation), MsgResult::No);
}
