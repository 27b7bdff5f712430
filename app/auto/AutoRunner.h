#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "AutoOptions.h"
#include "IRunObserver.h"
#include "JsonReport.h"
#include "RunRecording.h"

class AutoApplication;
class frmMain;

// Drives the real window as an operator would: waits for the idle state to
// enable the controls, presses the one button of the action, lets the run
// go, and when it ends (and its history row is written, or refused) writes
// the end line, saves the screenshot and ends the program with the exit
// status of the result.
class AutoRunner final : public QObject, public IRunObserver {
    Q_OBJECT

  public:
    // Checks for enabled controls before the press, and lets the idle state's
    // entry run after the end before the picture is taken.
    static constexpr int kPollMs = 10;
    static constexpr int kSettleMs = 100;
    // Private memory has no peak the system keeps: it is sampled this often
    // (what an update holds, it holds for minutes, from loading the file to
    // the end). Each sample wakes the loop and reads a file of the
    // system's: four a second came to 1,200 wake-ups in an update of the
    // sample file, for a figure that does not change between them.
    static constexpr int kMemorySampleMs = 1000;
    // How often the end looks whether the run's row is written.
    static constexpr int kRecordingPollMs = 5;

    AutoRunner(AutoApplication& app, frmMain& window, JsonReport& report, AutoOptions options,
               const QElapsedTimer& since);

    // Starts the stall meter, the time-out and the wait for the controls.
    void Begin();
    // Exit status once finished: 0 success, 1 failure or cancelled, 3 time-out.
    int ExitStatus() const { return exitStatus_; }

    void OnRunEnded(const RunFacts& run) override;
    // The end line says whether the run is in `recording`'s history and
    // names its trace; the runner comes after it among the observers.
    void ReportRecording(RunRecording& recording) { recording_ = &recording; }

  signals:
    void finished(int exitStatus);

  private:
    void TryPress();
    void Finish(const std::string& result, int exitStatus);
    void AwaitRecording();
    void WriteEnd();
    void WindowEnded();

    AutoApplication& app_;
    frmMain& window_;
    JsonReport& report_;
    AutoOptions options_;
    const QElapsedTimer& since_;
    qint64 pressedMs_ = -1;
    std::int64_t idleRssKiB_ = 0;
    std::int64_t idlePrivateKiB_ = 0;
    std::int64_t peakPrivateKiB_ = 0;
    QTimer memorySampler_;
    RunFacts run_;  // of the run that ended
    bool done_ = false;
    std::string result_;
    QElapsedTimer recordingDeadline_;
    int exitStatus_ = 1;
    RunRecording* recording_ = nullptr;
};
