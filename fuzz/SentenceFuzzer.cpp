// Fuzz target: bytes as a reply sentence of the text dialect.
//
// The parser is held against the simulated unit's reading of the sentence
// format; the reading of the reply (garbled, no fields, refusal,
// acknowledgement) against the fields; the record report of field 2 and the
// display text of field 1 against what the operator may be shown. The same
// bytes also go through the sentence builder (whose output must be the
// sentence the unit would build of that body, and parse back to it) and, as
// a QID payload, through the unit identity check.

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "SentenceReply.h"
#include "UnitCrc.h"
#include "UnitSentence.h"
#include "mduDeviceChecks.h"
#include "mduGlobalModule.h"

namespace {

// The sentence format as the unit reads it: "$", the body up to the first
// "*", two check digits (either case) equal to the XOR of the body. The host
// also wants at least five bytes, and an empty body gives it no fields.
std::optional<std::vector<std::string>> ReferenceParse(std::span<const std::uint8_t> bytes) {
    auto fields = bytes.size() < 5 ? std::nullopt : sim::UnitSentence::Parse(bytes);
    if (fields && fields->size() == 1 && fields->front().empty()) {
        fields->clear();
    }
    return fields;
}

bool EqualsIgnoringAsciiCase(const std::string& text, std::string_view word) {
    return std::equal(text.begin(), text.end(), word.begin(), word.end(), [](char c, char w) {
        return (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) == w;
    });
}

// The record report byte of a field: one or two hexadecimal digits with
// spaces around them allowed.
std::optional<std::uint8_t> ReferenceReportByte(const std::string& field) {
    const std::string digits = fuzz::Trimmed(field, " ");
    const char* const last = digits.data() + digits.size();
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), last, value, 16);
    if (digits.empty() || digits.size() > 2 || error != std::errc{} || end != last) {
        return std::nullopt;
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
        FUZZ_REQUIRE(plain == "不明");
        return;
    }
    FUZZ_REQUIRE(plain == ReferenceReportText(*expected));
}

// Display text: the UTF-8 of the code points U+0000 to U+00FF that equal the
// unit's bytes, one each.
void CheckDisplayText(const std::string& unitText) {
    std::string utf8;
    for (const char c : unitText) {
        const auto b = static_cast<unsigned char>(c);
        utf8 += b < 0x80 ? std::string(1, c)
                         : std::string{static_cast<char>(0xC0 | (b >> 6)),
                                       static_cast<char>(0x80 | (b & 0x3F))};
    }
    FUZZ_REQUIRE(mduDeviceChecks::UnitTextForDisplay(unitText) == utf8);
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
    // A garbled sentence has no fields; an acknowledgement has "ASACK" in any case first.
    using enum SentenceVerdict;
    FUZZ_REQUIRE(reply.verdict == (fault                                         ? Garbled
                                   : fields.empty()                              ? NoFields
                                   : EqualsIgnoringAsciiCase(fields[0], "ASACK") ? Acknowledgement
                                                                                 : Refusal));
    for (std::size_t n = 0; n < fields.size() + 2; ++n) {
        FUZZ_REQUIRE(reply.HasField(n) == (n < fields.size()));
        FUZZ_REQUIRE(reply.Field(n) == (n < fields.size() ? fields[n] : std::string()));
    }
    // What the connection states show of fields 1 and 2 (any reply, so that
    // the checks also see texts a refusal carries): field 1 as display text
    // (which field it comes from changes nothing), field 2 as a report.
    CheckDisplayText(reply.Field(1));
    if (reply.HasField(2)) {
        CheckReport(reply.Field(2));
    }
}

// The builder: "$", the text before the first "*", trimmed of spaces, after
// its last "$", then "*" and the check digits, CR LF, as the unit builds its
// own. It must parse back.
void CheckBuilder(std::span<const std::uint8_t> bytes) {
    const std::string text = fuzz::AsText(bytes);
    std::string part = fuzz::Trimmed(text.substr(0, text.find('*')), " ");
    if (const std::size_t dollar = part.rfind('$'); dollar != std::string::npos) {
        part = part.substr(dollar + 1);
    }
    const std::vector<std::uint8_t> sentence = mduGlobalModule::BuildSentence(text);
    FUZZ_REQUIRE(sentence == sim::UnitSentence::Build(part));
    bool fault = true;
    const std::vector<std::string> fields = mduGlobalModule::ParseSentence(sentence, fault);
    const std::optional<std::vector<std::string>> expected = ReferenceParse(sentence);
    FUZZ_REQUIRE(!fault && expected && fields == *expected);
}

// As a QID payload: the identity is everything but a trailing CRC that holds.
void CheckUnitId(std::span<const std::uint8_t> bytes) {
    const std::optional<std::string> id = mduDeviceChecks::UnitIdFromPayload(bytes);
    const bool intact = sim::UnitCrc::Intact(bytes);
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
