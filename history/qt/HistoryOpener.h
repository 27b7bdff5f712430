#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "HistoryLocation.h"
#include "MirroredHistoryStore.h"
#include "SqlHistoryStore.h"

// Opens the history a program's command line and environment choose.
class HistoryOpener {
  public:
    struct Opened {
        std::unique_ptr<SqlHistoryStore> store;  // nullptr: off, or could not be opened
        std::string error;                       // why there is no store
        std::filesystem::path file;
        // With a history server: the local store with the server behind it.
        std::unique_ptr<MirroredHistoryStore> mirror;
        std::string serverError;  // a server URL that is not one

        // Where a program records its runs.
        IHistoryStore* Recording() const {
            return mirror != nullptr ? static_cast<IHistoryStore*>(mirror.get()) : store.get();
        }
    };

    // The per-user data folder: ~/.local/share/gpsupdate, on Windows
    // %LOCALAPPDATA%\gpsupdate.
    static std::filesystem::path DataFolder();
    static Opened Open(const HistoryLocation& location, bool readOnly = false);
    // The same with the history server `serverUrl` names (empty: the one
    // GPSUPDATE_HISTORY_SERVER names, if any) behind the local store.
    static Opened OpenWithServer(const HistoryLocation& location, const std::string& serverUrl);
    // --history-server's value, else the environment's; empty for none.
    static std::string ServerChoice(const std::string& option);
};
