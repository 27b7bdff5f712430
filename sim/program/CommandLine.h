#pragma once

#include <string>
#include <vector>

#include "ProgramOptions.h"

namespace sim {

// The gpsunit-sim command line: "--name VALUE" or "--name=VALUE".
class CommandLine {
  public:
    // False with a reason in `error` for an unknown option, a missing or bad
    // value, or a fault that does not parse.
    static bool Parse(const std::vector<std::string>& args, ProgramOptions& options,
                      std::string& error);
    static std::string HelpText();
};

}  // namespace sim
