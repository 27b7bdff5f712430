#include "mduCommandLine.h"

#include "NoDisplay.h"

namespace mduCommandLine {

std::optional<Options> Parse(const std::vector<std::string>& args, std::string& error) {
    Options options;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            options.help = true;
        } else if (!optionsEnded && arg == "--version") {
            options.version = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            error = "unknown option \"" + arg + "\"";
            return std::nullopt;
        } else if (!options.file.empty()) {
            error =
                "only one data file can be given (\"" + options.file + "\" and \"" + arg + "\")";
            return std::nullopt;
        } else if (arg.empty()) {
            error = "the data file name is empty";
            return std::nullopt;
        } else {
            options.file = arg;
        }
    }
    return options;
}

std::string NoDisplayLine(const std::string& display, const std::string& waylandDisplay,
                          const std::string& qtPlatform) {
    return ::NoDisplayLine(
        display, waylandDisplay, qtPlatform,
        "to update a unit without a desktop use gpsupdate-auto (see gpsupdate-auto --help)");
}

}  // namespace mduCommandLine
