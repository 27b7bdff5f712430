#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "mduDisplayText.h"
#include "mduSetupOptions.h"

using mduDisplayText::Rgb;

TEST(mduDisplayText, MessageTextKeepsThePartBeforeTheFirstSeparator) {
    const struct {
        const char* current;
        const char* text;
        bool keep;
        const char* separator;
        const char* expected;
    } cases[] = {
        {"status : 11", "12", true, " : ", "status : 12"},
        {"status", "12", true, " : ", "status : 12"},
        {"a : b : c", "x", true, " : ", "a : x"},
        {"", "12", true, " : ", " : 12"},
        {"old\r\ntext", "new", false, "\r\n", "new"},
        {"old\r\ntext", "new", true, "\r\n", "old\r\nnew"},
        {"anything", "new", true, "", "new"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mduDisplayText::ComposeMessageText(c.current, c.text, c.keep, c.separator),
                  c.expected)
            << "\"" << c.current << "\" + \"" << c.text << "\"";
    }
}

TEST(mduDisplayText, InfoLineKeepsTheLabelUpToItsFirstColon) {
    EXPECT_EQ(mduDisplayText::ComposeInfoLine("GPS   程 式 版 本  :", "V1.2"),
              "GPS   程 式 版 本  : V1.2");
    EXPECT_EQ(mduDisplayText::ComposeInfoLine("label  : old: value", ""), "label  : ");
    EXPECT_EQ(mduDisplayText::ComposeInfoLine("no colon", "v"), "no colon: v");
    EXPECT_EQ(mduDisplayText::ComposeInfoLine("", "v"), ": v");
}

TEST(mduDisplayText, LampCodesZeroToThreeHaveColoursOthersNone) {
    EXPECT_EQ(mduDisplayText::LampColour(0), (Rgb{192, 192, 192}));
    EXPECT_EQ(mduDisplayText::LampColour(1), (Rgb{255, 255, 0}));
    EXPECT_EQ(mduDisplayText::LampColour(2), (Rgb{0, 255, 0}));
    EXPECT_EQ(mduDisplayText::LampColour(3), (Rgb{255, 0, 0}));
    for (int code : {4, 7, -1, 255}) {
        EXPECT_EQ(mduDisplayText::LampColour(code), std::nullopt) << code;
    }
}

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
