#pragma once

#include <cstdint>
#include <string>

#include "ChildExit.h"
#include "JsonFields.h"
#include "RunRequest.h"

// What one port's tile shows, fed by the JSON lines of the run on that port
// and by how its child ended. Plain data and rules; the window draws it.
class StationTile {
  public:
    enum class Phase {
        Idle,              // nothing under way
        Running,           // an update's child runs
        WaitingForUnit,    // hands-free: no unit yet
        WaitingForRemoval  // hands-free: the last unit has not gone yet
    };
    enum class Result { None, Success, Failure, Skipped };
    // What a waiting run's line means for the port (None for other lines and
    // other runs): a unit answered and its update began, a unit answered that
    // is not updated (the one just updated), the unit has gone, the update's
    // end line came (its result is taken).
    enum class LineEvent { None, UpdateStarted, UnitKept, UnitGone, UpdateEnded };

    explicit StationTile(int port = 0) : port_(port) {}

    // A new run's child has started.
    void BeginRun(RunRequest::Action action, std::int64_t nowMs);
    // One output line of the run's child. Unreadable lines only count as a
    // sign of life.
    LineEvent ApplyLine(const std::string& line, std::int64_t nowMs);
    // The child has ended; the run's result from its end line, exit status
    // and how the run was ended. For a waiting run: the result of its update
    // under way (if any).
    void EndRun(const ChildExit& exit, std::int64_t nowMs);
    // The station ended the run: by the operator (stop) or for silence.
    void MarkStopped(const std::string& reason) { stopReason_ = reason; }
    // Hands-free waiting with the reason shown beside it.
    void SetWaiting(Phase phase, const std::string& reason);
    void SetIdle() { phase_ = Phase::Idle; }
    // Hands-free: the last unit has gone; its result, facts and progress
    // are no longer shown (the station's counters and records keep them).
    // A failure stays until the port's next update starts: a unit left
    // silent by a failed update cannot be told from one that has gone, and
    // a failure must not pass unseen.
    void ForgetLastUnit();
    // Hands-free: the port takes each unit plugged in by itself, and a
    // failure text says so instead of naming a button.
    void SetHandsFree(bool handsFree) { handsFree_ = handsFree; }

    int Port() const { return port_; }
    Phase CurrentPhase() const { return phase_; }
    bool ChildRunning() const { return phase_ == Phase::Running; }
    // A waiting run's update is under way.
    bool UpdateUnderWay() const { return waitingRun_ && action_ == RunRequest::Action::Update; }
    Result LastResult() const { return result_; }
    // The result in words (the failure's text for a failure).
    const std::string& ResultText() const { return resultText_; }

    const std::string& Device() const { return device_; }
    void SetDevice(const std::string& device) { device_ = device; }
    const std::string& Serial() const { return serial_; }
    const std::string& ProgramVersion() const { return programVersion_; }
    const std::string& DataVersionBefore() const { return dataVersionBefore_; }
    const std::string& DataVersionAfter() const { return dataVersionAfter_; }
    const std::string& FileDataVersion() const { return fileDataVersion_; }
    // The run's last message, and whether the window showed it in red (after
    // a failure: its text, in red).
    const std::string& Message() const { return message_; }
    int ProgressValue() const { return progressValue_; }
    int ProgressMax() const { return progressMax_; }
    const std::string& PercentText() const { return percent_; }
    const std::string& ClockText() const { return clock_; }
    const std::string& WaitReason() const { return waitReason_; }
    const std::string& LastLine() const { return lastLine_; }
    std::int64_t LastLineMs() const { return lastLineMs_; }
    // Seconds the last update took (from its child's start to its end).
    double Seconds() const { return seconds_; }
    // The run's own longest event-loop stall, from its end line (-1 unknown).
    double RunMaxStallMs() const { return runStallMs_; }
    const std::string& TracePath() const { return trace_; }
    void SetTracePath(const std::string& path) { trace_ = path; }

  private:
    // The last unit's result, facts and progress.
    void ClearUnit();
    void BeginUpdate(std::int64_t nowMs);
    LineEvent ApplyWaitingLine(const std::string& kind, const JsonFields& fields,
                               std::int64_t nowMs);
    // A runner's failure text with the window's steps in the station's terms.
    std::string InStationTerms(std::string text) const;
    void ApplyEnd(const JsonFields& fields);
    // The result as the end line's outcome says, with the child's exit code.
    void TakeOutcome(int exitCode);
    void Fail(const std::string& text);

    int port_;
    bool handsFree_ = false;
    Phase phase_ = Phase::Idle;
    RunRequest::Action action_ = RunRequest::Action::Update;
    bool waitingRun_ = false;  // the child is a waiting run (action_: its update, if one runs)
    Result result_ = Result::None;
    std::string resultText_;
    std::string device_;
    std::string serial_;
    std::string programVersion_;
    std::string dataVersionBefore_;
    std::string dataVersionAfter_;
    std::string fileDataVersion_;
    std::string message_;
    std::string failureText_;  // the end line's
    int progressValue_ = 0;
    int progressMax_ = 0;
    std::string percent_;
    std::string clock_;
    std::string waitReason_;
    std::string lastLine_;
    std::int64_t lastLineMs_ = 0;
    std::int64_t startMs_ = 0;
    double seconds_ = 0;
    std::string trace_;
    std::string stopReason_;
    // From the end line: its outcome, "" until it came.
    std::string endOutcome_;
    double endSeconds_ = -1;
    double runStallMs_ = -1;
};
