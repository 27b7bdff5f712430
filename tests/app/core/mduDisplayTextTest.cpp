#include <gtest/gtest.h>

#include "mduDisplayText.h"

using namespace mduDisplayText;

TEST(mduDisplayText, TheTransferClockAndPercentageReadAsTheOperatorExpects) {
    struct Clock {
        std::int64_t seconds;
        const char* text;
    };
    for (const Clock& c : {Clock{0, "00 : 00"}, Clock{65, "01 : 05"}, Clock{6000, "100 : 00"},
                           Clock{-65, "01 : 05"}}) {
        EXPECT_EQ(ClockText(c.seconds), c.text) << c.seconds;
    }
    EXPECT_EQ(PercentText(20, 80), "25.0%");
    EXPECT_EQ(PercentText(0, 80), "0.0%");
    EXPECT_EQ(PercentText(1, 3), "33.3%");
    EXPECT_EQ(PercentText(2, 3), "66.7%");
    EXPECT_EQ(PercentText(14043, 14044), "100.0%");
    EXPECT_EQ(PercentText(5, 0), "0.0%");  // no maximum yet
    EXPECT_EQ(ProgressSuffix("01 : 05", "25.0%"), " (計時: 01 : 05 , 進度: 25.0%)");
}

TEST(mduDisplayText, TheMessageAreaKeepsItsFirstPartOnlyWhenAsked) {
    const std::string check = "GPS資料檢查中, 大約需要 10 - 15 秒, 請稍待.";
    EXPECT_EQ(ComposeMessageText(check + " : 11", "12", true, " : "), check + " : 12");
    EXPECT_EQ(ComposeMessageText("no separator", "12", true, " : "), "no separator : 12");
    EXPECT_EQ(ComposeMessageText("a : b : c", "d", true, " : "), "a : d");  // the first one
    EXPECT_EQ(ComposeMessageText("old", "new", false, "\r\n"), "new");
    // The transfer suffix follows the first ":" and replaces the last one.
    const std::string sending = "資料傳送中, 大約需要 6 - 8 分鐘, 請稍待.";
    const std::string once =
        ComposeMessageText(sending, ProgressSuffix("00 : 01", "1.0%"), true, ":");
    EXPECT_EQ(ComposeMessageText(once, ProgressSuffix("00 : 02", "2.0%"), true, ":"),
              sending + ": (計時: 00 : 02 , 進度: 2.0%)");
    EXPECT_EQ(ComposeInfoLine("GPS   序          號   : GU1", ""), "GPS   序          號   : ");
    EXPECT_EQ(ComposeInfoLine("no label", "x"), "no label: x");
}

TEST(mduDisplayText, ThePortListNamesTheDeviceBehindEachNumberOrMarksItsAbsence) {
    const auto facts = [](std::string device, bool present, std::string description) {
        platform::PortFacts f;
        f.device = std::move(device);
        f.present = present;
        f.description = std::move(description);
        return f;
    };
    const struct {
        int port;
        platform::PortFacts facts;
        const char* text;
    } cases[] = {
        {1, {}, "1: 無裝置"},
        {2, facts("/dev/ttyUSB0", true, "FT232R USB UART"), "2: ttyUSB0 (FT232R USB UART)"},
        {3, facts("/tmp/gpsunit", false, ""), "3: gpsunit (目前不存在)"},
        {4, facts("/dev/ttyS0", true, ""), "4: ttyS0"},
        {5, facts("COM5", true, "USB Serial Port"), "5: (USB Serial Port)"},
        {6, facts("\\\\.\\COM12", true, ""), "6: COM12"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortItemText(c.port, c.facts), c.text) << c.port;
    }
}
