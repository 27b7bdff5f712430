#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "StallMeter.h"

// The station's own figures: the longest stall of its event loop (a 10 ms
// heartbeat's lateness) and the CPU time it and its ended children spent.
class StationMeter final : public QObject {
    Q_OBJECT

  public:
    static constexpr int kHeartbeatMs = 10;

    explicit StationMeter(QObject* parent = nullptr);

    qint64 ElapsedMs() const { return since_.elapsed(); }
    // Stalls count from here on (the runs start; start-up is not measured).
    void RestartStalls();
    double MaxStallMs() const { return static_cast<double>(stalls_.MaxLateUs()) / 1000.0; }
    // When the longest stall ended (milliseconds since the start).
    qint64 MaxStallAtMs() const { return maxStallAtMs_; }
    // User + system seconds of this process, and of its children that ended.
    static double CpuSelfSeconds();
    static double CpuChildrenSeconds();

  private:
    QElapsedTimer since_;
    QTimer heartbeat_;
    StallMeter stalls_{kHeartbeatMs * 1000};
    bool restarted_ = false;
    qint64 maxStallAtMs_ = 0;
};
