#pragma once

#include <string>

// How the station runs its ports.
struct StationSettings {
    std::string file;    // the data file every update writes
    bool force = false;  // update units whose data is not older than the file too
    // Hands-free: each started port greets its line at an interval, updates
    // each unit that answers and waits for it to go before the next.
    bool continuous = false;
    int units = 0;  // hands-free: stop after this many units (0: until stopped)
    // A unit plugged in is taken within about this long: each port with a
    // device has one waiting child that greets its line this often, at
    // about 1.5 ms of processor time a second of waiting.
    int pollIntervalMs = 3000;
    // A child with no output line for this long is ended as a failure. The
    // runner's clock line comes every second while a run is under way.
    int silenceLimitMs = 60000;
    // The runs' own limit only ends a run that hangs: the largest file
    // measured (71,000 blocks) took 25 minutes.
    double updateTimeoutSeconds = 6 * 3600;
    std::string traceFolder;  // each run's trace goes here ("" no traces)
    // Where the runs are recorded: a history file and a history server
    // ("" each: the runs' own defaults, as for gpsupdate-auto).
    std::string history;
    std::string historyServer;
};
