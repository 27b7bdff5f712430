#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include "BusyStretchMeter.h"

// The runner's application: measures how long the event loop is kept from
// waiting (see BusyStretchMeter) at no cost to the loop's sleep.
class AutoApplication final : public QApplication {
  public:
    AutoApplication(int& argc, char** argv);

    // From now on, stretches of event handling are measured.
    void StartStallMeter();
    // The longest stretch so far, in microseconds.
    std::int64_t MaxStallUs() const;

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    std::int64_t NowUs() const { return clock_.nsecsElapsed() / 1000; }

    QElapsedTimer clock_;
    BusyStretchMeter stretches_;
    bool connected_ = false;
};
