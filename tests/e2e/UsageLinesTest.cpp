// Every program's answer to a command line it cannot use, and a window
// program's answer when there is no display: one line on standard error
// that says what is wrong and where to read more, nothing on standard
// output, and the exit status the program's help gives. Also what the
// station says of a file it cannot use.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace {
// The program's arguments, split at the spaces.
std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}
}  // namespace

TEST(UsageLines, EachProgramSaysWhatIsWrongInOneLine) {
    const struct {
        const char* program;
        const char* args;
        bool display;
        int status;
        const char* says;
    } cases[] = {
        {GPSUPDATE_STATION_PATH, "--bogus", true, 2,
         "gpsupdate-station: unknown argument \"--bogus\" (see gpsupdate-station --help)\n"},
        {GPSUPDATE_STATION_PATH, "--ports 3", true, 2, "--file is required with --ports"},
        {GPSUPDATE_STATION_PATH, "--ports 3 --file f.apd --history-server http://x", true, 2,
         "not a history server URL"},
        // A window nobody can see would wait for ever.
        {GPSUPDATE_STATION_PATH, "", false, 3, "use gpsupdate-station --ports"},
        // A file that does not load starts no port (the loader's advice follows).
        {GPSUPDATE_STATION_PATH, "--ports 3,4 --file /nonexistent/x.apd", true, 1,
         "gpsupdate-station: 資料檔無法使用，沒有開始任何更新："},
        {GPSUPDATE_HISTORY_PATH, "lst", true, 2,
         "gpsupdate-history: unknown command \"lst\" (see gpsupdate-history --help)\n"},
        {GPSUPDATE_HISTORY_PATH, "list --port 0", true, 2, "--port takes a COM number"},
        {GPSUPDATE_HISTORY_PATH, "", false, 3, "use gpsupdate-history list"},
        {GPSUPDATE_PATH, "--port 3", true, 2,
         "gpsupdate: unknown option \"--port\" (see gpsupdate --help)\n"},
        {GPSUPDATE_PATH, "a.apd b.apd", true, 2, "only one data file"},
        {GPSUPDATE_PATH, "--history h.sqlite --no-history", true, 2, "cannot be given together"},
        // The password is not shown.
        {GPSUPDATE_PATH, "--history-server postgresql://shop:s3cret@db:0/h", true, 2,
         "shop@db:0/h (see"},
        {GPSUPDATE_PATH, "", false, 3, "use gpsupdate-auto"},
        {GPSUPDATE_AUTO_PATH, "--action flash", true, 2,
         "gpsupdate-auto: --action takes scan, test, update or wait (see gpsupdate-auto --help)\n"},
        {APDTOOL_PATH, "", true, 2, "apdtool: a command is needed: pack or inspect (see apdtool"},
        {APDTOOL_PATH, "unpack", true, 2, "apdtool: unknown command unpack (see apdtool --help)\n"},
    };
    // No history file exists: the arguments are judged before any is opened.
    const std::map<std::string, std::string> display = {
        {"GPSUPDATE_HISTORY", "/nonexistent/history.sqlite"}};
    std::map<std::string, std::string> noDisplay = {
        {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
    noDisplay.insert(display.begin(), display.end());
    for (const auto& c : cases) {
        ChildProcess program(c.program, Words(c.args), c.display ? display : noDisplay);
        EXPECT_EQ(program.Wait(10000), c.status) << c.says;
        const std::string errors = program.Errors(1000);
        EXPECT_NE(errors.find(c.says), std::string::npos) << errors;
        if (c.status != 1) {
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
            EXPECT_TRUE(program.Lines(100).empty()) << c.says;
        }
    }
}
