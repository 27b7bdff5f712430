#include "ApdTool.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>

#include "JsonLine.h"
#include "JsonText.h"
#include "NumberOption.h"
#include "ProgramMessageBoxes.h"
#include "Sha256.h"
#include "StreamMessageBoxes.h"
#include "clsApdPacker.h"
#include "clsApdReader.h"
#include "clsPNV480DnLdData.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A flash or parameter image, through the loader's reader so that a UTF-8
// name opens on every platform.
std::optional<Bytes> ReadWholeFile(const std::string& path, std::ostream& err) {
    clsApdReader reader;
    if (!reader.OpenFile(path)) {
        err << "apdtool: cannot use " << path << ": cannot open it\n";
        return std::nullopt;
    }
    const std::optional<std::uint64_t> size = reader.Remaining();
    if (!size || *size > 0xFFFFFF) {
        err << "apdtool: cannot use " << path
            << (size ? ": larger than 16 MB" : ": not a regular file") << '\n';
        return std::nullopt;
    }
    Bytes bytes(static_cast<std::size_t>(*size));
    if (!reader.Read(bytes)) {
        err << "apdtool: cannot read " << path << '\n';
        return std::nullopt;
    }
    return bytes;
}

// Command options of the form "--name value" and "--flag", taken out of
// `items` as they are read; what is left are the plain arguments.
using Items = std::vector<std::string>;

// The value after `name`, when given. A name without a value sets `bad`.
std::optional<std::string> TakeValue(Items& items, const std::string& name, bool& bad,
                                     std::ostream& err) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] != name) {
            continue;
        }
        if (i + 1 >= items.size()) {
            err << "apdtool: " << name << " needs a value\n";
            bad = true;
            items.erase(items.begin() + static_cast<long>(i));
            return std::nullopt;
        }
        std::string value = items[i + 1];
        items.erase(items.begin() + static_cast<long>(i), items.begin() + static_cast<long>(i) + 2);
        return value;
    }
    return std::nullopt;
}

void TakeText(Items& items, const std::string& name, std::string& value, bool& bad,
              std::ostream& err) {
    if (auto text = TakeValue(items, name, bad, err)) {
        value = std::move(*text);
    }
}

// A number option within [0, max], when given; a malformed one sets `bad`.
void TakeNumber(Items& items, const std::string& name, std::uint64_t max, std::uint64_t& value,
                bool& bad, std::ostream& err) {
    const auto text = TakeValue(items, name, bad, err);
    if (!text) {
        return;
    }
    const auto parsed =
        NumberOption::Whole<std::uint64_t>(*text, 0, max, NumberOption::Radix::DecimalOrHex);
    if (!parsed) {
        err << "apdtool: " << name << " takes a number from 0 to " << max << ", not " << *text
            << '\n';
        bad = true;
        return;
    }
    value = *parsed;
}

bool TakeFlag(Items& items, const std::string& name) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == name) {
            items.erase(items.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

int StatusFor(clsPNV480DnLdData::LoadFailure failure) {
    using F = clsPNV480DnLdData::LoadFailure;
    switch (failure) {
        case F::None:
            return ApdTool::kOk;
        case F::CannotOpen:
            return ApdTool::kCannotOpen;
        case F::ToolVersion:
            return ApdTool::kToolVersion;
        case F::Content:
            return ApdTool::kContent;
        case F::Preparation:
            break;
    }
    return ApdTool::kPreparation;
}

const char* CaseLetter(clsPNV480DnLdData::LoadFailure failure) {
    using F = clsPNV480DnLdData::LoadFailure;
    switch (failure) {
        case F::CannotOpen:
            return "A";
        case F::ToolVersion:
            return "B";
        case F::Content:
            return "C";
        case F::Preparation:
            return "D";
        case F::None:
            break;
    }
    return "";
}

void JsonBlocks(std::string& json, const clsDnLdUnitDataArray& list) {
    json += '[';
    bool first = true;
    for (const clsDownloadUnit& block : list) {
        json += first ? "" : ",";
        first = false;
        json += "{\"address\":" + std::to_string(block.Address()) +
                ",\"length\":" + std::to_string(block.Size()) + ",\"sha256\":\"" +
                Sha256::Hex(Sha256::Of(block.Data())) + "\"}";
    }
    json += ']';
}

void TextBlocks(std::ostream& out, const char* name, const clsDnLdUnitDataArray& list) {
    std::int32_t number = 0;
    char address[16];
    for (const clsDownloadUnit& block : list) {
        std::snprintf(address, sizeof address, "0x%06X", static_cast<unsigned>(block.Address()));
        out << name << ' ' << ++number << " address " << address << " length " << block.Size()
            << " sha256 " << Sha256::Hex(Sha256::Of(block.Data())) << '\n';
    }
}

}  // namespace

const char* ApdTool::Usage() {
    return R"(usage:
  apdtool pack --output FILE (--flash FILE | --flash-random N) (--param FILE | --param-random N)
               [--data-version TEXT] [--tool-versions LIST] [--unit-versions LIST]
               [--key K] [--order random|identity|reverse] [--seed N]
               [--header-pages P] [--skip-pages S] [--header-word W]
  apdtool inspect FILE [--tool-version V] [--blocks] [--json]
  apdtool --help | --version

pack writes an update data file from a flash image and a parameter image (or
from N seeded random bytes each) with the three version texts (defaults 0601,
KQDV01.0000, GPSP01.2000), key byte K (default 0x5A), a page order (default: a
permutation drawn from the seed), P header pages (default 2) and S skip pages
(default 1). The seed (default 1) also draws the random data and the filler.

inspect loads FILE as the update tool does, with tool version V (default
KQDV01.0000), and prints the data file version, both version lists, the data
lengths E and F and the block counts; --blocks adds, and --json always
includes, each block's address, length and SHA-256. A file that does not
load is told in one line: which part or check failed and, when the file ends
early, how long it is and which bytes were due (--json: "reason", beside the
window's "error_message").

exit status: 0 ok, 1 pack failed, 2 usage error, 3 to 6 inspect failure case
A (cannot open), B (tool version not in the list), C (content fault or short
file), D (other fault while preparing the data).
)";
}

int ApdTool::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        out << Usage();
        return kOk;
    }
    // A usage error is one line that says where to read more; what a
    // command says otherwise goes out as it is.
    std::ostringstream said;
    int status = kUsage;
    if (args.empty()) {
        said << "apdtool: a command is needed: pack or inspect\n";
    } else if (args[0] == "pack") {
        status = Pack(args, out, said);
    } else if (args[0] == "inspect") {
        status = Inspect(args, out, said);
    } else {
        said << "apdtool: unknown command " << args[0] << "\n";
    }
    const std::string text = said.str();
    if (status == kUsage) {
        err << text.substr(0, text.find('\n')) << " (see apdtool --help)\n";
    } else {
        err << text;
    }
    return status;
}

int ApdTool::Pack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Items items(args.begin() + 1, args.end());
    bool bad = false;
    clsApdPacker::Settings s;
    std::string output, order = "random";
    std::uint64_t seed = 1, key = s.key, headerPages = 2, skipPages = 1, headerWord = 0;
    std::uint64_t flashRandom = 0, paramRandom = 0;
    const auto flashFile = TakeValue(items, "--flash", bad, err);
    const auto paramFile = TakeValue(items, "--param", bad, err);
    const bool hasFlashRandom =
        std::find(items.begin(), items.end(), "--flash-random") != items.end();
    const bool hasParamRandom =
        std::find(items.begin(), items.end(), "--param-random") != items.end();
    TakeNumber(items, "--flash-random", 0xFFFFFF, flashRandom, bad, err);
    TakeNumber(items, "--param-random", 0xFFFF, paramRandom, bad, err);
    TakeText(items, "--output", output, bad, err);
    TakeText(items, "--data-version", s.dataFileVersion, bad, err);
    TakeText(items, "--tool-versions", s.toolVersionList, bad, err);
    TakeText(items, "--unit-versions", s.unitProgramVersionList, bad, err);
    TakeText(items, "--order", order, bad, err);
    TakeNumber(items, "--key", 255, key, bad, err);
    TakeNumber(items, "--seed", UINT64_MAX, seed, bad, err);
    TakeNumber(items, "--header-pages", 255, headerPages, bad, err);
    TakeNumber(items, "--skip-pages", 0xFFFFFF, skipPages, bad, err);
    TakeNumber(items, "--header-word", 0xFFFF, headerWord, bad, err);
    if (bad) {
        return kUsage;
    }
    if (!items.empty()) {
        err << "apdtool: unexpected argument " << items.front() << '\n';
        return kUsage;
    }
    if (output.empty() || flashFile.has_value() == hasFlashRandom ||
        paramFile.has_value() == hasParamRandom) {
        err << "apdtool: pack needs --output, one of --flash and --flash-random, and one of "
               "--param and --param-random\n";
        return kUsage;
    }
    if (order == "random") {
        s.pageOrder = clsApdPacker::RandomOrder(seed);
    } else if (order == "identity") {
        s.pageOrder = clsApdPacker::IdentityOrder();
    } else if (order == "reverse") {
        s.pageOrder = clsApdPacker::ReverseOrder();
    } else {
        err << "apdtool: --order takes random, identity or reverse\n";
        return kUsage;
    }

    if (flashFile) {
        auto bytes = ReadWholeFile(*flashFile, err);
        if (!bytes) {
            return kFailed;
        }
        s.flashData = std::move(*bytes);
    } else {
        s.flashData =
            clsApdPacker::SeededBytes(static_cast<std::size_t>(flashRandom), seed ^ 0xF1A5);
    }
    if (paramFile) {
        auto bytes = ReadWholeFile(*paramFile, err);
        if (!bytes) {
            return kFailed;
        }
        s.parameterData = std::move(*bytes);
    } else {
        s.parameterData =
            clsApdPacker::SeededBytes(static_cast<std::size_t>(paramRandom), seed ^ 0xEE9);
    }
    s.key = static_cast<std::uint8_t>(key);
    s.headerPages = static_cast<std::int32_t>(headerPages);
    s.skipPages = static_cast<std::int32_t>(skipPages);
    s.headerWord = static_cast<std::uint16_t>(headerWord);
    s.fillerSeed = seed;

    std::string error;
    const auto image = clsApdPacker::Pack(s, &error);
    if (!image || !clsApdPacker::WriteFile(output, *image, &error)) {
        err << "apdtool: " << error << '\n';
        return kFailed;
    }
    out << "apdtool: wrote " << output << " (" << image->size() << " bytes, E "
        << s.parameterData.size() << ", F " << s.flashData.size() << ")\n";
    return kOk;
}

int ApdTool::Inspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Items items(args.begin() + 1, args.end());
    bool bad = false;
    std::string toolVersion = "KQDV01.0000";
    TakeText(items, "--tool-version", toolVersion, bad, err);
    const bool blocks = TakeFlag(items, "--blocks");
    const bool json = TakeFlag(items, "--json");
    if (bad) {
        return kUsage;
    }
    if (items.size() != 1 || items[0].starts_with("--")) {
        err << "apdtool: inspect takes one data file and the options --tool-version, --blocks, "
               "--json\n";
        return kUsage;
    }
    const std::string file = items[0];

    StreamMessageBoxes boxes(err);
    platform::ScopedProgramMessageBoxes scope(boxes);
    clsPNV480DnLdData data;
    data.SetFileName(file);
    data.SetToolVersion(toolVersion);
    const bool loaded = data.LoadData();
    const int status = StatusFor(data.LastFailure());

    if (json) {
        std::string text =
            "{\"file\":" + JsonLine::Quote(file) + ",\"ok\":" + (loaded ? "true" : "false");
        if (!loaded) {
            text += ",\"failure\":\"" + std::string(CaseLetter(data.LastFailure())) +
                    "\",\"exit_status\":" + std::to_string(status) +
                    ",\"error_message\":" + JsonLine::Quote(data.ErrorMessage()) +
                    ",\"reason\":" + JsonLine::Quote(data.FailureReason()) + "}\n";
            out << text;
            return status;
        }
        text += ",\"data_file_version\":" + JsonText::Bytes(data.DataFileVersion()) +
                ",\"tool_version_list\":" + JsonText::Bytes(data.ToolVersionList()) +
                ",\"unit_program_version_list\":" + JsonText::Bytes(data.UnitProgramVersionList()) +
                ",\"parameter_data_length\":" + std::to_string(data.ParameterDataLength()) +
                ",\"flash_data_length\":" + std::to_string(data.FlashDataLength()) +
                ",\"parameter_blocks\":" + std::to_string(data.TotalEEPParmBlocks()) +
                ",\"flash_blocks\":" + std::to_string(data.TotalFlashBlocks()) +
                ",\"blocks\":{\"parameter\":";
        text.reserve(text.size() + 110 * static_cast<std::size_t>(data.TotalFlashBlocks() +
                                                                  data.TotalEEPParmBlocks()));
        JsonBlocks(text, data.EEPParameterBlocks());
        text += ",\"flash\":";
        JsonBlocks(text, data.FlashBlocks());
        text += "}}\n";
        out << text;
        return kOk;
    }

    if (!loaded) {
        // What is wrong with the file; the operator's advice is the window's.
        err << "apdtool: " << file << ": " << data.FailureReason() << " (failure case "
            << CaseLetter(data.LastFailure()) << ")\n";
        return status;
    }
    out << "file                         " << file << '\n'
        << "data file version            " << data.DataFileVersion() << '\n'
        << "tool version list            " << data.ToolVersionList() << '\n'
        << "unit program version list    " << data.UnitProgramVersionList() << '\n'
        << "parameter data length (E)    " << data.ParameterDataLength() << '\n'
        << "flash data length (F)        " << data.FlashDataLength() << '\n'
        << "parameter blocks             " << data.TotalEEPParmBlocks() << '\n'
        << "flash blocks                 " << data.TotalFlashBlocks() << '\n';
    if (blocks) {
        TextBlocks(out, "parameter", data.EEPParameterBlocks());
        TextBlocks(out, "flash", data.FlashBlocks());
    }
    return kOk;
}
