#pragma once

#include <string>

// One gpsupdate-auto run on one port: an update, or a hands-free port's
// waiting run (it greets the line, updates each unit that answers and waits
// for it to go).
struct RunRequest {
    enum class Action { Update, Wait };

    int port = 0;  // COM number 1 to 16
    Action action = Action::Update;
    std::string file;           // the data file the updates write
    bool force = false;         // update even a unit whose data is not older
    double timeoutSeconds = 0;  // the run's own time-out
    std::string trace;          // the run's trace file ("" none)
    std::string history;        // the history file ("" the run's default)
    std::string historyServer;  // the history server ("" the run's default)
    // Waiting: the greeting interval, and the serial number of the unit
    // last updated successfully on the port (not updated again).
    double pollSeconds = 3;
    std::string lastSerial;
};
