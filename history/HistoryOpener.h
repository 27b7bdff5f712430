#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "HistoryLocation.h"
#include "SqlHistoryStore.h"

// Opens the history a program's command line and environment choose.
class HistoryOpener {
  public:
    struct Opened {
        std::unique_ptr<SqlHistoryStore> store;  // nullptr: off, or could not be opened
        std::string error;                       // why there is no store
        std::filesystem::path file;
    };

    // The per-user data folder: ~/.local/share/gpsupdate, on Windows
    // %LOCALAPPDATA%\gpsupdate.
    static std::filesystem::path DataFolder();
    static Opened Open(const HistoryLocation& location, bool readOnly = false);
};
