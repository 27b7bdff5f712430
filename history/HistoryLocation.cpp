#include "HistoryLocation.h"

bool HistoryLocation::TakeOptions(std::vector<std::string>& args, std::string& path, bool& off,
                                  std::string& error) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--no-history") {
            off = true;
        } else if (arg == "--history") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--history needs a path";
                return false;
            }
            path = args[++i];
        } else if (arg.rfind("--history=", 0) == 0) {
            path = arg.substr(10);
            if (path.empty()) {
                error = "--history needs a path";
                return false;
            }
        } else {
            rest.push_back(arg);
        }
    }
    if (off && !path.empty()) {
        error = "--history and --no-history cannot be given together";
        return false;
    }
    args = std::move(rest);
    return true;
}

std::filesystem::path HistoryLocation::FromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

HistoryLocation HistoryLocation::Choose(const std::string& path, bool off, const char* environment,
                                        const std::filesystem::path& defaultFolder) {
    HistoryLocation location;
    if (off) {
        location.off = true;
    } else if (!path.empty()) {
        location.file = FromUtf8(path);
    } else if (environment != nullptr && *environment != '\0') {
        location.file = FromUtf8(environment);
    } else {
        location.file = defaultFolder / kFileName;
        location.isDefault = true;
    }
    return location;
}
