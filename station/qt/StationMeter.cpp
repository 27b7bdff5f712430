#include "StationMeter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

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
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { AboutToBlock(); });
    }
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
    }
    stalls_.Start();
}

bool StationMeter::eventFilter(QObject* /*watched*/, QEvent* /*event*/) {
    if (stalls_.Waiting()) {
        stalls_.OnEvent(NowUs());
    }
    return false;
}

void StationMeter::AboutToBlock() {
    const std::int64_t now = NowUs();
    stalls_.OnAboutToBlock(now);
    if (const std::int64_t longest = stalls_.MaxUs(now); longest > longestUs_) {
        longestUs_ = longest;
        maxStallAtMs_ = now / 1000;
    }
}

void StationMeter::RestartStalls() {
    if (!restarted_) {
        restarted_ = true;
        stalls_.Start();
        longestUs_ = 0;
        maxStallAtMs_ = 0;
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
