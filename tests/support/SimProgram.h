#pragma once

// The program tests' shared pieces (POSIX only; the including test defines
// GPSUNIT_SIM_PATH): a folder of the test program's own, small data files,
// gpsunit-sim behind a link, and the lines of a program's output that hold a
// text.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "ExpectedDigests.h"
#include "clsApdPacker.h"

// <temp>/<name>-<pid>, made when first asked for.
inline std::string TestFolder(const std::string& name) {
    const auto folder =
        std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return folder.string();
}

// A data file of `flashBlocks` flash blocks and 5 parameter blocks.
inline std::string SmallDataFile(const std::string& folder, std::size_t flashBlocks) {
    clsApdPacker::Settings settings;
    settings.flashData = clsApdPacker::SeededBytes(224 * flashBlocks, 91);
    settings.parameterData = clsApdPacker::SeededBytes(64 * 5, 92);
    const std::string path = folder + "/small-" + std::to_string(flashBlocks) + ".apd";
    EXPECT_TRUE(clsApdPacker::WriteFile(path, clsApdPacker::Pack(settings).value()));
    return path;
}

inline std::vector<std::string> Matching(const std::vector<std::string>& lines,
                                         const std::string& text) {
    std::vector<std::string> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&text](const std::string& line) { return line.find(text) != std::string::npos; });
    return found;
}

// gpsunit-sim behind the link `link`, quick to erase and to check its
// memory. The later of two same options wins: `extra` comes last.
struct SimProgram {
    std::string link;
    ChildProcess process;

    SimProgram(const std::string& at, const std::vector<std::string>& extra)
        : link(at), process(GPSUNIT_SIM_PATH, Arguments(at, extra)) {
        EXPECT_FALSE(process.FirstLine(5000).empty()) << "gpsunit-sim printed no device";
    }
    // Stops the simulator; its digests of the two memories.
    std::pair<std::string, std::string> StopForDigests() {
        process.Signal(SIGTERM);
        std::pair<std::string, std::string> digests;
        for (const std::string& line : process.Lines(5000)) {
            if (line.starts_with("flash-digest ")) {
                digests.first = line.substr(13);
            } else if (line.starts_with("parameter-digest ")) {
                digests.second = line.substr(17);
            }
        }
        return digests;
    }

  private:
    static std::vector<std::string> Arguments(const std::string& link,
                                              const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"--link", link, "--erase-ms", "200", "--check-ms", "200"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
};
