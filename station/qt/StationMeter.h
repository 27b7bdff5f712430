#pragma once

#include <QElapsedTimer>
#include <QObject>

#include "BusyStretchMeter.h"

// The station's own figures: the longest stall of its event loop (the
// longest stretch from the first event after a wait to the next wait, see
// BusyStretchMeter) and the CPU time it and its ended children spent. It
// wakes the loop never: a 10 ms heartbeat cost a waiting station more than
// half of what its sixteen ports' greetings cost.
class StationMeter final : public QObject {
    Q_OBJECT

  public:
    explicit StationMeter(QObject* parent = nullptr);

    qint64 ElapsedMs() const { return since_.elapsed(); }
    // Stalls count from here on (the runs start; start-up is not measured).
    void RestartStalls();
    double MaxStallMs() const { return static_cast<double>(stalls_.MaxUs(NowUs())) / 1000.0; }
    // When the longest stall ended (milliseconds since the start).
    qint64 MaxStallAtMs() const { return maxStallAtMs_; }
    // User + system seconds of this process, and of its children that ended.
    static double CpuSelfSeconds();
    static double CpuChildrenSeconds();

    // Every event of the application's thread: the loop is awake.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::int64_t NowUs() const { return since_.nsecsElapsed() / 1000; }
    void AboutToBlock();

    QElapsedTimer since_;
    BusyStretchMeter stalls_;
    std::int64_t longestUs_ = 0;
    bool restarted_ = false;
    qint64 maxStallAtMs_ = 0;
};
