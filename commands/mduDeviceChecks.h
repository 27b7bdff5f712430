#pragma once

// The device information checks that need no display: the record report
// byte and its texts, the unit identity in a QID payload, and turning the
// unit's byte texts into text for the operator.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mduDeviceChecks {

// Put in front of the report text when a connection result shows it.
inline constexpr char RecordPartPrefix[] = " : GPS記錄資訊 = ";
// The report when none of the error bits is set.
inline constexpr char NormalReportText[] = "正常";
// What is shown when the unit gave a report that cannot be read.
inline constexpr char UnknownReportText[] = "不明";

// The report byte of a hexadecimal text of one or two digits (either case,
// surrounding spaces allowed); nothing for any other text.
std::optional<std::uint8_t> ParseReportByte(std::string_view hex);

// The texts of the error bits (0x04 to 0x40) joined by ",", or "正常".
std::string RecordReportText(std::uint8_t report);

// The report text of a hexadecimal report field; with the prefix flag
// RecordPartPrefix comes first. A field that is not one or two hexadecimal
// digits gives "不明" (unknown), never "正常".
std::string DecodeRecordReport(std::string_view hex, bool prefix);

// Two upper-case hexadecimal digits of a byte.
std::string HexByte(std::uint8_t value);

// The serial number in a QID payload: the payload without its last two
// bytes, when those are the CRC-16 of the rest. Nothing when the payload is
// too short or its CRC does not hold.
std::optional<std::string> UnitIdFromPayload(std::span<const std::uint8_t> payload);

// A text the unit sent (one byte per character in its 8-bit code page) as
// UTF-8 for the displays. Bytes below 0x80 stay as they are; the others are
// taken as Latin-1, so that no byte from the unit makes invalid UTF-8.
std::string UnitTextForDisplay(std::string_view unitText);

}  // namespace mduDeviceChecks
