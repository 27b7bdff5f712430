#include "UnitLog.h"

namespace sim {

namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string HexText(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
    return out;
}

// A JSON string literal; bytes outside printable ASCII become \u00XX so the
// line stays valid whatever the host sent.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            out += "\\u00";
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out + "\"";
}

}  // namespace

void UnitLog::Add(LogEntry entry) {
    lastWasDrop_ = false;
    if (sink_) {
        sink_(entry);
    }
    if (keep_) {
        entries_.push_back(std::move(entry));
    }
}

void UnitLog::AddDropped(std::int64_t timeUs, std::span<const std::uint8_t> bytes, int baud,
                         const std::string& reason) {
    LogEntry entry;
    entry.timeUs = timeUs;
    entry.kind = LogEntry::Kind::Dropped;
    entry.raw.assign(bytes.begin(), bytes.end());
    entry.baud = baud;
    entry.note = reason;
    if (sink_) {
        sink_(entry);
    }
    if (!keep_) {
        return;
    }
    if (lastWasDrop_ && !entries_.empty() && entries_.back().note == reason &&
        entries_.back().baud == baud) {
        LogEntry& last = entries_.back();
        last.raw.insert(last.raw.end(), bytes.begin(), bytes.end());
        last.timeUs = timeUs;
        return;
    }
    entries_.push_back(std::move(entry));
    lastWasDrop_ = true;
}

std::vector<LogEntry> UnitLog::EntriesOf(LogEntry::Kind kind) const {
    std::vector<LogEntry> out;
    for (const LogEntry& entry : entries_) {
        if (entry.kind == kind) {
            out.push_back(entry);
        }
    }
    return out;
}

std::string UnitLog::ToJson(const LogEntry& entry, bool brief) {
    std::string out = "{\"t_us\":" + std::to_string(entry.timeUs) +
                      ",\"kind\":" + JsonString(LogEntry::KindName(entry.kind));
    if (entry.baud > 0) {
        out += ",\"baud\":" + std::to_string(entry.baud);
    }
    if (entry.code >= 0) {
        out += ",\"code\":" + std::to_string(entry.code);
    }
    if (entry.status >= 0) {
        out += ",\"status\":" + std::to_string(entry.status);
    }
    if (entry.readUs >= 0) {
        out += ",\"read_us\":" + std::to_string(entry.readUs);
    }
    if (!entry.raw.empty()) {
        out += ",\"length\":" + std::to_string(entry.raw.size());
    }
    if (!entry.raw.empty() && !brief) {
        out += ",\"raw\":\"" + HexText(entry.raw) + "\"";
    }
    if (!brief && (entry.kind == LogEntry::Kind::HostSentence ||
                   entry.kind == LogEntry::Kind::UnitSentence)) {
        out += ",\"text\":" + JsonString(std::string(entry.raw.begin(), entry.raw.end()));
    }
    if (!entry.plain.empty() && !brief) {
        out += ",\"plain\":\"" + HexText(entry.plain) + "\"";
    }
    if (!entry.note.empty()) {
        out += ",\"note\":" + JsonString(entry.note);
    }
    return out + "}";
}

}  // namespace sim
