#include "AutoWaiter.h"

#include <QPushButton>

#include "AutoRunner.h"
#include "JsonReport.h"
#include "ProgramRecording.h"
#include "RunJsonKeys.h"
#include "frmMain.h"

AutoWaiter::AutoWaiter(frmMain& window, AutoRunner& runner, JsonReport& report,
                       IRunObserver& updateObservers, ProgramRecording& recording,
                       const AutoOptions& options)
    : window_(window),
      runner_(runner),
      report_(report),
      updateObservers_(updateObservers),
      recording_(recording),
      options_(options),
      pollMs_(static_cast<int>(options.pollSeconds * 1000)),
      lastSuccess_(options.lastSerial) {
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, [this] { Greet(); });
    connect(&window_, &frmMain::programEnded, this, [this] { WindowEnded(); });
    runner_.ContinueAfterEnd([this](int exitStatus) { return UpdateEnded(exitStatus); });
}

void AutoWaiter::Begin() {
    window_.SetObserver(this);
    report_.WriteWaiting(options_.pollSeconds);
    sinceLine_.start();
    GreetIn(AutoRunner::kPollMs);
}

void AutoWaiter::GreetIn(int ms) {
    if (!ending_) {
        next_.start(ms);
    }
}

void AutoWaiter::Greet() {
    QPushButton* button = AutoRunner::ReadyButton(window_, AutoOptions::Action::Test);
    if (button == nullptr) {
        GreetIn(AutoRunner::kPollMs);  // the idle state's entry has not run yet
        return;
    }
    sinceGreeting_.start();
    button->click();
}

void AutoWaiter::OnRunEnded(const RunFacts& run) {
    if (ending_ || updating_) {
        return;
    }
    if (run.outcome == RunOutcome::Succeeded) {
        Answered(run);
    } else {
        Unanswered();
    }
    if (updating_) {
        return;
    }
    if (sinceLine_.elapsed() >= kWaitingLineMs) {
        report_.WriteWaiting(options_.pollSeconds);
        sinceLine_.start();
    }
    GreetIn(static_cast<int>(std::max<qint64>(0, pollMs_ - sinceGreeting_.elapsed())));
}

void AutoWaiter::Answered(const RunFacts& greeting) {
    if (present_ && greeting.serial == presentSerial_) {
        return;  // still there
    }
    present_ = true;
    presentSerial_ = greeting.serial;
    sinceLine_.start();
    // A unit that answers again right after its successful update (after
    // its memory check, or put back at once) is not updated twice.
    if (!greeting.serial.empty() && greeting.serial == lastSuccess_) {
        report_.WriteUnit(greeting, runjson::kReasonSameUnit, "");
        return;
    }
    StartUpdate(greeting);
}

void AutoWaiter::Unanswered() {
    // A unit sent back to its normal mode by an update that did not end in
    // success (one found already current, one that failed before the erase)
    // checks its memory and does not answer meanwhile: it has not gone, and
    // taking it for a new unit when it answers again would update it twice.
    if (present_ && sinceUpdate_.isValid() && sinceUpdate_.elapsed() < kUnitCheckMs) {
        return;
    }
    if (present_) {
        present_ = false;
        report_.WriteGone(presentSerial_);
        sinceLine_.start();
    }
}

void AutoWaiter::StartUpdate(const RunFacts& greeting) {
    const std::string trace = NextTrace();
    if (!trace.empty()) {
        recording_.TraceToFile(trace);
    }
    report_.WriteUnit(greeting, "", trace);
    updating_ = true;
    window_.SetObserver(&updateObservers_);
    runner_.Press(AutoOptions::Action::Update);
}

bool AutoWaiter::UpdateEnded(int exitStatus) {
    updating_ = false;
    if (ending_) {
        return false;  // told to end during the update: its status
    }
    window_.SetObserver(this);
    if (exitStatus == 0) {
        lastSuccess_ = runner_.LastRun().serial;
        sinceUpdate_.invalidate();  // it answered after its memory check
    } else {
        sinceUpdate_.start();
    }
    sinceLine_.start();
    // Asked again after the interval: a unit sent back to its normal mode
    // checks its memory first and does not answer meanwhile.
    GreetIn(pollMs_);
    return true;
}

void AutoWaiter::WindowEnded() {
    ending_ = true;
    next_.stop();
    if (!updating_) {
        emit finished(0);
    }
}

std::string AutoWaiter::NextTrace() {
    ++updates_;
    const std::string& first = options_.trace;
    if (first.empty() || updates_ == 1) {
        return first;
    }
    const std::size_t slash = first.find_last_of("/\\");
    std::size_t dot = first.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1)) {
        dot = first.size();
    }
    return first.substr(0, dot) + "-" + std::to_string(updates_) + first.substr(dot);
}
