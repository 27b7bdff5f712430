#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ChildExit.h"
#include "RunRequest.h"

// Starts and ends the child processes of the station's runs. Callbacks come
// on the station's thread, never from inside Start, Stop or Kill.
class IRunLauncher {
  public:
    using Id = std::uint64_t;
    struct Events {
        std::function<void(const std::string& line)> onLine;  // a whole output line
        std::function<void(const ChildExit& exit)> onExit;    // last call for the run
    };

    virtual ~IRunLauncher() = default;

    // Starts the run's child: its id, or 0 with the reason in `error`.
    virtual Id Start(const RunRequest& request, Events events, std::string& error) = 0;
    // Ends the run the way the window ends on the host's request to end
    // (its end line still comes); forcibly if it does not end soon after.
    virtual void Stop(Id id) = 0;
    // Ends the child at once (a child that stopped talking).
    virtual void Kill(Id id) = 0;
    // The device behind a COM number, as the runs will open it ("" none).
    virtual std::string DeviceForPort(int port) const = 0;
    // Whether such a device is there now, as far as can be told without
    // opening it ("" never; a COM name on Windows always).
    virtual bool DevicePresent(const std::string& device) const = 0;
    // What keeps the data file from loading as the runs will load it, in
    // the operator's words ("" it loads).
    virtual std::string DataFileProblem(const std::string& file) const = 0;
};
