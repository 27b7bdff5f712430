#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include "ChildProcess.h"
#endif

#include "ApdTestSupport.h"
#include "ApdTool.h"
#include "Sha256.h"

namespace {

using Args = std::vector<std::string>;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

ToolRun Tool(const Args& args) {
    std::ostringstream out;
    std::ostringstream err;
    ToolRun run;
    run.status = ApdTool::Run(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// Words separated by single spaces.
Args Split(const std::string& text) {
    Args words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// What --json must list for one block list cut from `data`.
std::string ExpectedBlocks(const std::vector<std::uint8_t>& data, std::size_t size, int base) {
    std::string json = "[";
    for (std::size_t o = 0; o < data.size(); o += size) {
        const std::size_t length = std::min(size, data.size() - o);
        json += (o == 0 ? "" : ",");
        json += "{\"address\":" + std::to_string(base + o) +
                ",\"length\":" + std::to_string(length) + ",\"sha256\":\"" +
                Sha256::Hex(Sha256::Of(std::span(data).subspan(o, length))) + "\"}";
    }
    return json + "]";
}

TEST(ApdTool, PackFromImageFilesThenInspectListsEveryBlocksDigest) {
    const auto flash = clsApdPacker::SeededBytes(1000, 11);
    const auto param = clsApdPacker::SeededBytes(130, 12);
    const TempDataFile flashFile(flash);
    const TempDataFile paramFile(param);
    const std::string output = flashFile.Dir() + "/out.apd";
    Args pack = Split(
        "pack --key 0xC8 --order reverse --header-pages 3 --skip-pages 2 "
        "--data-version 0702 --unit-versions GPSP09.1");
    pack.insert(pack.end(),
                {"--output", output, "--flash", flashFile.Path(), "--param", paramFile.Path()});
    const ToolRun packed = Tool(pack);
    ASSERT_EQ(packed.status, ApdTool::kOk) << packed.err;

    const ToolRun json = Tool({"inspect", output, "--json"});
    ASSERT_EQ(json.status, ApdTool::kOk) << json.err;
    const std::string expected =
        "\"data_file_version\":\"0702\",\"tool_version_list\":\"KQDV01.0000\","
        "\"unit_program_version_list\":\"GPSP09.1\",\"parameter_data_length\":130,"
        "\"flash_data_length\":1000,\"parameter_blocks\":3,\"flash_blocks\":5,\"blocks\":{"
        "\"parameter\":" +
        ExpectedBlocks(param, 64, 0x70) + ",\"flash\":" + ExpectedBlocks(flash, 224, 0) + "}}\n";
    EXPECT_NE(json.out.find(expected), std::string::npos) << json.out;

    const ToolRun text = Tool({"inspect", "--blocks", output});
    ASSERT_EQ(text.status, ApdTool::kOk);
    EXPECT_NE(text.out.find("flash 5 address 0x000380 length 104 sha256 " +
                            Sha256::Hex(Sha256::Of(std::span(flash).subspan(896)))),
              std::string::npos)
        << text.out;
}

TEST(ApdTool, InspectExitStatusTellsTheFailureCase) {
    struct Case {
        const char* packExtra;
        const char* inspectExtra;
        int status;
        const char* letter;
        const char* reason;
    };
    const Case cases[] = {
        {"", "", ApdTool::kOk, "", ""},
        {"", "--tool-version KQDV02.0000", ApdTool::kToolVersion, "B",
         "the tool version KQDV02.0000 is not in the file's tool version list"},
        {"--tool-versions KQDV02.0000", "", ApdTool::kToolVersion, "B",
         "the tool version KQDV01.0000 is not in the file's tool version list"},
        {"--header-pages 1", "", ApdTool::kContent, "C",
         "Header field out of range: the page order table"},
        {"--skip-pages 0", "", ApdTool::kPreparation, "D", "the skip section has no pages"},
        {"--header-pages 200", "", ApdTool::kPreparation, "D", "header page count 200"},
    };
    const TempDataFile dir(std::vector<std::uint8_t>{});
    const std::string file = dir.Dir() + "/case.apd";
    for (const Case& c : cases) {
        const Args pack =
            Split("pack --output " + file + " --flash-random 300 --param-random 20 " + c.packExtra);
        ASSERT_EQ(Tool(pack).status, ApdTool::kOk) << testing::PrintToString(pack);
        for (bool json : {false, true}) {
            const Args inspect =
                Split("inspect " + file + " " + c.inspectExtra + (json ? " --json" : ""));
            const ToolRun run = Tool(inspect);
            EXPECT_EQ(run.status, c.status)
                << testing::PrintToString(pack) << testing::PrintToString(inspect) << run.err;
            if (c.status == ApdTool::kOk) {
                continue;
            }
            const std::string said = json ? run.out : run.err;
            EXPECT_NE(said.find(json ? std::string("\"failure\":\"") + c.letter + "\""
                                     : std::string("failure case ") + c.letter),
                      std::string::npos)
                << said;
            EXPECT_NE(said.find(c.reason), std::string::npos) << said;
            // The operator's advice only in the JSON, beside the reason.
            EXPECT_EQ(said.find("異常狀況") != std::string::npos, json) << said;
            if (std::string(c.packExtra) == "--header-pages 1") {
                EXPECT_NE(run.err.find("apdtool: message box: Header field"), std::string::npos)
                    << "the header fault box goes to the error output: " << run.err;
            }
        }
    }
    const ToolRun missing = Tool({"inspect", dir.Dir() + "/none.apd"});
    EXPECT_EQ(missing.status, ApdTool::kCannotOpen);
    EXPECT_NE(missing.err.find("none.apd: the file cannot be opened"), std::string::npos);

    // A file cut short says where it ends and what was still due.
    ASSERT_EQ(
        Tool({"pack", "--output", file, "--flash-random", "300", "--param-random", "20"}).status,
        ApdTool::kOk);
    std::filesystem::resize_file(file, 900);
    const ToolRun cut = Tool({"inspect", file});
    EXPECT_EQ(cut.status, ApdTool::kContent);
    EXPECT_NE(cut.err.find(": the file is 900 bytes long and ends inside the body section"),
              std::string::npos)
        << cut.err;
}

TEST(ApdTool, MalformedCommandLinesAreUsageErrors) {
    const TempDataFile dir(std::vector<std::uint8_t>{});
    const std::string out = dir.Dir() + "/x.apd";
    // (No command, an unknown one: tests/e2e/UsageLinesTest.cpp.)
    const Args cases[] = {
        {"pack", "--flash-random", "1", "--param-random", "1"},
        {"pack", "--output", out, "--flash-random", "1"},
        {"pack", "--output", out, "--flash-random", "1", "--flash", out, "--param-random", "1"},
        {"pack", "--output", out, "--flash-random", "1", "--param-random", "1", "--key", "256"},
        {"pack", "--output", out, "--flash-random", "1", "--param-random", "1", "--order", "odd"},
        {"pack", "--output", out, "--flash-random", "1", "--param-random", "1", "--seed"},
        {"pack", "--output", out, "--flash-random", "1", "--param-random", "1", "extra"},
        {"inspect"},
        {"inspect", out, out},
        {"inspect", out, "--tool-version"},
    };
    for (const Args& args : cases) {
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.status, ApdTool::kUsage) << testing::PrintToString(args);
        // One line that says what is wrong and where to read more.
        EXPECT_TRUE(run.err.starts_with("apdtool: ")) << run.err;
        EXPECT_TRUE(run.err.ends_with(" (see apdtool --help)\n")) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    const ToolRun help = Tool({"--help"});
    EXPECT_EQ(help.status, ApdTool::kOk);
    EXPECT_NE(help.out.find("exit status"), std::string::npos);

    EXPECT_EQ(
        Tool(Split("pack --output " + out + " --flash " + dir.Dir() + "/none --param-random 1"))
            .status,
        ApdTool::kFailed);
    EXPECT_EQ(Tool(Split("pack --output " + dir.Dir() +
                         "/no/such/dir.apd --flash-random 1 --param-random 1"))
                  .status,
              ApdTool::kFailed);
}

// The sample that the build packs is what docs/apdtool.md promises the others.
TEST(SampleDataFile, LoadsWithTheToolsVersionAndSuitsTheListedUnitPrograms) {
    const auto out = apdtest::LoadFromFile(GPSUPDATE_SAMPLE_APD, "KQDV01.0000");
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.data->DataFileVersion(), "0601");
    for (const char* program : {"GPSP01.2000", "GPSP01.2100", "GPSP02.1000"}) {
        EXPECT_TRUE(out.data->CheckUnitProgramVersion(program)) << program;
    }
    EXPECT_FALSE(out.data->CheckUnitProgramVersion("GPSP03.1000"));
    EXPECT_GE(out.data->FlashDataLength(), 2 * 1024 * 1024);
    EXPECT_GE(out.data->ParameterDataLength(), 100);
}

#ifndef _WIN32  // runs the program as a child process
TEST(SampleDataFile, TheBuiltProgramReportsItAndItsExitStatus) {
    ChildProcess inspect(APDTOOL_PATH, {"inspect", GPSUPDATE_SAMPLE_APD});
    inspect.Lines(10000);
    EXPECT_EQ(inspect.Wait(5000), 0);
    EXPECT_NE(inspect.Output().find("data file version            0601"), std::string::npos)
        << inspect.Output();
    EXPECT_EQ(ChildProcess(APDTOOL_PATH, {"inspect", "/nonexistent/file.apd"}).Wait(10000),
              ApdTool::kCannotOpen);
}
#endif  // _WIN32

}  // namespace
