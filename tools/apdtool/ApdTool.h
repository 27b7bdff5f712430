#pragma once

#include <ostream>
#include <string>
#include <vector>

// The data file tool: packs update data files and inspects them the way the
// update tool loads them. Run takes the arguments after the program name and
// returns the exit status.
class ApdTool {
  public:
    enum ExitStatus {
        kOk = 0,
        kFailed = 1,       // pack: a value does not fit, an input or the output cannot be used
        kUsage = 2,        // unknown command or option, missing or malformed value
        kCannotOpen = 3,   // inspect, failure case A: the file cannot be opened
        kToolVersion = 4,  // inspect, failure case B: the tool version is not in the tool list
        kContent = 5,  // inspect, failure case C: a length, limit or CRC check failed, or the file
                       // is short
        kPreparation = 6,  // inspect, failure case D: any other fault while preparing the data
    };

    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    static const char* Usage();

  private:
    static int Pack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    static int Inspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};
