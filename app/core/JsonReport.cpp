#include "JsonReport.h"

#include "JsonLine.h"
#include "mduCommonMessage.h"

JsonReport::JsonReport(std::FILE* out, Clock nowMs, std::string title)
    : out_(out), nowMs_(std::move(nowMs)), title_(std::move(title)) {}

const char* JsonReport::ColourName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Information:
            return "window-text";
        case MessageKind::Success:
            return "blue";
        case MessageKind::Error:
            return "red";
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
    line.Add("t_ms", nowMs_()).Add("kind", kind);
    return line;
}

void JsonReport::Write(const JsonLine& line) {
    const std::string text = line.Text();
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

void JsonReport::OnStateChange(std::int32_t from, std::int32_t to) {
    Write(Start("state").Add("from", from).Add("to", to));
}

void JsonReport::OnMessage(const std::string& text, MessageKind kind) {
    Write(Start("message").Add("text", text).Add("colour", ColourName(kind)));
}

const char* JsonReport::FactName(int line) {
    using namespace mduCommonMessage;
    switch (line) {
        case InfoLineDataFileVersion:
            return "file_data_version";
        case InfoLineUnitDataVersion:
            return "data_version";
        case InfoLineSerialNumber:
            return "serial";
        case InfoLineProgramVersion:
            return "program_version";
        case InfoLineRecordReport:
            return "record_report";
        default:
            return nullptr;
    }
}

std::string JsonReport::InfoValue(const std::string& text) {
    const std::string::size_type at = text.find(':');
    if (at == std::string::npos) {
        return {};
    }
    const std::string::size_type start = text.find_first_not_of(' ', at + 1);
    return start == std::string::npos ? std::string() : text.substr(start);
}

void JsonReport::OnInfoLine(int line, const std::string& text) {
    JsonLine json = Start("info");
    json.Add("line", line).Add("text", text);
    // The fact as a field of its own, so that a reader need not know the
    // labels: "fact" names it, "value" is the line without its label.
    if (const char* fact = FactName(line)) {
        const std::string value = InfoValue(text);
        facts_[line] = value;
        // After a success the unit's line reads "0601 (更新前 : 0512)": the
        // fact kept is still the version the unit had before.
        const std::string before = " (更新前 : ";
        if (const auto at = value.find(before); line == mduCommonMessage::InfoLineUnitDataVersion &&
                                                at != std::string::npos && value.back() == ')') {
            facts_[line] = value.substr(at + before.size(), value.size() - at - before.size() - 1);
        }
        json.Add("fact", fact).Add("value", value);
    }
    Write(json);
}

void JsonReport::OnLamp(int index, int colourCode) {
    Write(Start("lamp")
              .Add("index", index)
              .Add("colour", LampColourName(colourCode))
              .Add("code", colourCode));
}

void JsonReport::OnProgress(std::int32_t value, std::int32_t max) {
    Write(Start("progress").Add("value", value).Add("max", max));
}

void JsonReport::OnPercent(const std::string& text) {
    Write(Start("percent").Add("text", text));
}

void JsonReport::OnClock(const std::string& text) {
    Write(Start("clock").Add("text", text));
}

void JsonReport::OnBox(const std::string& text, platform::MsgButtons /*buttons*/,
                       platform::MsgIcon icon, platform::MsgResult answer) {
    Write(Start("box")
              .Add("icon", IconName(icon))
              .Add("title", title_)
              .Add("text", text)
              .Add("answer", AnswerName(answer)));
}

void JsonReport::WriteEnd(const End& end) {
    JsonLine line = Start("end");
    line.Add("result", end.result)
        .Add("port", end.port)
        .AddFixed("seconds", end.seconds, 3)
        .AddFixed("max_stall_ms", end.maxStallMs, 1)
        .Add("peak_rss_kib", end.peakRssKiB)
        .Add("idle_rss_kib", end.idleRssKiB)
        .Add("peak_private_kib", end.peakPrivateKiB)
        .Add("idle_private_kib", end.idlePrivateKiB)
        .AddBool("recorded", end.recorded)
        .Add("history_error", end.historyError);
    // The unit's facts as the run last showed them (only those it learnt).
    using namespace mduCommonMessage;
    const auto fact = [&line, this](const char* key, int index) {
        if (!facts_[index].empty()) {
            line.Add(key, facts_[index]);
        }
    };
    fact("serial", InfoLineSerialNumber);
    fact("program_version", InfoLineProgramVersion);
    fact("data_version_before", InfoLineUnitDataVersion);
    fact("file_data_version", InfoLineDataFileVersion);
    if (end.dataWritten) {
        fact("data_version_after", InfoLineDataFileVersion);
    }
    Write(line);
}
