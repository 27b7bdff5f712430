#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "QtRunLauncher.h"
#include "QtTimerFactory.h"
#include "ResultSounds.h"
#include "Station.h"
#include "StationMeter.h"
#include "StationOptions.h"
#include "StationReport.h"

// The station without a window: starts every port of the command line,
// reports on standard output and ends with the exit status once every run
// has ended (or, on the host's request to end, once every run was stopped).
// With --sound each run's end is heard as well.
class HeadlessStation final : public QObject {
    Q_OBJECT

  public:
    static constexpr int kSummaryMs = 1000;

    HeadlessStation(const StationOptions& options, const QString& autoProgram);

    // Starts the runs; false when none could start.
    void Begin();
    // Stops every run (their children end as on a request to end).
    void StopAll();

  signals:
    void finished(int exitStatus);

  private:
    void Finish();

    StationOptions options_;
    StationMeter meter_;
    platform::QtTimerFactory timers_;
    QtRunLauncher launcher_;
    ResultSounds sounds_;  // outlives the station, whose runs' ends it plays
    Station station_;
    StationReport report_;
    QTimer summary_;
    bool ended_ = false;
};
