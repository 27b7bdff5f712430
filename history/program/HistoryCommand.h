#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "HistoryRun.h"

class IHistoryStore;

// The command line of gpsupdate-history once the store is open:
//   list [--json] [filters]       the runs, newest first
//   export --csv FILE [filters]   the runs as a spreadsheet file
//   stats [filters]               per day: runs, units, successes, failures,
//                                 median update seconds
// filters: --serial S --result R --from YYYY-MM-DD --to YYYY-MM-DD --port N
//          --limit N
class HistoryCommand {
  public:
    static constexpr int kOk = 0;
    static constexpr int kFailed = 1;
    static constexpr int kBadArguments = 2;

    // Whether the arguments name a command (else the program shows its window).
    static bool IsCommand(const std::string& word);
    static int Run(const std::vector<std::string>& args, IHistoryStore& store, std::ostream& out,
                   std::ostream& err);
    // What is wrong with a command's arguments (empty when nothing): a
    // mistyped option is said before any history is opened.
    static std::string ArgumentError(const std::vector<std::string>& args);

    // The columns of the listing and the export, in order, and a run's fields.
    static std::vector<std::string> Columns();
    static std::vector<std::string> Fields(const HistoryRun& run);
    static std::string Usage();
};
