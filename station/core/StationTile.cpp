#include "StationTile.h"

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
    action_ = action;
    phase_ = action == RunRequest::Action::Update ? Phase::Running : Phase::Polling;
    startMs_ = nowMs;
    lastLineMs_ = nowMs;
    lastLine_.clear();
    endResult_.clear();
    endSeconds_ = -1;
    runStallMs_ = -1;
    stopReason_.clear();
    failureText_.clear();
    if (action == RunRequest::Action::Test) {
        // A test only looks for a unit: the last update's result stays shown.
        unitAnswered_ = false;
        polledSerial_.clear();
        pollFailure_.clear();
        return;
    }
    result_ = Result::None;
    resultText_.clear();
    serial_.clear();
    programVersion_.clear();
    dataVersionBefore_.clear();
    dataVersionAfter_.clear();
    message_ = StationTexts::Starting;
    messageRed_ = false;
    progressValue_ = 0;
    progressMax_ = 0;
    percent_.clear();
    clock_.clear();
    waitReason_.clear();
    seconds_ = 0;
}

void StationTile::ApplyLine(const std::string& line, std::int64_t nowMs) {
    lastLineMs_ = nowMs;
    lastLine_ = WithoutLineEnd(line);
    const std::optional<JsonFields> fields = JsonFields::Parse(lastLine_);
    if (!fields) {
        return;
    }
    const std::string kind = fields->Text("kind");
    if (kind == "end") {
        ApplyEnd(*fields);
        return;
    }
    if (action_ == RunRequest::Action::Test) {
        if (kind == "info" && fields->Text("fact") == "serial") {
            polledSerial_ = fields->Text("value");
        } else if (kind == "message" && fields->Text("colour") == "red") {
            pollFailure_ = fields->Text("text");
        }
        return;
    }
    if (kind == "message") {
        message_ = fields->Text("text");
        messageRed_ = fields->Text("colour") == "red";
        if (messageRed_) {
            failureText_ = message_;
        }
    } else if (kind == "info") {
        const std::string fact = fields->Text("fact");
        const std::string value = fields->Text("value");
        if (fact == "serial") {
            serial_ = value;
        } else if (fact == "program_version") {
            programVersion_ = value;
        } else if (fact == "data_version") {
            dataVersionBefore_ = value;
        } else if (fact == "file_data_version") {
            fileDataVersion_ = value;
        }
    } else if (kind == "progress") {
        progressValue_ = static_cast<int>(fields->Number("value"));
        progressMax_ = static_cast<int>(fields->Number("max"));
    } else if (kind == "percent") {
        percent_ = fields->Text("text");
    } else if (kind == "clock") {
        clock_ = fields->Text("text");
    }
}

void StationTile::ApplyEnd(const JsonFields& fields) {
    endResult_ = fields.Text("result");
    endSeconds_ = fields.Real("seconds", -1);
    runStallMs_ = fields.Real("max_stall_ms", -1);
    if (action_ == RunRequest::Action::Test) {
        if (fields.Has("serial")) {
            polledSerial_ = fields.Text("serial");
        }
        return;
    }
    const auto take = [&fields](const char* key, std::string& into) {
        if (fields.Has(key)) {
            into = fields.Text(key);
        }
    };
    take("serial", serial_);
    take("program_version", programVersion_);
    take("data_version_before", dataVersionBefore_);
    take("file_data_version", fileDataVersion_);
    take("data_version_after", dataVersionAfter_);
}

void StationTile::EndRun(const ChildExit& exit, std::int64_t nowMs) {
    phase_ = Phase::Idle;
    const bool endedWell = !exit.crashed && stopReason_.empty();
    if (action_ == RunRequest::Action::Test) {
        unitAnswered_ = endedWell && exit.code == 0 && endResult_ == "success";
        return;
    }
    seconds_ = endSeconds_ >= 0 ? endSeconds_ : static_cast<double>(nowMs - startMs_) / 1000.0;
    const std::string lastLine = lastLine_.empty() ? std::string("-") : lastLine_;
    if (!stopReason_.empty()) {
        result_ = Result::Failure;
        resultText_ = stopReason_;
    } else if (exit.crashed) {
        result_ = Result::Failure;
        resultText_ = "gpsupdate-auto 被訊號 " + std::to_string(exit.code) + " 結束" +
                      (exit.error.empty() ? "" : " (" + exit.error + ")") + "；最後一行：" +
                      lastLine;
    } else if (endResult_.empty()) {
        result_ = Result::Failure;
        resultText_ = std::string(StationTexts::NoEndLine) + " (結束狀態 " +
                      std::to_string(exit.code) + ")；最後一行：" + lastLine;
    } else if (endResult_ == "success" && exit.code == 0) {
        result_ = Result::Success;
        resultText_ = StationTexts::Success;
        if (dataVersionAfter_.empty()) {
            dataVersionAfter_ = fileDataVersion_;
        }
    } else if (endResult_ == "cancelled" && !dataVersionBefore_.empty()) {
        // The only question an update asks: the unit's data is not older
        // than the file's, and the run was told not to go on.
        result_ = Result::Skipped;
        resultText_ = StationTexts::Skipped;
    } else {
        result_ = Result::Failure;
        resultText_ = !failureText_.empty()     ? failureText_
                      : endResult_ == "timeout" ? std::string("逾時")
                                                : std::string(StationTexts::Failure);
    }
    if (result_ == Result::Failure) {
        message_ = resultText_;
        messageRed_ = true;
    }
}

void StationTile::SetWaiting(Phase phase, const std::string& reason) {
    phase_ = phase;
    waitReason_ = reason;
}
