// Fuzz target: bytes as a reply sentence of the text dialect.
//
// The parser is held against a reference parse written from the sentence
// format; the reading of the reply (garbled, no fields, refusal,
// acknowledgement) against the fields; the record report of field 2 and the
// display text of field 1 against what the operator may be shown. The same
// bytes also go through the sentence builder (whose output must parse back to
// the body it was given) and, as a QID payload, through the unit identity
// check.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "SentenceReply.h"
#include "mduDeviceChecks.h"
#include "mduGlobalModule.h"

namespace {

int HexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::vector<std::string> Split(const std::string& body) {
    std::vector<std::string> fields(1);
    for (const char c : body) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

// The sentence format read literally: "$", the body up to the first "*", two
// check digits (either case) equal to the XOR of the body. Nothing for a
// malformed or mismatching sentence; no fields for an empty body.
std::optional<std::vector<std::string>> ReferenceParse(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 5 || bytes[0] != '$') {
        return std::nullopt;
    }
    std::size_t star = 1;
    while (star < bytes.size() && bytes[star] != '*') {
        ++star;
    }
    if (star + 2 >= bytes.size()) {
        return std::nullopt;
    }
    const int high = HexValue(bytes[star + 1]);
    const int low = HexValue(bytes[star + 2]);
    std::uint8_t check = 0;
    for (std::size_t i = 1; i < star; ++i) {
        check ^= bytes[i];
    }
    if (high < 0 || low < 0 || ((high << 4) | low) != check) {
        return std::nullopt;
    }
    const std::string body(bytes.begin() + 1, bytes.begin() + static_cast<std::ptrdiff_t>(star));
    return body.empty() ? std::vector<std::string>{} : Split(body);
}

bool EqualsIgnoringAsciiCase(const std::string& text, const char* word) {
    std::size_t i = 0;
    for (; word[i] != '\0'; ++i) {
        if (i >= text.size()) {
            return false;
        }
        char c = text[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != word[i]) {
            return false;
        }
    }
    return i == text.size();
}

// The record report byte of a field: one or two hexadecimal digits with
// spaces around them allowed.
std::optional<std::uint8_t> ReferenceReportByte(const std::string& field) {
    std::size_t first = 0;
    std::size_t last = field.size();
    while (first < last && field[first] == ' ') {
        ++first;
    }
    while (last > first && field[last - 1] == ' ') {
        --last;
    }
    if (last == first || last - first > 2) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = first; i < last; ++i) {
        const int digit = HexValue(static_cast<std::uint8_t>(field[i]));
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return static_cast<std::uint8_t>(value);
}

std::string ReferenceReportText(std::uint8_t report) {
    static const std::array<std::pair<std::uint8_t, const char*>, 5> kBits{{
        {0x04, "序號異常"},
        {0x08, "資料異常(照相資料記憶區)"},
        {0x10, "資料異常(記憶區_2)"},
        {0x20, "資料異常(記憶區_3)"},
        {0x40, "資料異常(記憶區_4)"},
    }};
    std::string text;
    for (const auto& [mask, words] : kBits) {
        if ((report & mask) != 0) {
            text += text.empty() ? "" : ",";
            text += words;
        }
    }
    return text.empty() ? "正常" : text;
}

void CheckReport(const std::string& field) {
    const std::optional<std::uint8_t> expected = ReferenceReportByte(field);
    const std::optional<std::uint8_t> parsed = mduDeviceChecks::ParseReportByte(field);
    FUZZ_REQUIRE(parsed == expected);
    const std::string plain = mduDeviceChecks::DecodeRecordReport(field, false);
    const std::string prefixed = mduDeviceChecks::DecodeRecordReport(field, true);
    FUZZ_REQUIRE(prefixed == std::string(mduDeviceChecks::RecordPartPrefix) + plain);
    if (!expected) {
        // A report that cannot be read is never taken for a sound memory.
        FUZZ_REQUIRE(plain == mduDeviceChecks::UnknownReportText);
        FUZZ_REQUIRE(plain != mduDeviceChecks::NormalReportText);
        return;
    }
    FUZZ_REQUIRE(plain == ReferenceReportText(*expected));
    FUZZ_REQUIRE(plain == mduDeviceChecks::RecordReportText(*expected));
    FUZZ_REQUIRE((plain == mduDeviceChecks::NormalReportText) == ((*expected & 0x7C) == 0));
}

// Display text: valid UTF-8 whose code points are the unit's bytes, one each.
void CheckDisplayText(const std::string& unitText) {
    const std::string shown = mduDeviceChecks::UnitTextForDisplay(unitText);
    FUZZ_REQUIRE(fuzz::IsValidUtf8(shown));
    const std::vector<std::uint32_t> points = fuzz::CodePoints(shown);
    FUZZ_REQUIRE(points.size() == unitText.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        FUZZ_REQUIRE(points[i] == static_cast<unsigned char>(unitText[i]));
    }
}

void CheckReply(std::span<const std::uint8_t> bytes) {
    bool fault = false;
    const std::vector<std::string> fields = mduGlobalModule::ParseSentence(bytes, fault);
    FUZZ_REQUIRE(mduGlobalModule::ParseSentence(bytes) == fields);
    const std::optional<std::vector<std::string>> expected = ReferenceParse(bytes);
    FUZZ_REQUIRE(fault == !expected.has_value());
    FUZZ_REQUIRE(fields == expected.value_or(std::vector<std::string>{}));

    const SentenceReply reply = SentenceReply::Read(bytes);
    FUZZ_REQUIRE(reply.fields == fields);
    switch (reply.verdict) {
        case SentenceVerdict::Garbled:
            FUZZ_REQUIRE(fault && fields.empty());
            break;
        case SentenceVerdict::NoFields:
            FUZZ_REQUIRE(!fault && fields.empty());
            break;
        case SentenceVerdict::Refusal:
            FUZZ_REQUIRE(!fields.empty() && !EqualsIgnoringAsciiCase(fields[0], "ASACK"));
            break;
        case SentenceVerdict::Acknowledgement:
            FUZZ_REQUIRE(!fields.empty() && EqualsIgnoringAsciiCase(fields[0], "ASACK"));
            break;
    }
    FUZZ_REQUIRE(reply.Acknowledged() == (reply.verdict == SentenceVerdict::Acknowledgement));
    for (std::size_t n = 0; n < fields.size() + 2; ++n) {
        FUZZ_REQUIRE(reply.HasField(n) == (n < fields.size()));
        FUZZ_REQUIRE(reply.Field(n) == (n < fields.size() ? fields[n] : std::string()));
    }
    // What the connection states show of fields 1 and 2 (any reply, so that
    // the checks also see texts a refusal carries).
    CheckDisplayText(reply.Field(1));
    if (reply.HasField(2)) {
        CheckReport(reply.Field(2));
        CheckDisplayText(reply.Field(2));
    }
}

// The builder: "$", the text before the first "*", trimmed of spaces, after
// its last "$", then "*" and the check digits, CR LF. It must parse back.
void CheckBuilder(std::span<const std::uint8_t> bytes) {
    const std::string text = fuzz::AsText(bytes);
    std::string part = text.substr(0, text.find('*'));
    const std::size_t begin = part.find_first_not_of(' ');
    part = begin == std::string::npos ? std::string() : part.substr(begin);
    const std::size_t end = part.find_last_not_of(' ');
    part = end == std::string::npos ? std::string() : part.substr(0, end + 1);
    if (const std::size_t dollar = part.rfind('$'); dollar != std::string::npos) {
        part = part.substr(dollar + 1);
    }
    const std::vector<std::uint8_t> sentence = mduGlobalModule::BuildSentence(text);
    FUZZ_REQUIRE(sentence.size() == part.size() + 6);
    FUZZ_REQUIRE(sentence.front() == '$' && sentence[sentence.size() - 2] == '\r' &&
                 sentence.back() == '\n');
    bool fault = true;
    const std::vector<std::string> fields = mduGlobalModule::ParseSentence(sentence, fault);
    FUZZ_REQUIRE(!fault);
    FUZZ_REQUIRE(fields == (part.empty() ? std::vector<std::string>{} : Split(part)));
}

// As a QID payload: the identity is everything but a trailing CRC that holds.
void CheckUnitId(std::span<const std::uint8_t> bytes) {
    const std::optional<std::string> id = mduDeviceChecks::UnitIdFromPayload(bytes);
    const bool intact = bytes.size() >= 2 && fuzz::ReferenceCrcIntact(bytes);
    FUZZ_REQUIRE(id.has_value() == intact);
    if (id) {
        FUZZ_REQUIRE(*id == fuzz::AsText(bytes.first(bytes.size() - 2)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::PrepareTables();
    const std::span<const std::uint8_t> bytes(data, size);
    CheckReply(bytes);
    CheckBuilder(bytes);
    CheckUnitId(bytes);
    return 0;
}
