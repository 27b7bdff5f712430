#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Where a program keeps the history: --history PATH, else the
// GPSUPDATE_HISTORY environment variable, else history.sqlite in the
// per-user data folder; --no-history switches it off.
struct HistoryLocation {
    bool off = false;
    std::filesystem::path file;
    bool isDefault = false;  // the per-user place: its folder may be made

    static constexpr const char* kEnvironment = "GPSUPDATE_HISTORY";
    static constexpr const char* kFileName = "history.sqlite";

    // Takes --history PATH, --history=PATH and --no-history out of `args`
    // (the others stay, in order). False with the reason in `error` for a
    // --history without a path, or with --no-history.
    static bool TakeOptions(std::vector<std::string>& args, std::string& path, bool& off,
                            std::string& error);
    // The choice by the rule above; `environment` is the variable's value
    // (nullptr: not set), `defaultFolder` the per-user data folder.
    static HistoryLocation Choose(const std::string& path, bool off, const char* environment,
                                  const std::filesystem::path& defaultFolder);
    static std::filesystem::path FromUtf8(const std::string& text);
};
