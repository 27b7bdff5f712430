#include <gtest/gtest.h>

#include "LineSettings.h"

TEST(LineSettings, SettingsTextIsParsedNotMatched) {
    struct Case {
        const char* text;
        int baud;
        char parity;
        int stopTenths;
    };
    const Case valid[] = {
        {"9600,N,8,1", 9600, 'N', 10},
        {"115200,N,8,1", 115200, 'N', 10},
        {"19200,e,7,2", 19200, 'E', 20},
        {" 4800 , O , 8 , 1.5", 4800, 'O', 15},
    };
    for (const Case& c : valid) {
        const auto parsed = platform::LineSettings::Parse(c.text);
        ASSERT_TRUE(parsed.has_value()) << '"' << c.text << '"';
        EXPECT_EQ(parsed->baud, c.baud) << c.text;
        EXPECT_EQ(parsed->parity, c.parity) << c.text;
        EXPECT_EQ(parsed->stopBitsTenths, c.stopTenths) << c.text;
    }
    for (const char* text : {"9600,N,8", "9600,N,8,1,1", "96x0,N,8,1", "9600,Q,8,1", "9600,N,9,1",
                             "9600,N,8,3", "", "-9600,N,8,1"}) {
        EXPECT_FALSE(platform::LineSettings::Parse(text).has_value()) << '"' << text << '"';
    }
}
