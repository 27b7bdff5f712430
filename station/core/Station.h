#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "IRunLauncher.h"
#include "ITimerFactory.h"
#include "StationSettings.h"
#include "StationTile.h"

// The update station: one tile per port, each run a child process through
// the launcher. Rules: a port has at most one child, and two ports that name
// the same device never run at once; a child that crashes or stops talking
// fails its own tile only. A hands-free port has one waiting child while its
// device is there: it greets the line, updates each unit that answers, then
// waits for it to go; a unit with the serial number just updated
// successfully is not updated again. The devices are looked for once a
// second for all ports together.
class Station {
  public:
    struct Record {
        int port = 0;
        std::string serial;
        StationTile::Result result = StationTile::Result::None;
        std::string text;
        double seconds = 0;
        double runMaxStallMs = -1;  // the run's own, from its end line
    };
    using NowMs = std::function<std::int64_t()>;
    // Checks for silent children and for waiting children due to start.
    static constexpr int kTickMs = 250;
    // How often hands-free ports look whether their devices are there.
    static constexpr int kDeviceCheckMs = 1000;

    Station(IRunLauncher& launcher, platform::ITimerFactory& timers, NowMs nowMs,
            StationSettings settings);

    void AddPort(int port);
    std::vector<int> Ports() const;
    const StationTile& Tile(int port) const;
    const StationSettings& Settings() const { return settings_; }
    void SetFile(const std::string& file) { settings_.file = file; }
    void SetForce(bool force) { settings_.force = force; }
    void SetContinuous(bool continuous) { settings_.continuous = continuous; }
    void SetTraceFolder(const std::string& folder) { settings_.traceFolder = folder; }

    // Starts the port's update (hands-free: its waiting for units). False
    // with the reason when it may not start now (a port in use, a data file
    // that is not chosen or does not load).
    bool Start(int port, std::string& why);
    // Starts every port that is not busy; the reasons of those that could not
    // (with a data file that does not load: that one reason, and no port).
    std::vector<std::string> StartAll();
    // Ends the port's run (and its hands-free waiting).
    void Stop(int port);
    void StopAll();

    // Whether a port's update is writing to a unit (stopping it costs the
    // unit its data).
    bool UpdateRunning(int port) const;
    bool AnyUpdateRunning() const;
    bool AnyChildRunning() const;
    // Nothing runs and nothing waits, after at least one start.
    bool Finished() const;
    // Whether any port has been started (a refused start starts none).
    bool Started() const { return started_; }

    int Done() const { return done_; }
    int Failed() const { return failed_; }
    int Skipped() const { return skipped_; }
    double UnitsPerHour() const;
    const std::vector<Record>& Records() const { return records_; }
    // From the first run's start to the last update's end (-1 before).
    std::int64_t FirstStartMs() const { return firstStartMs_; }
    std::int64_t LastEndMs() const { return lastEndMs_; }

    std::function<void(int port)> onTileChanged;
    std::function<void(int port, RunRequest::Action action)> onRunStarted;
    std::function<void(const Record& record)> onRunEnded;
    std::function<void()> onFinished;

  private:
    struct Port {
        StationTile tile;
        IRunLauncher::Id child = 0;
        RunRequest::Action action = RunRequest::Action::Update;
        bool handsFree = false;  // waiting for units between runs
        bool awaitingRemoval = false;
        bool updating = false;        // the waiting child's update is under way
        bool deviceGone = false;      // the waiting child was ended for it
        std::int64_t nextPollMs = 0;  // a waiting child may start (again) from
        std::string lastSuccessSerial;
    };

    Port& At(int port);
    // The data file is chosen and loads, or false with the reason.
    bool FileUsable(std::string& why) const;
    bool StartPort(int port, std::string& why);
    // No other port's run holds the device this port names, or false with
    // the reason.
    bool DeviceFree(int port, std::string& why);
    RunRequest Request(int port, RunRequest::Action action);
    bool Launch(int port, RunRequest::Action action, std::string& why);
    void OnLine(int port, IRunLauncher::Id id, const std::string& line);
    void OnExit(int port, IRunLauncher::Id id, const ChildExit& exit);
    void OnWaitingLine(int port, Port& p, StationTile::LineEvent event);
    void AfterUpdate(int port, Port& p);
    // A hands-free port's waiting child has ended: the port waits on.
    void AfterWaiting(int port, Port& p);
    // A hands-free port's waiting child, or when the port has no device (an
    // adapter not plugged in) none, and the port waits for it.
    bool Greet(int port, std::string& why);
    // Ends a waiting child that has no update under way.
    void EndWaiting(Port& p);
    void Wait(int port, Port& p, bool removal, const std::string& reason);
    void Tick();
    void CheckDevices(std::int64_t now);
    bool UnitsReached() const;
    void Changed(int port);
    void CheckFinished();

    IRunLauncher& launcher_;
    NowMs nowMs_;
    StationSettings settings_;
    std::unique_ptr<platform::IWindowTimer> tick_;
    std::map<int, Port> ports_;
    std::int64_t startMs_ = 0;
    std::int64_t firstStartMs_ = -1;
    std::int64_t lastEndMs_ = -1;
    std::int64_t nextDeviceCheckMs_ = 0;
    bool started_ = false;
    bool finishedReported_ = false;
    int runNumber_ = 0;
    int done_ = 0;
    int failed_ = 0;
    int skipped_ = 0;
    std::vector<Record> records_;
};
