#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "HistoryLocation.h"
#include "HistoryNotes.h"
#include "HistorySender.h"
#include "HistoryWriter.h"
#include "SqlHistoryStore.h"

// Opens the history a program's command line and environment choose.
class HistoryOpener {
  public:
    struct Opened {
        std::unique_ptr<SqlHistoryStore> store;  // nullptr: off, or could not be opened
        std::string error;                       // why there is no store
        std::filesystem::path file;
    };

    // Where a program records its runs, off its own thread: the writer of
    // the local file and, with a history server, its sender.
    struct Recording {
        std::shared_ptr<HistoryNotes> notes = std::make_shared<HistoryNotes>();
        std::unique_ptr<HistorySender> sender;  // none without a server
        std::unique_ptr<HistoryWriter> writer;  // none: switched off
        std::string why;                        // why there is no writer
        // A server URL that is not one, where it came from, its password
        // left out (the runs are recorded locally).
        std::string serverError;

        // The local rows written within `bound`, then the server's last
        // sending (HistorySender::Close): the order a program ends in.
        void Close(std::chrono::milliseconds bound);
    };

    // The per-user data folder: ~/.local/share/gpsupdate, on Windows
    // %LOCALAPPDATA%\gpsupdate.
    static std::filesystem::path DataFolder();
    static Opened Open(const HistoryLocation& location, bool readOnly = false);
    // The history at `location`, opened on the writer's thread, with the
    // history server `serverUrl` names behind it (empty: none). `origin`
    // names where the URL came from, for the error of one that is not a URL.
    static Recording OpenForRecording(const HistoryLocation& location, const std::string& serverUrl,
                                      const std::string& origin);
    // --history-server's value, else the environment's; empty for none.
    static std::string ServerChoice(const std::string& option);
};
