#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command line of gpsupdate-auto. Scripts depend on it: options are only
// ever added, never changed.
struct AutoOptions {
    enum class Action { Scan, Test, Update, Wait };

    Action action = Action::Update;
    int port = 0;  // COM number 1 to 16; 0: the window's default
    std::string file;
    bool confirm = false;  // answer question boxes with OK / Yes
    double timeoutSeconds = 180;
    int boxDelayMs = 0;  // how long each box stays open before it is answered
    std::string screenshot;
    std::string trace;
    std::string history;        // the history file; empty: the usual choice
    bool noHistory = false;     // record nothing
    std::string historyServer;  // postgresql://user@host:port/database; empty: the usual choice
    // The wait action: how often the line is greeted, and the serial number
    // of the unit last updated successfully on the port (not updated again).
    double pollSeconds = 3;
    std::string lastSerial;
    bool help = false;
    bool version = false;

    // The options, or nothing with the reason in `error`.
    static std::optional<AutoOptions> Parse(const std::vector<std::string>& args,
                                            std::string& error);
    static const char* ActionName(Action action);
    static std::string Usage();
};
