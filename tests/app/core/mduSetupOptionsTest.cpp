#include <gtest/gtest.h>

#include "mduSetupOptions.h"

// How the stored port is read is judged by fuzz_settings against its rule
// (a whole number from 1 to 16, blanks around it allowed); its corpus, run
// by fuzz_replay_settings, holds the cases: blanks inside and around, signs,
// fractions, leading zeros, values past 16 and past 16 bits.
TEST(mduSetupOptions, TheRestoreSwitchIsReadSafely) {
    const struct {
        const char* text;
        bool restore;
    } switches[] = {{"1", true},   {"0", false},  {" 0 ", false}, {"0.0", false}, {"-0", false},
                    {"2", true},   {"-1", true},  {"abc", true},  {"", true},     {"1e999", true},
                    {"0x0", true}, {"+0", false}, {"nan", true}};
    for (const auto& s : switches) {
        EXPECT_EQ(mduSetupOptions::RestoreRequested(s.text), s.restore) << "\"" << s.text << "\"";
    }
}

TEST(mduSetupOptions, TheDataFileBoxStartsInAFolderThatExistsOnThePlatform) {
    EXPECT_EQ(mduSetupOptions::DefaultFileName(true, "C:\\Users\\op"), "C:\\");
    EXPECT_EQ(mduSetupOptions::DefaultFileName(false, "/home/op"), "/home/op/");
    EXPECT_EQ(mduSetupOptions::DefaultFileName(false, "/root/"), "/root/");
    EXPECT_EQ(mduSetupOptions::DefaultFileName(false, ""), "/");
}
