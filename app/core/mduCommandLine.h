#pragma once

// The window program's command line and the checks made before any window
// exists. Plain C++: the program's main applies them.

#include <optional>
#include <string>
#include <vector>

namespace mduCommandLine {

inline constexpr int ExitUsage = 2;      // an option the program does not know
inline constexpr int ExitNoDisplay = 3;  // no display to show the window on
inline constexpr int ExitOtherCopy = 4;  // another copy runs but does not answer

struct Options {
    bool help = false;
    bool version = false;
    // The data file to start with (empty: the one from the settings).
    std::string file;
};

// The arguments after the program name: --help (-h), --version and at most one
// data file ("--" ends the options, so a file may begin with "-"). Nothing,
// with a one-line reason in `error`, for anything else.
std::optional<Options> Parse(const std::vector<std::string>& args, std::string& error);

// The line saying there is no display to open the window on, or empty when
// there is one: a display (X11 or Wayland) or a chosen Qt platform. Only
// meaningful where windows need a display server (not Windows or macOS).
std::string NoDisplayLine(const std::string& display, const std::string& waylandDisplay,
                          const std::string& qtPlatform);

}  // namespace mduCommandLine
