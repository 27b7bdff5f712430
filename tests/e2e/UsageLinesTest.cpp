// Every program's answer to a command line it cannot use, and a window
// program's answer when there is no display: one line on standard error
// that says what is wrong and where to read more, and the exit status the
// program's help gives. Also what the station says of a file it cannot use.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace {
const std::map<std::string, std::string> kNoDisplay = {
    {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
}

TEST(UsageLines, EachProgramSaysWhatIsWrongInOneLine) {
    const struct {
        const char* program;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        int status;
        const char* says;
    } cases[] = {
        {GPSUPDATE_STATION_PATH,
         {"--bogus"},
         {},
         2,
         "gpsupdate-station: unknown argument \"--bogus\" (see gpsupdate-station --help)\n"},
        {GPSUPDATE_STATION_PATH, {"--ports", "3"}, {}, 2, "--file is required with --ports"},
        {GPSUPDATE_STATION_PATH,
         {"--ports", "3", "--file", "f.apd", "--history-server", "http://x"},
         {},
         2,
         "not a history server URL"},
        // A window nobody can see would wait for ever.
        {GPSUPDATE_STATION_PATH, {}, kNoDisplay, 3, "use gpsupdate-station --ports"},
        // A file that does not load starts no port (the loader's advice follows).
        {GPSUPDATE_STATION_PATH,
         {"--ports", "3,4", "--file", "/nonexistent/x.apd"},
         {},
         1,
         "gpsupdate-station: 資料檔無法使用，沒有開始任何更新："},
        {GPSUPDATE_HISTORY_PATH,
         {"lst"},
         {},
         2,
         "gpsupdate-history: unknown command \"lst\" (see gpsupdate-history --help)\n"},
        {GPSUPDATE_HISTORY_PATH, {"list", "--port", "0"}, {}, 2, "--port takes a COM number"},
        {GPSUPDATE_HISTORY_PATH, {}, kNoDisplay, 3, "use gpsupdate-history list"},
        {APDTOOL_PATH, {}, {}, 2, "apdtool: a command is needed: pack or inspect (see apdtool"},
        {APDTOOL_PATH, {"unpack"}, {}, 2, "apdtool: unknown command unpack (see apdtool --help)\n"},
    };
    for (const auto& c : cases) {
        ChildProcess program(c.program, c.args, c.env);
        EXPECT_EQ(program.Wait(10000), c.status) << c.says;
        const std::string errors = program.Errors(1000);
        EXPECT_NE(errors.find(c.says), std::string::npos) << errors;
        if (c.status != 1) {
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        }
    }
}
