#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "IRunObserver.h"

class JsonLine;

// What the operator sees of a run, as the automation runner reports it: one
// JSON object per line, each with t_ms (milliseconds since the runner
// started) and kind. Lines are flushed as they are written, so a script can
// follow a run live.
class JsonReport final : public IRunObserver {
  public:
    using Clock = std::function<std::int64_t()>;

    // out: where the lines go (stays open); nowMs: milliseconds since start;
    // title: the message boxes' caption.
    JsonReport(std::FILE* out, Clock nowMs, std::string title);

    void OnStateChange(std::int32_t from, std::int32_t to) override;
    void OnMessage(const std::string& text, MessageKind kind) override;
    void OnInfoLine(int line, const std::string& text, const std::string& value) override;
    void OnLamp(int index, int colourCode) override;
    void OnProgress(std::int32_t value, std::int32_t max) override;
    void OnPercent(const std::string& text) override;
    void OnClock(const std::string& text) override;
    void OnBox(const std::string& text, platform::MsgButtons buttons, platform::MsgIcon icon,
               platform::MsgResult answer) override;

    struct End {
        std::string result;  // success, failure, cancelled, timeout
        RunFacts run;        // the run's facts (its outcome, port, unit, transfer)
        double seconds = 0;
        double maxStallMs = 0;
        std::int64_t peakRssKiB = 0;
        std::int64_t idleRssKiB = 0;  // when the button was pressed
        // The private part (see CurrentPrivateKiB): its peak as sampled, and
        // when the button was pressed.
        std::int64_t peakPrivateKiB = 0;
        std::int64_t idlePrivateKiB = 0;
        // Whether the run is in the history, and why not.
        bool recorded = false;
        std::string historyError;
        // Why the run's trace is not whole (said only then).
        std::string traceError;
    };
    void WriteEnd(const End& end);
    // The wait action's lines (see runjson::kKindUnit): a unit answered its
    // greeting (`reason` empty: it is updated now, its trace in `trace`), it
    // has gone, no unit yet.
    void WriteUnit(const RunFacts& greeting, const std::string& reason, const std::string& trace);
    void WriteGone(const std::string& serial);
    void WriteWaiting(double pollSeconds);

    static const char* ColourName(MessageKind kind);
    static const char* LampColourName(int colourCode);
    static const char* IconName(platform::MsgIcon icon);
    static const char* AnswerName(platform::MsgResult answer);
    // The name of what an information line tells ("serial", ...), or nullptr.
    static const char* FactName(int line);

  private:
    JsonLine Start(const char* kind) const;
    void Write(const JsonLine& line);

    std::FILE* out_;
    Clock nowMs_;
    std::string title_;
};
