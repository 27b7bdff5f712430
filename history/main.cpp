// gpsupdate-history: every recorded run of the window, of gpsupdate-auto and
// of a station's tiles. With a command it lists, exports or sums them up on
// the command line; without one it shows them in a window. See
// HistoryCommand::Usage.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "GpsUpdateVersion.h"
#include "HistoryCommand.h"
#include "HistoryOpener.h"

#ifdef GPSUPDATE_HISTORY_WINDOW
#include "HistoryWindowMain.h"
#endif

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(HistoryCommand::Usage().c_str(), stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("gpsupdate-history %s\n", gpsupdate::kVersion);
            return 0;
        }
    }
    std::string path;
    bool off = false;
    std::string error;
    if (!HistoryLocation::TakeOptions(args, path, off, error) || off) {
        std::fprintf(stderr, "gpsupdate-history: %s\n\n%s",
                     off ? "--no-history leaves nothing to show" : error.c_str(),
                     HistoryCommand::Usage().c_str());
        return HistoryCommand::kBadArguments;
    }
    const bool command = !args.empty() && HistoryCommand::IsCommand(args[0]);
    if (!command && !args.empty()) {
        std::fprintf(stderr, "gpsupdate-history: unknown command \"%s\"\n\n%s", args[0].c_str(),
                     HistoryCommand::Usage().c_str());
        return HistoryCommand::kBadArguments;
    }
    if (!command) {
#ifdef GPSUPDATE_HISTORY_WINDOW
        return RunHistoryWindow(argc, argv, path);
#else
        std::fputs(HistoryCommand::Usage().c_str(), stderr);
        return HistoryCommand::kBadArguments;
#endif
    }

    QCoreApplication app(argc, argv);
    const HistoryLocation location = HistoryLocation::Choose(
        path, false, std::getenv(HistoryLocation::kEnvironment), HistoryOpener::DataFolder());
    // Opened for writing, so that the runs of programs that are gone show as
    // interrupted; a file this user may only read is still listed.
    HistoryOpener::Opened opened = HistoryOpener::Open(location);
    if (opened.store == nullptr) {
        HistoryOpener::Opened readOnly = HistoryOpener::Open(location, true);
        if (readOnly.store == nullptr) {
            std::fprintf(stderr, "gpsupdate-history: %s\n", opened.error.c_str());
            return HistoryCommand::kFailed;
        }
        opened = std::move(readOnly);
    }
    std::ios::sync_with_stdio(false);
    return HistoryCommand::Run(args, *opened.store, std::cout, std::cerr);
}
