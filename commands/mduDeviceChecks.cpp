#include "mduDeviceChecks.h"

#include <array>

#include "mduGlobalModule.h"

namespace mduDeviceChecks {
namespace {

struct ReportBit {
    std::uint8_t mask;
    const char* text;
};

// In bit order; bits 0, 1 and 7 add no text.
constexpr std::array<ReportBit, 5> kReportBits{{
    {0x04, "序號異常"},
    {0x08, "資料異常(照相資料記憶區)"},
    {0x10, "資料異常(記憶區_2)"},
    {0x20, "資料異常(記憶區_3)"},
    {0x40, "資料異常(記憶區_4)"},
}};

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::optional<std::uint8_t> ParseReportByte(std::string_view hex) {
    while (!hex.empty() && hex.front() == ' ') {
        hex.remove_prefix(1);
    }
    while (!hex.empty() && hex.back() == ' ') {
        hex.remove_suffix(1);
    }
    if (hex.empty() || hex.size() > 2) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : hex) {
        const int digit = HexValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return static_cast<std::uint8_t>(value);
}

std::string RecordReportText(std::uint8_t report) {
    std::string text;
    for (const ReportBit& bit : kReportBits) {
        if ((report & bit.mask) != 0) {
            if (!text.empty()) {
                text += ",";
            }
            text += bit.text;
        }
    }
    return text.empty() ? std::string(NormalReportText) : text;
}

std::string DecodeRecordReport(std::string_view hex, bool prefix) {
    const std::optional<std::uint8_t> report = ParseReportByte(hex);
    const std::string text = report ? RecordReportText(*report) : std::string(UnknownReportText);
    return prefix ? RecordPartPrefix + text : text;
}

std::string HexByte(std::uint8_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::optional<std::string> UnitIdFromPayload(std::span<const std::uint8_t> payload) {
    if (payload.size() < 2 || !mduGlobalModule::CheckCrc16(payload)) {
        return std::nullopt;
    }
    return std::string(payload.begin(), payload.end() - 2);
}

std::string UnitTextForDisplay(std::string_view unitText) {
    std::string text;
    text.reserve(unitText.size());
    for (const char c : unitText) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text.push_back(c);
        } else {
            text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return text;
}

}  // namespace mduDeviceChecks
