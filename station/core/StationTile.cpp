#include "StationTile.h"

#include "RunJsonKeys.h"
#include "StationTexts.h"

namespace {

std::string WithoutLineEnd(const std::string& line) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

void StationTile::BeginRun(RunRequest::Action action, std::int64_t nowMs) {
    waitingRun_ = action == RunRequest::Action::Wait;
    lastLineMs_ = nowMs;
    lastLine_.clear();
    stopReason_.clear();
    if (action == RunRequest::Action::Update) {
        BeginUpdate(nowMs);
        return;
    }
    // A waiting run only looks for a unit: the last update's result stays
    // shown.
    action_ = action;
}

void StationTile::BeginUpdate(std::int64_t nowMs) {
    action_ = RunRequest::Action::Update;
    phase_ = Phase::Running;
    startMs_ = nowMs;
    endOutcome_.clear();
    endSeconds_ = -1;
    runStallMs_ = -1;
    failureText_.clear();
    ClearUnit();
    message_ = StationTexts::Starting;
    waitReason_.clear();
}

void StationTile::ForgetLastUnit() {
    if (result_ != Result::Failure) {
        ClearUnit();
    }
}

void StationTile::ClearUnit() {
    result_ = Result::None;
    resultText_.clear();
    serial_.clear();
    programVersion_.clear();
    dataVersionBefore_.clear();
    dataVersionAfter_.clear();
    message_.clear();
    progressValue_ = 0;
    progressMax_ = 0;
    percent_.clear();
    clock_.clear();
    seconds_ = 0;
}

StationTile::LineEvent StationTile::ApplyLine(const std::string& line, std::int64_t nowMs) {
    using namespace runjson;
    lastLineMs_ = nowMs;
    lastLine_ = WithoutLineEnd(line);
    const std::optional<JsonFields> fields = JsonFields::Parse(lastLine_);
    if (!fields) {
        return LineEvent::None;
    }
    const std::string kind = fields->Text(kKind);
    if (waitingRun_) {
        if (const LineEvent event = ApplyWaitingLine(kind, *fields, nowMs);
            event != LineEvent::None || action_ != RunRequest::Action::Update) {
            return event;
        }
    }
    if (kind == kKindEnd) {
        ApplyEnd(*fields);
        return LineEvent::None;
    }
    if (kind == kKindMessage) {
        message_ = fields->Text(kText);
    } else if (kind == kKindInfo) {
        const std::string fact = fields->Text(kFact);
        const std::string value = fields->Text(kValue);
        if (fact == kFactSerial) {
            serial_ = value;
        } else if (fact == kFactProgramVersion) {
            programVersion_ = value;
        } else if (fact == kFactDataVersion) {
            dataVersionBefore_ = value;
        } else if (fact == kFactFileDataVersion) {
            fileDataVersion_ = value;
        }
    } else if (kind == kKindProgress) {
        progressValue_ = static_cast<int>(fields->Number(kValue));
        progressMax_ = static_cast<int>(fields->Number(kMax));
    } else if (kind == kKindPercent) {
        percent_ = fields->Text(kText);
    } else if (kind == kKindClock) {
        clock_ = fields->Text(kText);
    }
    return LineEvent::None;
}

StationTile::LineEvent StationTile::ApplyWaitingLine(const std::string& kind,
                                                     const JsonFields& fields, std::int64_t nowMs) {
    using namespace runjson;
    if (kind == kKindUnit && action_ != RunRequest::Action::Update) {
        if (fields.Text(kUpdate) != "true") {
            return LineEvent::UnitKept;
        }
        BeginUpdate(nowMs);
        trace_ = fields.Text(kTrace);
        return LineEvent::UpdateStarted;
    }
    if (kind == kKindGone && action_ != RunRequest::Action::Update) {
        return LineEvent::UnitGone;
    }
    if (kind == kKindEnd && action_ == RunRequest::Action::Update) {
        // The update's end: its result as an update's child that ended with
        // the status its result gives.
        ApplyEnd(fields);
        EndRun(ChildExit{false, fields.Text(kResult) == kSuccess ? 0 : 1, ""}, nowMs);
        return LineEvent::UpdateEnded;
    }
    return LineEvent::None;
}

void StationTile::ApplyEnd(const JsonFields& fields) {
    using namespace runjson;
    // An end line that does not say how the run ended tells nothing: the
    // run then ended without a result, as when no end line came.
    endOutcome_ = fields.Text(kOutcome);
    endSeconds_ = fields.Real(kSeconds, -1);
    runStallMs_ = fields.Real(kMaxStallMs, -1);
    const auto take = [&fields](const char* key, std::string& into) {
        if (fields.Has(key)) {
            into = fields.Text(key);
        }
    };
    take(kSerial, serial_);
    take(kProgramVersion, programVersion_);
    take(kDataVersionBefore, dataVersionBefore_);
    take(kFileDataVersion, fileDataVersion_);
    take(kDataVersionAfter, dataVersionAfter_);
    take(kFailureText, failureText_);
}

void StationTile::EndRun(const ChildExit& exit, std::int64_t nowMs) {
    phase_ = Phase::Idle;
    if (action_ == RunRequest::Action::Wait) {
        return;  // no update under way
    }
    if (waitingRun_) {
        action_ = RunRequest::Action::Wait;  // its next update begins afresh
    }
    seconds_ = endSeconds_ >= 0 ? endSeconds_ : static_cast<double>(nowMs - startMs_) / 1000.0;
    const std::string lastLine = lastLine_.empty() ? std::string("-") : lastLine_;
    if (!stopReason_.empty()) {
        Fail(stopReason_);
    } else if (exit.crashed) {
        Fail("gpsupdate-auto 被訊號 " + std::to_string(exit.code) + " 結束" +
             (exit.error.empty() ? "" : " (" + exit.error + ")") + "；最後一行：" + lastLine);
    } else if (endOutcome_.empty()) {
        Fail(std::string(StationTexts::NoEndLine) + " (結束狀態 " + std::to_string(exit.code) +
             ")；最後一行：" + lastLine);
    } else {
        TakeOutcome(exit.code);
    }
}

void StationTile::TakeOutcome(int exitCode) {
    using namespace runjson;
    if (endOutcome_ == kSuccess && exitCode == 0) {
        result_ = Result::Success;
        resultText_ = StationTexts::Success;
        if (dataVersionAfter_.empty()) {
            dataVersionAfter_ = fileDataVersion_;
        }
    } else if (endOutcome_ == kSkipped) {
        // The unit's data was not older than the file's, and the run was
        // told not to go on: nothing changed on the unit.
        result_ = Result::Skipped;
        resultText_ = StationTexts::Skipped;
    } else {
        Fail(!failureText_.empty()       ? InStationTerms(failureText_)
             : endOutcome_ == kTimeout   ? std::string(StationTexts::TimedOut)
             : endOutcome_ == kCancelled ? std::string(StationTexts::Cancelled)
                                         : std::string(StationTexts::Failure));
    }
}

std::string StationTile::InStationTerms(std::string text) const {
    const std::string_view window = StationTexts::WindowRetryStep;
    const std::string_view station =
        handsFree_ ? StationTexts::HandsFreeRetryStep : StationTexts::RetryStep;
    for (std::size_t at = text.find(window); at != std::string::npos;
         at = text.find(window, at + station.size())) {
        text.replace(at, window.size(), station);
    }
    return text;
}

void StationTile::Fail(const std::string& text) {
    result_ = Result::Failure;
    resultText_ = text;
    message_ = text;
}

void StationTile::SetWaiting(Phase phase, const std::string& reason) {
    phase_ = phase;
    waitReason_ = reason;
}
