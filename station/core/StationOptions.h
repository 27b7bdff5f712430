#pragma once

#include <optional>
#include <string>
#include <vector>

#include "StationSettings.h"

// The command line of gpsupdate-station. With --ports (and without
// --window) the station runs headless; otherwise it opens its window.
struct StationOptions {
    std::vector<int> ports;  // COM numbers 1 to 16, in the order given
    StationSettings settings;
    bool json = false;
    bool window = false;
    bool start = false;         // window: start the chosen ports at once
    bool exitWhenDone = false;  // window: end when every run has ended
    std::string screenshot;     // window: a picture once every run is under way
    bool noTraces = false;      // window: runs write no trace
    // A sound at each run's end: headless only with --sound; the window
    // ticks its 提示音 with it (else the window keeps the operator's choice).
    bool sound = false;
    bool help = false;
    bool version = false;

    bool Headless() const { return !ports.empty() && !window; }

    // The options, or nothing with the reason in `error`.
    static std::optional<StationOptions> Parse(const std::vector<std::string>& args,
                                               std::string& error);
    static std::string Usage();
};
