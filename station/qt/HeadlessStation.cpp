#include "HeadlessStation.h"

#include <cstdio>

#include "SessionTraces.h"

HeadlessStation::HeadlessStation(const StationOptions& options, const QString& autoProgram)
    : options_(options),
      launcher_(autoProgram),
      station_(
          launcher_, timers_, [this] { return meter_.ElapsedMs(); }, options.settings),
      report_(stdout, options.json, station_) {
    for (const int port : options_.ports) {
        station_.AddPort(port);
    }
    if (options_.settings.traceFolder.empty() && !options_.noTraces) {
        // As in the window: each update's trace, for support.
        station_.SetTraceFolder(MakeSessionTraceFolder());
    }
    station_.onRunStarted = [this](int port, RunRequest::Action action) {
        report_.RunStarted(meter_.ElapsedMs(), port, action);
    };
    station_.onRunEnded = [this](const Station::Record& record) {
        report_.RunEnded(meter_.ElapsedMs(), record);
        sounds_.Play(ResultSignal::SoundFor(record.result));
    };
    connect(&sounds_, &ResultSounds::unavailable, this, [] {
        std::fputs("gpsupdate-station: no sound output: --sound plays nothing\n", stderr);
    });
    sounds_.SetEnabled(options_.sound);
    // Hands-free: say when a port's waiting changes.
    station_.onTileChanged = [this, last = std::map<int, std::string>()](int port) mutable {
        const StationTile& tile = station_.Tile(port);
        const bool waiting = tile.CurrentPhase() == StationTile::Phase::WaitingForUnit ||
                             tile.CurrentPhase() == StationTile::Phase::WaitingForRemoval;
        if (waiting && last[port] != tile.WaitReason()) {
            last[port] = tile.WaitReason();
            report_.Waiting(meter_.ElapsedMs(), port, tile.WaitReason());
        } else if (!waiting) {
            last[port].clear();
        }
    };
    station_.onFinished = [this] {
        // After the run's own callbacks have returned.
        QTimer::singleShot(0, this, [this] { Finish(); });
    };
    summary_.setInterval(kSummaryMs);
    connect(&summary_, &QTimer::timeout, this, [this] { report_.Summary(meter_.ElapsedMs()); });
}

void HeadlessStation::Begin() {
    meter_.RestartStalls();
    for (const std::string& why : station_.StartAll()) {
        std::fprintf(stderr, "gpsupdate-station: %s\n", why.c_str());
    }
    summary_.start();
    // Nothing started (a data file that does not load): the reason is said.
    if (station_.Finished() || !station_.Started()) {
        QTimer::singleShot(0, this, [this] { Finish(); });
    }
}

void HeadlessStation::StopAll() {
    station_.StopAll();
}

void HeadlessStation::Finish() {
    if (ended_) {
        return;
    }
    ended_ = true;
    summary_.stop();
    report_.Final(meter_.ElapsedMs(), meter_.MaxStallMs(), meter_.MaxStallAtMs(),
                  StationMeter::CpuSelfSeconds(), StationMeter::CpuChildrenSeconds());
    const int status = !station_.Records().empty() && station_.Failed() == 0 ? 0 : 1;
    if (sounds_.Busy()) {
        // The last run's sound is heard to its end (a second or so).
        connect(&sounds_, &ResultSounds::quiet, this, [this, status] { emit finished(status); });
        return;
    }
    emit finished(status);
}
