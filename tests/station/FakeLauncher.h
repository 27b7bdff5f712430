#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "IRunLauncher.h"

// Runs that are only recorded: the test plays each child's lines and end.
class FakeLauncher final : public IRunLauncher {
  public:
    struct Run {
        RunRequest request;
        Events events;
        bool stopped = false;
        bool killed = false;
    };

    Id Start(const RunRequest& request, Events events, std::string& error) override {
        if (refuse) {
            error = "refused";
            return 0;
        }
        runs[++lastId] = Run{request, std::move(events)};
        return lastId;
    }
    void Stop(Id id) override { runs.at(id).stopped = true; }
    void Kill(Id id) override { runs.at(id).killed = true; }
    bool DevicePresent(const std::string& device) const override {
        return !device.empty() && !absent.contains(device);
    }
    std::string DataFileProblem(const std::string&) const override { return fileProblem; }
    std::string DeviceForPort(int port) const override {
        const auto it = devices.find(port);
        return it != devices.end() ? it->second : "/dev/ttyUSB" + std::to_string(port);
    }

    void Line(Id id, const std::string& line) { runs.at(id).events.onLine(line + "\n"); }
    void Exit(Id id, ChildExit exit = {}) { runs.at(id).events.onExit(exit); }
    // The newest run on a port.
    Id Newest(int port) const {
        for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
            if (it->second.request.port == port) {
                return it->first;
            }
        }
        return 0;
    }

    std::map<Id, Run> runs;
    std::map<int, std::string> devices;
    std::set<std::string> absent;  // devices not plugged in
    std::string fileProblem;       // the data file's ("" it loads)
    Id lastId = 0;
    bool refuse = false;
};
