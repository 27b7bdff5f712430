#include <gtest/gtest.h>

#include "LineSettings.h"

TEST(LineSettings, SettingsTextIsParsedNotMatched) {
    struct Case {
        const char* text;
        bool valid;
        int baud;
        char parity;
        int stopTenths;
    };
    const Case cases[] = {
        {"9600,N,8,1", true, 9600, 'N', 10},
        {"115200,N,8,1", true, 115200, 'N', 10},
        {"19200,e,7,2", true, 19200, 'E', 20},
        {" 4800 , O , 8 , 1.5", true, 4800, 'O', 15},
        {"9600,N,8", false, 0, 0, 0},
        {"9600,N,8,1,1", false, 0, 0, 0},
        {"96x0,N,8,1", false, 0, 0, 0},
        {"9600,Q,8,1", false, 0, 0, 0},
        {"9600,N,9,1", false, 0, 0, 0},
        {"9600,N,8,3", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"-9600,N,8,1", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const auto parsed = platform::LineSettings::Parse(c.text);
        ASSERT_EQ(parsed.has_value(), c.valid) << '"' << c.text << '"';
        if (parsed) {
            EXPECT_EQ(parsed->baud, c.baud) << c.text;
            EXPECT_EQ(parsed->parity, c.parity) << c.text;
            EXPECT_EQ(parsed->stopBitsTenths, c.stopTenths) << c.text;
        }
    }
}
