#include "AutoRunner.h"

#include <algorithm>

#include <QPixmap>
#include <QPushButton>

#include "AutoApplication.h"
#include "HistoryWriter.h"
#include "ProcessMemory.h"
#include "frmMain.h"

AutoRunner::AutoRunner(AutoApplication& app, frmMain& window, JsonReport& report,
                       AutoOptions options, const QElapsedTimer& since)
    : app_(app), window_(window), report_(report), options_(std::move(options)), since_(since) {
    connect(&window_, &frmMain::programEnded, this, [this] { WindowEnded(); });
    memorySampler_.setInterval(kMemorySampleMs);
    connect(&memorySampler_, &QTimer::timeout, this,
            [this] { peakPrivateKiB_ = std::max(peakPrivateKiB_, CurrentPrivateKiB()); });
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        // The run ends where it stands (its end reaches every observer, the
        // history too); before the press there is none.
        window_.Sequence().AbandonRun(RunOutcome::TimedOut);
        Finish("timeout", 3);
    });
}

void AutoRunner::Begin() {
    Press(options_.action);
}

void AutoRunner::Press(AutoOptions::Action action) {
    action_ = action;
    active_ = true;
    done_ = false;
    pressedMs_ = -1;
    run_ = RunFacts();
    app_.StartStallMeter();
    deadline_.start(static_cast<int>(options_.timeoutSeconds * 1000));
    QTimer::singleShot(kPollMs, this, [this] { TryPress(); });
}

QPushButton* AutoRunner::ReadyButton(frmMain& window, AutoOptions::Action action) {
    const char* name = "cmdDownLoadStart";
    switch (action) {
        case AutoOptions::Action::Scan:
            name = "cmdAutoCommPortScan";
            break;
        case AutoOptions::Action::Test:
            name = "cmdHelloDevice";
            break;
        case AutoOptions::Action::Update:
        case AutoOptions::Action::Wait:
            break;
    }
    auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
    // The controls come on when the idle state has run its entry.
    if (button == nullptr || !button->isEnabled() || window.WorkState() != 0) {
        return nullptr;
    }
    return button;
}

void AutoRunner::TryPress() {
    if (done_) {
        return;
    }
    QPushButton* button = ReadyButton(window_, action_);
    if (button == nullptr) {
        QTimer::singleShot(kPollMs, this, [this] { TryPress(); });
        return;
    }
    pressedMs_ = since_.elapsed();
    idleRssKiB_ = CurrentResidentKiB();
    idlePrivateKiB_ = CurrentPrivateKiB();
    peakPrivateKiB_ = idlePrivateKiB_;
    memorySampler_.start();
    button->click();
}

void AutoRunner::OnRunEnded(const RunFacts& run) {
    run_ = run;
    switch (run.outcome) {
        case RunOutcome::Succeeded:
            Finish("success", 0);
            break;
        case RunOutcome::Cancelled:
        case RunOutcome::Skipped:  // told apart by the end line's outcome
            Finish("cancelled", 1);
            break;
        case RunOutcome::TimedOut:
            Finish("timeout", 3);
            break;
        case RunOutcome::Failed:
        case RunOutcome::Interrupted:  // told to end by a signal: reported as before
        case RunOutcome::None:
            Finish("failure", 1);
            break;
    }
}

void AutoRunner::WindowEnded() {
    // The program was told to end (a signal) before the run did.
    if (active_) {
        Finish("failure", 1);
    }
}

void AutoRunner::Finish(const std::string& result, int exitStatus) {
    if (done_) {
        return;
    }
    done_ = true;
    deadline_.stop();
    exitStatus_ = exitStatus;
    result_ = result;
    // The end line says whether the run is in the history: its row is
    // written on the history's thread, waited for here without holding
    // up the event loop, at most HistoryWriter::kSettleMs.
    recordingDeadline_.start();
    AwaitRecording();
}

void AutoRunner::AwaitRecording() {
    if (recording_ != nullptr && !recording_->Settled() &&
        recordingDeadline_.elapsed() < HistoryWriter::kSettleMs.count()) {
        QTimer::singleShot(kRecordingPollMs, this, [this] { AwaitRecording(); });
        return;
    }
    WriteEnd();
}

void AutoRunner::WriteEnd() {
    JsonReport::End end;
    end.result = result_;
    end.run = run_;
    if (end.run.kind == RunKind::None) {
        end.run.port = window_.SelectedPort();  // no run started
    }
    end.seconds =
        pressedMs_ < 0 ? 0.0 : static_cast<double>(since_.elapsed() - pressedMs_) / 1000.0;
    end.maxStallMs = static_cast<double>(app_.MaxStallUs()) / 1000.0;
    end.peakRssKiB = PeakResidentKiB();
    end.idleRssKiB = idleRssKiB_;
    memorySampler_.stop();
    end.peakPrivateKiB = std::max(peakPrivateKiB_, CurrentPrivateKiB());
    end.idlePrivateKiB = idlePrivateKiB_;
    if (recording_ != nullptr) {
        recording_->Settle(std::chrono::milliseconds(0));  // its notes into the trace
        end.run.traceFile = recording_->LastRun().traceFile;
        end.recorded = recording_->Recorded();
        end.historyError = recording_->HistoryError();
        if (end.historyError.empty() && !end.recorded) {
            end.historyError = "no run was started";
        }
        end.traceError = recording_->TraceError();
    }
    report_.WriteEnd(end);
    active_ = false;
    if (after_ && after_(exitStatus_)) {
        return;
    }

    // Let the idle state's entry run, so the picture shows the window as the
    // operator is left with it; then end without the closing question.
    QTimer::singleShot(kSettleMs, this, [this] {
        if (!options_.screenshot.empty()) {
            const QPixmap picture = window_.grab();
            if (picture.isNull() ||
                !picture.save(QString::fromUtf8(options_.screenshot.c_str()), "PNG")) {
                std::fprintf(stderr, "gpsupdate-auto: could not save the screenshot to %s\n",
                             options_.screenshot.c_str());
            }
        }
        window_.ExitProgram();
        emit finished(exitStatus_);
    });
}
