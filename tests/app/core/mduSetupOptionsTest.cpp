#include <gtest/gtest.h>

#include <optional>

#include "mduSetupOptions.h"

TEST(mduSetupOptions, TheRestoreSwitchAndTheStoredPortAreReadSafely) {
    const struct {
        const char* text;
        bool restore;
    } switches[] = {{"1", true},   {"0", false},  {" 0 ", false}, {"0.0", false}, {"-0", false},
                    {"2", true},   {"-1", true},  {"abc", true},  {"", true},     {"1e999", true},
                    {"0x0", true}, {"+0", false}, {"nan", true}};
    for (const auto& s : switches) {
        EXPECT_EQ(mduSetupOptions::RestoreRequested(s.text), s.restore) << "\"" << s.text << "\"";
    }

    const struct {
        const char* text;
        std::optional<std::int16_t> port;
    } ports[] = {{"1", 1},
                 {"16", 16},
                 {" 5\t", 5},
                 {"05", 5},
                 {"00016", 16},  // found by fuzzing: any number of leading zeros
                 {"00000000000000000000017", std::nullopt},
                 {"0", std::nullopt},
                 {"17", std::nullopt},
                 {"-3", std::nullopt},
                 {"3.5", std::nullopt},
                 {"abc", std::nullopt},
                 {"", std::nullopt},
                 {"65537", std::nullopt},
                 {"1 6", std::nullopt},
                 {"+5", std::nullopt}};
    for (const auto& p : ports) {
        EXPECT_EQ(mduSetupOptions::ParsePort(p.text), p.port) << "\"" << p.text << "\"";
    }
}

TEST(mduSetupOptions, TheDataFileBoxStartsInAFolderThatExistsOnThePlatform) {
    EXPECT_EQ(mduSetupOptions::DefaultFileName(true, "C:\\Users\\op"), "C:\\");
    EXPECT_EQ(mduSetupOptions::DefaultFileName(false, "/home/op"), "/home/op/");
    EXPECT_EQ(mduSetupOptions::DefaultFileName(false, "/root/"), "/root/");
    EXPECT_EQ(mduSetupOptions::DefaultFileName(false, ""), "/");
}
