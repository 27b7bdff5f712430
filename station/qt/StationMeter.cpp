#include "StationMeter.h"

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

namespace {

#if defined(Q_OS_UNIX)
double Seconds(int who) {
    rusage usage{};
    if (::getrusage(who, &usage) != 0) {
        return 0;
    }
    const auto of = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return of(usage.ru_utime) + of(usage.ru_stime);
}
#endif

}  // namespace

StationMeter::StationMeter(QObject* parent) : QObject(parent) {
    since_.start();
    heartbeat_.setTimerType(Qt::PreciseTimer);
    heartbeat_.setInterval(kHeartbeatMs);
    connect(&heartbeat_, &QTimer::timeout, this, [this] {
        const std::int64_t before = stalls_.MaxLateUs();
        stalls_.Tick(since_.nsecsElapsed() / 1000);
        if (stalls_.MaxLateUs() > before) {
            maxStallAtMs_ = since_.elapsed();
        }
    });
    stalls_.Start(0);
    heartbeat_.start();
}

void StationMeter::RestartStalls() {
    if (!restarted_) {
        restarted_ = true;
        stalls_ = StallMeter(kHeartbeatMs * 1000);
        stalls_.Start(since_.nsecsElapsed() / 1000);
    }
}

double StationMeter::CpuSelfSeconds() {
#if defined(Q_OS_UNIX)
    return Seconds(RUSAGE_SELF);
#else
    return 0;
#endif
}

double StationMeter::CpuChildrenSeconds() {
#if defined(Q_OS_UNIX)
    return Seconds(RUSAGE_CHILDREN);
#else
    return 0;
#endif
}
