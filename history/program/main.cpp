// gpsupdate-history: every recorded run of the window, of gpsupdate-auto and
// of a station's tiles. With a command it lists, exports or sums them up on
// the command line; without one it shows them in a window. See
// HistoryCommand::Usage.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "GpsUpdateVersion.h"
#include "HistoryCommand.h"
#include "HistoryOpener.h"
#include "NoDisplay.h"
#include "ServerHistoryStore.h"
#include "ServerSync.h"

#ifdef GPSUPDATE_HISTORY_WINDOW
#include "HistoryWindowMain.h"
#endif

namespace {

// sync: sends every run the history server has not confirmed. status: how
// many wait.
int SyncOrStatus(const std::string& command, SqlHistoryStore& store,
                 const std::string& serverOption) {
    const std::string text = HistoryOpener::ServerChoice(serverOption);
    ServerUrl url;
    std::string error;
    if (!text.empty() && !ServerUrl::Parse(text, url, error)) {
        std::fprintf(stderr, "gpsupdate-history: %s\n", error.c_str());
        return HistoryCommand::kBadArguments;
    }
    if (text.empty()) {
        if (command == "status") {
            std::int64_t waiting = 0;
            store.CountUnsent(waiting);
            std::printf("no history server set; %lld runs kept only here\n",
                        static_cast<long long>(waiting));
            return HistoryCommand::kOk;
        }
        std::fprintf(stderr, "gpsupdate-history: sync needs --history-server URL\n");
        return HistoryCommand::kBadArguments;
    }
    ServerSync mirror(store, url);
    if (command == "status") {
        const std::int64_t waiting = mirror.Waiting();
        if (waiting < 0) {
            std::fprintf(stderr, "gpsupdate-history: %s\n", store.LastError().c_str());
            return HistoryCommand::kFailed;
        }
        std::printf("%lld runs wait to be sent to %s\n", static_cast<long long>(waiting),
                    url.Shown().c_str());
        return HistoryCommand::kOk;
    }
    std::int64_t sent = 0;
    const bool ok = mirror.SendWaiting(-1, sent);
    std::printf("sent %lld runs to %s; %lld wait\n", static_cast<long long>(sent),
                url.Shown().c_str(), static_cast<long long>(mirror.Waiting()));
    if (!ok) {
        std::fprintf(stderr, "gpsupdate-history: %s\n", mirror.ServerError().c_str());
        return HistoryCommand::kFailed;
    }
    return HistoryCommand::kOk;
}

// A command line that cannot be used: one line, and where to read more.
int UsageError(const std::string& text) {
    std::fprintf(stderr, "gpsupdate-history: %s (see gpsupdate-history --help)\n", text.c_str());
    return HistoryCommand::kBadArguments;
}

}  // namespace

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
        return UsageError(off ? "--no-history leaves nothing to show" : error);
    }
    std::string serverOption;
    std::string readServer;
    if (!ServerUrl::TakeOption(args, "--history-server", serverOption, error) ||
        !ServerUrl::TakeOption(args, "--server", readServer, error)) {
        return UsageError(error);
    }
    const bool sending = !args.empty() && (args[0] == "sync" || args[0] == "status");
    if (sending && args.size() > 1) {
        return UsageError(args[0] + " takes no arguments");
    }
    const bool command = sending || (!args.empty() && HistoryCommand::IsCommand(args[0]));
    if (!command && !args.empty()) {
        return UsageError("unknown command \"" + args[0] + "\"");
    }
    if (!command) {
#ifdef GPSUPDATE_HISTORY_WINDOW
        // The server the window may read: --server (read from at the
        // start), else the one the programs record to.
        ServerUrl url;
        const std::string server =
            readServer.empty() ? HistoryOpener::ServerChoice(serverOption) : readServer;
        if (!server.empty() && !ServerUrl::Parse(server, url, error)) {
            return UsageError(error);
        }
#if !defined(_WIN32) && !defined(__APPLE__)
        const auto env = [](const char* name) {
            const char* value = std::getenv(name);
            return std::string(value != nullptr ? value : "");
        };
        if (const std::string line = NoDisplayLine(
                env("DISPLAY"), env("WAYLAND_DISPLAY"), env("QT_QPA_PLATFORM"),
                "to read the history without a desktop use gpsupdate-history list, stats or "
                "export (see gpsupdate-history --help)");
            !line.empty()) {
            std::fprintf(stderr, "gpsupdate-history: %s\n", line.c_str());
            return kExitNoDisplay;
        }
#endif
        return RunHistoryWindow(argc, argv, path, url, !readServer.empty());
#else
        return UsageError("a command is needed: list, export, stats, sync or status");
#endif
    }

    if (const std::string wrong = sending ? "" : HistoryCommand::ArgumentError(args);
        !wrong.empty()) {
        return UsageError(wrong);
    }
    QCoreApplication app(argc, argv);
    std::ios::sync_with_stdio(false);
    if (!readServer.empty()) {
        // Every station's runs, from the server.
        ServerUrl url;
        if (sending || !ServerUrl::Parse(readServer, url, error)) {
            std::fprintf(
                stderr, "gpsupdate-history: %s\n",
                sending ? "--server lists; sync and status take --history-server" : error.c_str());
            return HistoryCommand::kBadArguments;
        }
        const std::unique_ptr<ServerHistoryStore> server = ServerHistoryStore::Open(url, error);
        if (server == nullptr) {
            std::fprintf(stderr, "gpsupdate-history: %s\n", error.c_str());
            return HistoryCommand::kFailed;
        }
        return HistoryCommand::Run(args, *server, std::cout, std::cerr);
    }
    const HistoryLocation location = HistoryLocation::Choose(
        path, false, std::getenv(HistoryLocation::kEnvironment), HistoryOpener::DataFolder());
    // Only sync writes (its marks of what the server has): the others read
    // the file as it is, and a mistyped path is an error, not a new file.
    // (The rows of programs that are gone are marked interrupted by the
    // next program that records.)
    const bool writes = args[0] == "sync";
    HistoryOpener::Opened opened = HistoryOpener::Open(location, !writes);
    if (opened.store == nullptr) {
        std::fprintf(stderr, "gpsupdate-history: %s\n", opened.error.c_str());
        return HistoryCommand::kFailed;
    }
    if (sending) {
        return SyncOrStatus(args[0], *opened.store, serverOption);
    }
    return HistoryCommand::Run(args, *opened.store, std::cout, std::cerr);
}
