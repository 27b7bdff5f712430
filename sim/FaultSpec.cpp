#include "FaultSpec.h"

#include <array>
#include <charconv>

#include "UnitCommand.h"

namespace sim {

namespace {

struct KindText {
    FaultSpec::Kind kind;
    std::string_view text;
};

constexpr std::array<KindText, 13> kKinds{{
    {FaultSpec::Kind::NoReply, "no-reply"},
    {FaultSpec::Kind::BadCrc, "bad-crc"},
    {FaultSpec::Kind::WrongCode, "wrong-code"},
    {FaultSpec::Kind::BadStatus, "bad-status"},
    {FaultSpec::Kind::MissingBit, "missing-bit"},
    {FaultSpec::Kind::Short, "short"},
    {FaultSpec::Kind::Late, "late"},
    {FaultSpec::Kind::HangUp, "hang-up"},
    {FaultSpec::Kind::Deaf, "deaf"},
    {FaultSpec::Kind::Garbled, "garbled"},
    {FaultSpec::Kind::Refused, "refused"},
    {FaultSpec::Kind::Twice, "twice"},
    {FaultSpec::Kind::Pulled, "pulled"},
}};

// Decimal, or hexadecimal with a 0x prefix; at most `limit`.
std::optional<std::int64_t> ParseNumber(std::string_view text, std::int64_t limit) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::int64_t value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > limit) {
        return std::nullopt;
    }
    return value;
}

std::string Hex(std::int64_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0x0F]);
        value >>= 4;
    } while (value > 0);
    if (out.size() % 2 != 0) {
        out.insert(out.begin(), '0');
    }
    return "0x" + out;
}

}  // namespace

std::string FaultSpec::KindName(Kind kind) {
    for (const KindText& entry : kKinds) {
        if (entry.kind == kind) {
            return std::string(entry.text);
        }
    }
    return "?";
}

bool FaultSpec::AppliesToFrames() const {
    return kind != Kind::Garbled && kind != Kind::Refused;
}

bool FaultSpec::AppliesToSentences() const {
    return kind == Kind::NoReply || kind == Kind::Late || kind == Kind::HangUp ||
           kind == Kind::Pulled || kind == Kind::Garbled || kind == Kind::Refused;
}

std::optional<FaultSpec> FaultSpec::Parse(std::string_view text, std::string& error) {
    FaultSpec spec;
    const std::size_t colon = text.find(':');
    const std::string_view kindText = text.substr(0, colon);
    bool known = false;
    for (const KindText& entry : kKinds) {
        if (entry.text == kindText) {
            spec.kind = entry.kind;
            known = true;
        }
    }
    if (!known) {
        error = "unknown fault kind \"" + std::string(kindText) + "\"";
        return std::nullopt;
    }
    std::string_view rest =
        colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1);
    if (colon != std::string_view::npos && rest.empty()) {
        error = "nothing after \":\"";
        return std::nullopt;
    }
    bool statusGiven = false;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos) {
            error = "expected KEY=VALUE, got \"" + std::string(item) + "\"";
            return std::nullopt;
        }
        const std::string_view key = item.substr(0, equals);
        const std::string_view value = item.substr(equals + 1);
        const auto bad = [&](const char* what) {
            error = "bad value \"" + std::string(value) + "\" for " + std::string(key) + " (" +
                    what + ")";
            return std::nullopt;
        };
        if (key == "code") {
            spec.code = UnitCommand::FromName(value);
            if (!spec.code) {
                return bad("a command mnemonic or a code 0 to 255");
            }
        } else if (key == "sentence") {
            if (value == "hello") {
                spec.sentence = Sentence::Hello;
            } else if (value == "link") {
                spec.sentence = Sentence::Link;
            } else {
                return bad("hello or link");
            }
        } else if (key == "block") {
            const auto n = ParseNumber(value, 1'000'000'000);
            if (!n || *n < 1) {
                return bad("a block number from 1");
            }
            spec.block = static_cast<int>(*n);
        } else if (key == "addr") {
            const auto n = ParseNumber(value, 0xFFFFFF);
            if (!n) {
                return bad("an address 0 to 0xFFFFFF");
            }
            spec.address = static_cast<std::uint32_t>(*n);
        } else if (key == "unit") {
            const auto n = ParseNumber(value, 1'000'000);
            if (!n || *n < 1) {
                return bad("a unit number from 1");
            }
            spec.unit = static_cast<int>(*n);
        } else if (key == "after" || key == "times") {
            const auto n = ParseNumber(value, 1'000'000'000);
            if (!n) {
                return bad("a count");
            }
            (key == "after" ? spec.after : spec.times) = static_cast<int>(*n);
        } else if (key == "delay") {
            const auto n = ParseNumber(value, 3'600'000);
            if (!n) {
                return bad("milliseconds up to one hour");
            }
            spec.delayMs = *n;
        } else if (key == "status") {
            const auto n = ParseNumber(value, 0xFF);
            if (!n || (*n & 0xF0) == 0) {
                return bad("bits that set the high nibble, e.g. 0x10");
            }
            spec.statusBits = static_cast<std::uint8_t>(*n);
            statusGiven = true;
        } else {
            error = "unknown key \"" + std::string(key) + "\"";
            return std::nullopt;
        }
    }
    const std::string name = KindName(spec.kind);
    if (spec.code && spec.sentence) {
        error = "code= and sentence= exclude each other";
        return std::nullopt;
    }
    if (spec.code && !spec.AppliesToFrames()) {
        error = name + " applies to sentences only";
        return std::nullopt;
    }
    if (spec.sentence && !spec.AppliesToSentences()) {
        error = name + " applies to binary replies only";
        return std::nullopt;
    }
    if ((spec.block || spec.address) && spec.sentence) {
        error = "block= and addr= select write requests, not sentences";
        return std::nullopt;
    }
    if ((spec.block || spec.address) && !spec.AppliesToFrames()) {
        error = "block= and addr= select write requests, which " + name + " cannot hit";
        return std::nullopt;
    }
    if (spec.delayMs >= 0 && spec.kind != Kind::Late) {
        error = "delay= belongs to late";
        return std::nullopt;
    }
    if (statusGiven && spec.kind != Kind::BadStatus) {
        error = "status= belongs to bad-status";
        return std::nullopt;
    }
    return spec;
}

std::string FaultSpec::Describe() const {
    std::string out = KindName(kind);
    std::string keys;
    const auto add = [&keys](const std::string& item) { keys += (keys.empty() ? "" : ",") + item; };
    if (code) {
        add("code=" + UnitCommand::Name(*code));
    }
    if (sentence) {
        add(std::string("sentence=") + (*sentence == Sentence::Hello ? "hello" : "link"));
    }
    if (block) {
        add("block=" + std::to_string(*block));
    }
    if (address) {
        add("addr=" + Hex(*address));
    }
    if (unit) {
        add("unit=" + std::to_string(*unit));
    }
    if (after > 0) {
        add("after=" + std::to_string(after));
    }
    if (times > 0) {
        add("times=" + std::to_string(times));
    }
    if (kind == Kind::Late && delayMs >= 0) {
        add("delay=" + std::to_string(delayMs));
    }
    if (kind == Kind::BadStatus) {
        add("status=" + Hex(statusBits));
    }
    return keys.empty() ? out : out + ":" + keys;
}

}  // namespace sim
