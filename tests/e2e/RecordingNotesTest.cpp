// What gpsupdate-auto's end line and trace say about the recording itself:
// a history server URL from the environment that is not one, a trace on a
// full disk; and the rights of the files it makes. A connection test with
// no unit behind the port is run enough.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "SimProgram.h"

namespace fs = std::filesystem;

namespace {

fs::path Folder() {
    return TestFolder("gpsupdate-e2e-notes");
}

std::string EndLine(const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env) {
    std::vector<std::string> all = {"--action", "test", "--port", "3"};
    all.insert(all.end(), args.begin(), args.end());
    std::map<std::string, std::string> environment = env;
    environment["GPSUPDATE_COM3"] = (Folder() / "no-unit-here").string();
    ChildProcess run(GPSUPDATE_AUTO_PATH, all, environment);
    EXPECT_EQ(run.Wait(30000), 1) << run.Errors(1000);
    const std::vector<std::string> lines = run.Lines(1000);
    return lines.empty() ? std::string() : lines.back();
}

unsigned Rights(const fs::path& file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

}  // namespace

TEST(RecordingNotes, AServerUrlFromTheEnvironmentThatIsNotOneIsSaidWithoutItsPassword) {
    const fs::path history = Folder() / "h.sqlite";
    const fs::path trace = Folder() / "trace.jsonl";
    const std::string end =
        EndLine({"--history", history.string(), "--trace", trace.string()},
                {{"GPSUPDATE_HISTORY_SERVER", "postgresql://shop:s3cret@db:0/history"}});
    EXPECT_NE(end.find(R"("recorded":true,"history_error":"GPSUPDATE_HISTORY_SERVER: not a )"
                       R"(history server URL)"),
              std::string::npos)
        << end;
    EXPECT_NE(end.find("postgresql://shop@db:0/history"), std::string::npos) << end;
    std::ifstream in(trace);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(
        text.find(R"("kind":"note","topic":"history_server","text":"GPSUPDATE_HISTORY_SERVER)"),
        std::string::npos)
        << text;
    for (const std::string& said : {end, text}) {
        EXPECT_EQ(said.find("s3cret"), std::string::npos);
    }
    // Serial numbers, hosts and paths: the user's alone.
    EXPECT_EQ(Rights(history), 0600u);
    EXPECT_EQ(Rights(trace), 0600u);
}

TEST(RecordingNotes, ATraceThatCannotBeWrittenIsSaidOnTheEndLine) {
    const std::string end = EndLine({"--no-history", "--trace", "/dev/full"}, {});
    EXPECT_NE(end.find(R"("trace_error":"the trace /dev/full could not be written: No space )"
                       R"(left on device")"),
              std::string::npos)
        << end;
}
