#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Runs the event loop until `done` holds or `limitMs` have passed, and says
// whether it holds.
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer waited;
    waited.start();
    QTimer heartbeat;  // wakes the blocking wait below now and then
    heartbeat.start(5);
    while (!done()) {
        if (waited.elapsed() > limitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop for about `ms`.
inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}
