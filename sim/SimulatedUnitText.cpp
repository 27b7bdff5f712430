#include "SimulatedUnit.h"

#include <algorithm>

#include "UnitSentence.h"

// The text dialect at 9600 baud: sentences gathered from "$" to the line
// end, the hello and the switch to link mode, and their replies.

namespace sim {

namespace {

// Longest sentence the unit buffers ("$", body, "*hh", CR LF).
constexpr std::size_t kMaxSentence = 96;

}  // namespace

void SimulatedUnit::OnTextBytes(std::span<const std::uint8_t> bytes, std::int64_t nowUs) {
    std::vector<std::uint8_t> stray;
    for (const std::uint8_t b : bytes) {
        if (!connected_) {
            return;
        }
        if (b == '$') {
            if (!sentence_.empty()) {
                log_.AddDropped(nowUs, sentence_, kTextBaud, "sentence cut off by a new one");
            }
            sentence_.assign(1, b);
            continue;
        }
        if (sentence_.empty()) {
            stray.push_back(b);
            continue;
        }
        sentence_.push_back(b);
        if (b == '\n') {
            std::vector<std::uint8_t> raw;
            raw.swap(sentence_);
            OnSentence(raw, nowUs);
        } else if (sentence_.size() > kMaxSentence) {
            log_.AddDropped(nowUs, sentence_, kTextBaud, "sentence too long");
            sentence_.clear();
        }
    }
    if (!stray.empty()) {
        log_.AddDropped(nowUs, stray, kTextBaud, "text outside a sentence");
    }
}

void SimulatedUnit::OnSentence(const std::vector<std::uint8_t>& raw, std::int64_t nowUs) {
    LogEntry heard;
    heard.timeUs = nowUs;
    heard.kind = LogEntry::Kind::HostSentence;
    heard.raw = raw;
    heard.baud = kTextBaud;
    const auto fields = UnitSentence::Parse(raw);
    if (!fields) {
        heard.note = "check digits wrong: ignored";
        log_.Add(std::move(heard));
        return;
    }
    UnitFaults::Request info;
    info.unit = static_cast<int>(arrivals_) + 1;
    if ((*fields)[0] == "GSHLO") {
        info.sentence = FaultSpec::Sentence::Hello;
    } else if ((*fields)[0] == "GSLNK") {
        info.sentence = FaultSpec::Sentence::Link;
    } else {
        heard.note = "unknown sentence: ignored";
        log_.Add(std::move(heard));
        return;
    }
    if (checking_) {
        heard.note = "memory check in progress: no answer";
        log_.Add(std::move(heard));
        return;
    }
    log_.Add(std::move(heard));

    const FaultSpec* fault = faults_.Fire(info, nowUs, log_);
    const auto kind = fault ? fault->kind : FaultSpec::Kind::NoReply;
    if (fault && kind == FaultSpec::Kind::HangUp) {
        HangUp(nowUs);
        return;
    }
    if (fault && kind == FaultSpec::Kind::Pulled) {
        Leave(nowUs);
        return;
    }
    if (fault && kind == FaultSpec::Kind::NoReply) {
        return;
    }
    const bool hello = *info.sentence == FaultSpec::Sentence::Hello;
    const bool refused = fault && kind == FaultSpec::Kind::Refused;
    std::string body = (refused ? "ASNAK," : "ASACK,") + config_.serial;
    if (hello) {
        body +=
            "," + (checked_ && !config_.finalReportField.empty() ? config_.finalReportField
                                                                 : UnitSentence::HexByte(report_));
    }
    LogEntry said;
    said.kind = LogEntry::Kind::UnitSentence;
    said.raw = fault && kind == FaultSpec::Kind::Garbled ? UnitSentence::BuildGarbled(body)
                                                         : UnitSentence::Build(body);
    said.baud = kTextBaud;
    if (fault) {
        said.note = fault->Describe();
    }
    std::int64_t dueUs = nowUs + config_.textReplyUs;
    if (fault && kind == FaultSpec::Kind::Late) {
        const std::int64_t delayMs = fault->delayMs >= 0 ? fault->delayMs : 300 + 500;
        dueUs = std::max(dueUs, nowUs + delayMs * 1000);
    }
    Transmission tx{said.raw, kTextBaud};
    Schedule(dueUs, std::move(tx), !hello && !refused ? After::EnterBinary : After::Nothing,
             std::move(said));
}

std::size_t SimulatedUnit::WholeSentenceLength(std::span<const std::uint8_t> bytes) const {
    // The sentence being received, or one that starts with these bytes.
    std::vector<std::uint8_t> sentence = sentence_;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '$' && !sentence.empty()) {
            return 0;  // a new sentence cuts this one off
        }
        if (bytes[i] != '$' && sentence.empty()) {
            return 0;  // bytes outside a sentence
        }
        sentence.push_back(bytes[i]);
        if (bytes[i] == '\n') {
            return UnitSentence::Parse(sentence) ? i + 1 : 0;
        }
        if (sentence.size() > kMaxSentence) {
            return 0;
        }
    }
    return 0;
}

}  // namespace sim
