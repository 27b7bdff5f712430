#include <gtest/gtest.h>

#include "mduCommandLine.h"

using namespace mduCommandLine;

TEST(mduCommandLine, TakesTheInformationOptionsAndOneDataFile) {
    const struct {
        std::vector<std::string> args;
        bool help, version;
        const char* file;
    } good[] = {
        {{}, false, false, ""},
        {{"-h"}, true, false, ""},
        {{"--version", "a.apd"}, false, true, "a.apd"},
        {{"/地圖/新資料.apd"}, false, false, "/地圖/新資料.apd"},
        {{"--", "-odd.apd"}, false, false, "-odd.apd"},
        {{"-"}, false, false, "-"},
    };
    for (const auto& c : good) {
        std::string error;
        const auto options = Parse(c.args, error);
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(options->help, c.help);
        EXPECT_EQ(options->version, c.version);
        EXPECT_EQ(options->file, c.file);
    }

    const struct {
        std::vector<std::string> args;
        const char* error;
    } bad[] = {
        {{"--port", "3"}, "unknown option \"--port\""},
        {{"-x", "a.apd"}, "unknown option \"-x\""},
        {{"a.apd", "b.apd"}, "only one data file can be given (\"a.apd\" and \"b.apd\")"},
        {{""}, "the data file name is empty"},
    };
    for (const auto& c : bad) {
        std::string error;
        EXPECT_FALSE(Parse(c.args, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(mduCommandLine, NoDisplayIsToldOnlyWhenNothingCouldShowTheWindow) {
    EXPECT_EQ(NoDisplayLine(":0", "", ""), "");
    EXPECT_EQ(NoDisplayLine("", "wayland-0", ""), "");
    EXPECT_EQ(NoDisplayLine("", "", "offscreen"), "");
    const std::string line = NoDisplayLine("", "", "");
    EXPECT_NE(line.find("gpsupdate-auto"), std::string::npos);
    EXPECT_EQ(line.find('\n'), std::string::npos);
}
