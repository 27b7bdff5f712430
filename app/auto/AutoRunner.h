#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "AutoOptions.h"
#include "IRunObserver.h"
#include "JsonReport.h"
#include "RunRecording.h"

class AutoApplication;
class frmMain;
class QPushButton;

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
    // The same for one run of `action` (the wait action's updates): its own
    // stall meter, time-out and end line.
    void Press(AutoOptions::Action action);
    // The button of `action` when the window is idle with its controls on
    // (nullptr when it is not yet).
    static QPushButton* ReadyButton(frmMain& window, AutoOptions::Action action);
    // After each end line, `after` is asked (with the exit status) whether
    // the program goes on; while it says so, the window stays and nothing
    // ends. Without it the program ends after the first run.
    void ContinueAfterEnd(std::function<bool(int exitStatus)> after) { after_ = std::move(after); }
    // Exit status once finished: 0 success, 1 failure or cancelled, 3 time-out.
    int ExitStatus() const { return exitStatus_; }
    // The facts of the run that ended last.
    const RunFacts& LastRun() const { return run_; }

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
    AutoOptions::Action action_ = AutoOptions::Action::Update;
    bool active_ = false;  // from the press's start to its end line
    QTimer deadline_;
    std::function<bool(int)> after_;
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
