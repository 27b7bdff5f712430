// The station's command line.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "StationOptions.h"

TEST(StationOptions, TheCommandLine) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::vector<int> ports;
        bool headless;
    };
    const std::vector<Case> cases = {
        {{"--ports", "3,4,5", "--file", "f.apd"}, true, {3, 4, 5}, true},
        {{"--ports=1-3,2,16", "--file=f.apd", "--json"}, true, {1, 2, 3, 16}, true},
        {{"--ports", "1-16", "--file", "f", "--window", "--start"}, true, {}, false},
        {{}, true, {}, false},                 // the window
        {{"--ports", "3"}, false, {}, false},  // headless needs the file
        {{"--ports", "0,3", "--file", "f"}, false, {}, false},
        {{"--ports", "17", "--file", "f"}, false, {}, false},
        {{"--ports", "5-3", "--file", "f"}, false, {}, false},
        {{"--ports", "3,", "--file", "f"}, false, {}, false},
        {{"--ports", "3", "--file", "f", "--units", "4"}, false, {}, false},
        {{"--ports", "3", "--file", "f", "--continuous", "--units", "0"}, false, {}, false},
        {{"--ports", "3", "--file", "f", "--poll-seconds", "-1"}, false, {}, false},
        {{"--json=yes"}, false, {}, false},
        {{"--start"}, false, {}, false},
        {{"--bogus"}, false, {}, false},
        {{"--ports", "3", "--file"}, false, {}, false},
        {{"--history="}, false, {}, false},
        {{"--history-server"}, false, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        std::string error;
        const auto options = StationOptions::Parse(c.args, error);
        ASSERT_EQ(options.has_value(), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        if (!c.ports.empty()) {
            EXPECT_EQ(options->ports, c.ports);
        }
        EXPECT_EQ(options->Headless(), c.headless);
    }
    std::string error;
    EXPECT_FALSE(StationOptions::Parse({"--ports", "3", "--file", "f"}, error)->sound);  // silent
    const auto options = StationOptions::Parse(
        {"--ports", "2", "--file", "f", "--sound", "--continuous", "--units", "7", "--force",
         "--poll-seconds", "1.5", "--silence-seconds", "30", "--trace-dir", "/t", "--history",
         "/h.sqlite", "--history-server=postgresql://u@h/db"},
        error);
    ASSERT_TRUE(options) << error;
    const StationSettings& s = options->settings;
    EXPECT_EQ(std::tie(options->sound, s.continuous, s.force, s.units, s.pollIntervalMs,
                       s.silenceLimitMs, s.traceFolder, s.history, s.historyServer),
              std::make_tuple(true, true, true, 7, 1500, 30000, "/t", "/h.sqlite",
                              "postgresql://u@h/db"));
}
