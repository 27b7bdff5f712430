#pragma once

#include <string>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "AutoOptions.h"
#include "IRunObserver.h"

class AutoRunner;
class JsonReport;
class ProgramRecording;
class frmMain;

// The wait action: holds one port for a station. It greets the line every
// poll interval with the window's connection test, seen by nobody and kept
// nowhere (the window's observer is the waiter alone then); a unit that
// answers is updated at once as the update action does it (the runner
// presses, the report and the recording observe, one trace per update), and
// then the line is greeted until that unit has gone. Between greetings
// nothing wakes the program.
class AutoWaiter final : public QObject, public IRunObserver {
    Q_OBJECT

  public:
    // A waiting line this often while no update runs, so that whoever reads
    // the lines knows the program lives (a station ends a child silent for
    // a minute).
    static constexpr int kWaitingLineMs = 20000;
    // How long a unit sent back to its normal mode checks its memory, not
    // answering greetings (the unit says 10 to 15 seconds).
    static constexpr int kUnitCheckMs = 15000;

    // updateObservers: who observes an update (the report, the recording,
    // the runner).
    AutoWaiter(frmMain& window, AutoRunner& runner, JsonReport& report,
               IRunObserver& updateObservers, ProgramRecording& recording,
               const AutoOptions& options);

    void Begin();
    // A greeting's end.
    void OnRunEnded(const RunFacts& run) override;

  signals:
    // Told to end while no update ran.
    void finished(int exitStatus);

  private:
    void Greet();
    void GreetIn(int ms);
    void Answered(const RunFacts& greeting);
    void Unanswered();
    void StartUpdate(const RunFacts& greeting);
    // The runner's question after an update's end line: go on waiting?
    bool UpdateEnded(int exitStatus);
    void WindowEnded();
    // The trace of the next update: --trace's file for the first, then with
    // -2, -3... before its extension ("" none).
    std::string NextTrace();

    frmMain& window_;
    AutoRunner& runner_;
    JsonReport& report_;
    IRunObserver& updateObservers_;
    ProgramRecording& recording_;
    AutoOptions options_;
    int pollMs_;
    QTimer next_;                  // the next greeting
    QElapsedTimer sinceGreeting_;  // since the last greeting began
    QElapsedTimer sinceLine_;      // since the last line
    QElapsedTimer sinceUpdate_;    // since an update that did not succeed ended
    std::string lastSuccess_;      // the serial number last updated successfully
    bool present_ = false;         // a unit answers (its serial number:)
    std::string presentSerial_;
    bool updating_ = false;
    bool ending_ = false;
    int updates_ = 0;
};
