// The plain parts of gpsupdate-auto: its command line (a public interface),
// the JSON lines it writes and the stall measure of its heartbeat.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AutoOptions.h"
#include "BusyStretchMeter.h"
#include "JsonLine.h"
#include "StallMeter.h"

TEST(AutoOptions, TheCommandLineScriptsDependOn) {
    std::string error;
    const auto update =
        AutoOptions::Parse({"--action", "update", "--port", "16", "--file", "/data/0601.apd",
                            "--confirm", "ok", "--timeout", "2.5", "--screenshot", "/tmp/w.png",
                            "--trace", "/tmp/t.jsonl", "--box-delay", "4000"},
                           error);
    ASSERT_TRUE(update) << error;
    EXPECT_EQ(update->action, AutoOptions::Action::Update);
    EXPECT_EQ(update->port, 16);
    EXPECT_EQ(update->file, "/data/0601.apd");
    EXPECT_TRUE(update->confirm);
    EXPECT_DOUBLE_EQ(update->timeoutSeconds, 2.5);
    EXPECT_EQ(update->screenshot, "/tmp/w.png");
    EXPECT_EQ(update->trace, "/tmp/t.jsonl");
    EXPECT_EQ(update->boxDelayMs, 4000);

    const auto scan = AutoOptions::Parse({"--action=scan"}, error);
    ASSERT_TRUE(scan) << error;
    EXPECT_EQ(scan->action, AutoOptions::Action::Scan);
    EXPECT_FALSE(scan->confirm);                  // questions are declined
    EXPECT_DOUBLE_EQ(scan->timeoutSeconds, 180);  // three minutes
    EXPECT_EQ(scan->port, 0);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {},
             {"--action", "flash"},
             {"--action", "test", "--port", "0"},
             {"--action", "test", "--port", "17"},
             {"--action", "test", "--port", "3x"},
             {"--action", "test", "--confirm", "yes"},
             {"--action", "test", "--timeout", "0"},
             {"--action", "test", "--timeout", "-1"},
             {"--action", "test", "--file"},
             {"--action", "test", "--box-delay", "-5"},
             {"--action", "test", "extra"},
             {"--action", "test", "--history", "h.sqlite", "--no-history"}}) {
        std::string why;
        EXPECT_FALSE(AutoOptions::Parse(bad, why).has_value()) << testing::PrintToString(bad);
        EXPECT_FALSE(why.empty());
    }
    EXPECT_TRUE(AutoOptions::Parse({"--help"}, error)->help);
}

TEST(JsonLine, EveryLineIsValidJsonWhateverTheText) {
    JsonLine line;
    line.Add("t_ms", std::int64_t{12})
        .Add("text", "a\"b\\c\r\nd\t\x01")
        .Add("zh", "資料更新完成")
        .Add("bytes", std::string("\xE9\xFF", 2))  // not UTF-8
        .AddFixed("seconds", 26.3214, 3)
        .AddFixed("small", 0.05, 1)
        .AddFixed("negative", -1.25, 1);
    EXPECT_EQ(line.Text(),
              "{\"t_ms\":12,\"text\":\"a\\\"b\\\\c\\r\\nd\\t\\u0001\",\"zh\":\"資料更新完成\","
              "\"bytes\":\"\\u00e9\\u00ff\",\"seconds\":26.321,\"small\":0.1,"
              "\"negative\":-1.3}\n");
}

TEST(BusyStretchMeter, CountsFromTheFirstEventAfterAWaitToTheNextWait) {
    BusyStretchMeter meter;
    meter.OnEvent(0);  // not started: nothing counts
    meter.OnAboutToBlock(90'000);
    EXPECT_EQ(meter.MaxUs(90'000), 0);
    meter.Start();
    EXPECT_TRUE(meter.Waiting());
    // Three events in one pass of the loop count together: 1 to 13 ms.
    for (std::int64_t t : {1'000, 5'000, 13'000}) {
        meter.OnEvent(t);
    }
    EXPECT_FALSE(meter.Waiting());
    meter.OnAboutToBlock(13'000);
    EXPECT_EQ(meter.MaxUs(13'000), 12'000);
    // A message box's loop waiting ends its handler's stretch; what the
    // handler does after the box is a stretch of its own.
    meter.OnEvent(20'000);
    meter.OnAboutToBlock(24'000);  // the box is up
    meter.OnEvent(3'020'000);      // the box is answered 3 s later
    meter.OnAboutToBlock(3'029'000);
    EXPECT_EQ(meter.MaxUs(3'029'000), 12'000);
    // A stretch still under way counts up to the time asked.
    meter.OnEvent(3'030'000);
    EXPECT_EQ(meter.MaxUs(3'080'000), 50'000);
    // Stopped, nothing more begins.
    meter.OnAboutToBlock(3'080'000);
    meter.Stop();
    meter.OnEvent(4'000'000);
    EXPECT_EQ(meter.MaxUs(9'000'000), 50'000);
}

TEST(StallMeter, MeasuresHowLateTheHeartbeatRuns) {
    StallMeter meter(10'000);
    meter.Start(0);
    for (std::int64_t t : {10'000, 20'300, 30'300, 95'300, 105'000}) {
        meter.Tick(t);
    }
    EXPECT_EQ(meter.MaxLateUs(), 55'000);  // the tick due at 40.3 ms came at 95.3 ms
    StallMeter early(10'000);
    early.Start(0);
    early.Tick(9'000);  // early ticks are no stall
    EXPECT_EQ(early.MaxLateUs(), 0);
}
