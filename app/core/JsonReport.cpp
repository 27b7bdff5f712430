#include "JsonReport.h"

#include "JsonLine.h"
#include "RunJsonKeys.h"
#include "mduCommonMessage.h"

JsonReport::JsonReport(std::FILE* out, Clock nowMs, std::string title)
    : out_(out), nowMs_(std::move(nowMs)), title_(std::move(title)) {}

const char* JsonReport::ColourName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Information:
            return runjson::kColourWindowText;
        case MessageKind::Success:
            return runjson::kColourBlue;
        case MessageKind::Error:
            return runjson::kColourRed;
    }
    return "?";
}

const char* JsonReport::LampColourName(int colourCode) {
    switch (colourCode) {
        case 0:
            return "grey";
        case 1:
            return "yellow";
        case 2:
            return "green";
        case 3:
            return "red";
        default:
            return "?";
    }
}

const char* JsonReport::IconName(platform::MsgIcon icon) {
    switch (icon) {
        case platform::MsgIcon::None:
            return "none";
        case platform::MsgIcon::Information:
            return "information";
        case platform::MsgIcon::Exclamation:
            return "exclamation";
        case platform::MsgIcon::Critical:
            return "critical";
    }
    return "?";
}

const char* JsonReport::AnswerName(platform::MsgResult answer) {
    switch (answer) {
        case platform::MsgResult::Ok:
            return "ok";
        case platform::MsgResult::Cancel:
            return "cancel";
        case platform::MsgResult::Yes:
            return "yes";
        case platform::MsgResult::No:
            return "no";
    }
    return "?";
}

JsonLine JsonReport::Start(const char* kind) const {
    JsonLine line;
    line.Add(runjson::kTime, nowMs_()).Add(runjson::kKind, kind);
    return line;
}

void JsonReport::Write(const JsonLine& line) {
    const std::string text = line.Text();
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

void JsonReport::OnStateChange(std::int32_t from, std::int32_t to) {
    Write(Start(runjson::kKindState).Add(runjson::kFrom, from).Add(runjson::kTo, to));
}

void JsonReport::OnMessage(const std::string& text, MessageKind kind) {
    Write(Start(runjson::kKindMessage)
              .Add(runjson::kText, text)
              .Add(runjson::kColour, ColourName(kind)));
}

const char* JsonReport::FactName(int line) {
    using namespace mduCommonMessage;
    switch (line) {
        case InfoLineDataFileVersion:
            return runjson::kFactFileDataVersion;
        case InfoLineUnitDataVersion:
            return runjson::kFactDataVersion;
        case InfoLineSerialNumber:
            return runjson::kFactSerial;
        case InfoLineProgramVersion:
            return runjson::kFactProgramVersion;
        case InfoLineRecordReport:
            return runjson::kFactRecordReport;
        default:
            return nullptr;
    }
}

void JsonReport::OnInfoLine(int line, const std::string& text, const std::string& value) {
    JsonLine json = Start(runjson::kKindInfo);
    json.Add(runjson::kLine, line).Add(runjson::kText, text);
    // The fact as a field of its own, so that a reader need not know the
    // labels: "fact" names it, "value" is what the line shows after its label.
    if (const char* fact = FactName(line)) {
        json.Add(runjson::kFact, fact).Add(runjson::kValue, value);
    }
    Write(json);
}

void JsonReport::OnLamp(int index, int colourCode) {
    Write(Start(runjson::kKindLamp)
              .Add(runjson::kIndex, index)
              .Add(runjson::kColour, LampColourName(colourCode))
              .Add(runjson::kCode, colourCode));
}

void JsonReport::OnProgress(std::int32_t value, std::int32_t max) {
    Write(Start(runjson::kKindProgress).Add(runjson::kValue, value).Add(runjson::kMax, max));
}

void JsonReport::OnPercent(const std::string& text) {
    Write(Start(runjson::kKindPercent).Add(runjson::kText, text));
}

void JsonReport::OnClock(const std::string& text) {
    Write(Start(runjson::kKindClock).Add(runjson::kText, text));
}

void JsonReport::OnBox(const std::string& text, platform::MsgButtons /*buttons*/,
                       platform::MsgIcon icon, platform::MsgResult answer) {
    Write(Start(runjson::kKindBox)
              .Add(runjson::kIcon, IconName(icon))
              .Add(runjson::kTitle, title_)
              .Add(runjson::kText, text)
              .Add(runjson::kAnswer, AnswerName(answer)));
}

void JsonReport::WriteEnd(const End& end) {
    using namespace runjson;
    const RunFacts& run = end.run;
    JsonLine line = Start(kKindEnd);
    line.Add(kResult, end.result)
        .Add(kPort, run.port)
        .AddFixed(kSeconds, end.seconds, 3)
        .AddFixed(kMaxStallMs, end.maxStallMs, 1)
        .Add(kPeakRssKiB, end.peakRssKiB)
        .Add(kIdleRssKiB, end.idleRssKiB)
        .Add(kPeakPrivateKiB, end.peakPrivateKiB)
        .Add(kIdlePrivateKiB, end.idlePrivateKiB)
        .AddBool(kRecorded, end.recorded)
        .Add(kHistoryError, end.historyError);
    // The unit's facts as the run learnt them (only those it learnt).
    const auto fact = [&line](const char* key, const std::string& value) {
        if (!value.empty()) {
            line.Add(key, value);
        }
    };
    fact(kSerial, run.serial);
    fact(kProgramVersion, run.programVersion);
    fact(kDataVersionBefore, run.dataVersionBefore);
    fact(kFileDataVersion, run.fileDataVersion);
    fact(kDataVersionAfter, run.dataVersionAfter);
    // Added later than the keys above: the whole outcome, the rest of the
    // run's facts.
    line.Add(kOutcome, RunOutcomeName(run.outcome));
    fact(kDevice, run.device);
    fact(kRecordReport, run.recordReport);
    if (run.kind == RunKind::Update) {
        line.Add(kBlocksWritten, run.blocksWritten)
            .Add(kResends, run.resends)
            .AddBool(kEraseBegun, run.eraseBegun);
    }
    if (run.failedStage != RunStage::None) {
        line.Add(kFailedStage, RunStageName(run.failedStage));
    }
    fact(kFailureText, run.failureText);
    fact(kTrace, run.traceFile);
    fact(kTraceError, end.traceError);
    Write(line);
}

void JsonReport::WriteUnit(const RunFacts& greeting, const std::string& reason,
                           const std::string& trace) {
    using namespace runjson;
    JsonLine line = Start(kKindUnit);
    line.Add(kSerial, greeting.serial);
    if (!greeting.recordReport.empty()) {
        line.Add(kRecordReport, greeting.recordReport);
    }
    line.AddBool(kUpdate, reason.empty());
    if (!reason.empty()) {
        line.Add(kReason, reason);
    }
    if (!trace.empty()) {
        line.Add(kTrace, trace);
    }
    Write(line);
}

void JsonReport::WriteGone(const std::string& serial) {
    Write(Start(runjson::kKindGone).Add(runjson::kSerial, serial));
}

void JsonReport::WriteWaiting(double pollSeconds) {
    Write(Start(runjson::kKindWaiting).AddFixed(runjson::kPollSeconds, pollSeconds, 1));
}
