#include "mduGlobalModule.h"

#include <algorithm>
#include <limits>

#include "ProgramMessageBoxes.h"

namespace mduGlobalModule {
namespace {

struct Tables {
    std::array<std::uint8_t, 256> hi{};
    std::array<std::uint8_t, 256> lo{};
    bool ready = false;
};

Tables g_tables;

// The sixteen bytes handed out by GetFixedTable (data of the SSup command).
constexpr std::array<std::uint8_t, 16> kFixedTable = {
    0x47, 0x50, 0x53, 0x55, 0x50, 0x44, 0x41, 0x54, 0x45, 0x2D, 0x53, 0x53, 0x55, 0x50, 0x30, 0x31};

// The part of [start, start + length) that lies inside an array of `size`
// bytes; length below 1 means to the end.
ByteSpan ClampRange(ByteSpan bytes, std::int32_t start, std::int32_t length) {
    const std::int64_t size = static_cast<std::int64_t>(bytes.size());
    if (start < 0 || start >= size) {
        return {};
    }
    std::int64_t count = length < 1 ? size - start : length;
    count = std::min<std::int64_t>(count, size - start);
    return bytes.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
}

// The position after index. INT32_MAX has none: the index stays there, which
// is past the end of every array these procedures are given, so reads and
// writes from it on stay outside the array.
std::int32_t NextIndex(std::int32_t index) {
    return index < std::numeric_limits<std::int32_t>::max() ? index + 1 : index;
}

bool HexDigit(std::uint8_t c, int& value) {
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else {
        return false;
    }
    return true;
}

std::string Pad(std::string_view text, std::int16_t width, char pad, bool left) {
    std::string result(text);
    if (static_cast<std::int32_t>(result.size()) >= width) {
        return result;
    }
    const std::size_t missing = static_cast<std::size_t>(width) - result.size();
    if (left) {
        result.insert(0, missing, pad);
    } else {
        result.append(missing, pad);
    }
    return result;
}

// The value of the last run of digits, or nothing when it does not fit.
std::optional<std::int32_t> LastDigitRun(std::string_view text) {
    std::int64_t value = 0;
    bool overflow = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (!overflow) {
                value = value * 10 + (c - '0');
                overflow = value > std::numeric_limits<std::int32_t>::max();
            }
        } else {
            value = 0;
            overflow = false;
        }
    }
    if (overflow) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

void InitGlobalTables() {
    for (unsigned n = 0; n < 256; ++n) {
        std::uint16_t crc = static_cast<std::uint16_t>(n);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001U)
                                  : static_cast<std::uint16_t>(crc >> 1);
        }
        g_tables.hi[n] = static_cast<std::uint8_t>(crc & 0xFFU);
        g_tables.lo[n] = static_cast<std::uint8_t>(crc >> 8);
    }
    g_tables.ready = true;
}

void EraseGlobalTables() {
    g_tables = Tables{};
}

bool GlobalTablesReady() {
    return g_tables.ready;
}

const std::array<std::uint8_t, 256>& auchCRCHi() {
    return g_tables.hi;
}
const std::array<std::uint8_t, 256>& auchCRCLo() {
    return g_tables.lo;
}

bool SumOperation(ByteSpan puchMsg, std::int32_t vLen, std::uint8_t& first, std::uint8_t& second) {
    first = 0xFF;
    second = 0xFF;
    if (!g_tables.ready) {
        platform::ProgramMessageBoxes::Get().Show(
            "程式運作異常<SumOperation> : \r\nCRC-16 lookup tables are not initialised",
            platform::MsgButtons::Ok, platform::MsgIcon::Critical);
        return false;
    }
    const std::size_t count =
        vLen <= 0 ? 0 : std::min(puchMsg.size(), static_cast<std::size_t>(vLen));
    std::uint8_t hi = 0xFF;
    std::uint8_t lo = 0xFF;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t index = hi ^ puchMsg[i];
        hi = lo ^ g_tables.hi[index];
        lo = g_tables.lo[index];
    }
    first = hi;
    second = lo;
    return hi == 0 && lo == 0;
}

std::uint16_t GetCrc16(ByteSpan bytes, std::int32_t start, std::int32_t length) {
    const ByteSpan range = ClampRange(bytes, start, length);
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    SumOperation(range, static_cast<std::int32_t>(range.size()), first, second);
    return static_cast<std::uint16_t>((first << 8) | second);
}

bool CheckCrc16(ByteSpan bytes, std::int32_t start, std::int32_t length) {
    const ByteSpan range = ClampRange(bytes, start, length);
    if (range.empty()) {
        return false;
    }
    // A range that asks for more than the array holds is not intact.
    if (length >= 1 && static_cast<std::int64_t>(range.size()) != length) {
        return false;
    }
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    return SumOperation(range, static_cast<std::int32_t>(range.size()), first, second);
}

Bytes BuildSentence(std::string_view text) {
    std::string_view part = text.substr(0, text.find('*'));
    const std::size_t begin = part.find_first_not_of(' ');
    part = begin == std::string_view::npos ? std::string_view{} : part.substr(begin);
    const std::size_t end = part.find_last_not_of(' ');
    part = end == std::string_view::npos ? std::string_view{} : part.substr(0, end + 1);
    const std::size_t dollar = part.rfind('$');
    if (dollar != std::string_view::npos) {
        part = part.substr(dollar + 1);
    }

    Bytes sentence;
    sentence.reserve(part.size() + 6);
    sentence.push_back('$');
    std::uint8_t check = 0;
    for (char c : part) {
        const auto b = static_cast<std::uint8_t>(c);
        sentence.push_back(b);
        check ^= b;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    sentence.push_back('*');
    sentence.push_back(static_cast<std::uint8_t>(kHex[check >> 4]));
    sentence.push_back(static_cast<std::uint8_t>(kHex[check & 0x0F]));
    sentence.push_back('\r');
    sentence.push_back('\n');
    return sentence;
}

std::vector<std::string> ParseSentence(ByteSpan bytes) {
    bool fault = false;
    return ParseSentence(bytes, fault);
}

std::vector<std::string> ParseSentence(ByteSpan bytes, bool& fault) {
    fault = true;
    if (bytes.size() < 5 || bytes[0] != '$') {
        return {};
    }
    std::string body;
    std::uint8_t check = 0;
    for (std::size_t i = 1; i < bytes.size(); ++i) {
        if (bytes[i] != '*') {
            body.push_back(static_cast<char>(bytes[i]));
            check ^= bytes[i];
            continue;
        }
        int high = 0;
        int low = 0;
        if (i + 2 >= bytes.size()) {
            return {};  // fewer than two check digits
        }
        if (!HexDigit(bytes[i + 1], high) || !HexDigit(bytes[i + 2], low)) {
            return {};
        }
        if (((high << 4) | low) != check) {
            return {};
        }
        fault = false;
        std::vector<std::string> fields;
        if (body.empty()) {
            return fields;  // a well-formed sentence without a body has no fields
        }
        std::size_t from = 0;
        while (true) {
            const std::size_t comma = body.find(',', from);
            fields.push_back(body.substr(from, comma - from));
            if (comma == std::string::npos) {
                break;
            }
            from = comma + 1;
        }
        return fields;
    }
    return {};
}

std::int32_t ArrayCount(ByteSpan bytes) {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(bytes.size(), std::numeric_limits<std::int32_t>::max()));
}

bool CopyArray(ByteSpan source, std::int32_t sourceStart, std::span<std::uint8_t> destination,
               std::int32_t destStart, std::int32_t count) {
    if (count <= 0) {
        return count == 0;
    }
    if (sourceStart < 0 || destStart < 0 ||
        static_cast<std::int64_t>(sourceStart) + count > static_cast<std::int64_t>(source.size()) ||
        static_cast<std::int64_t>(destStart) + count >
            static_cast<std::int64_t>(destination.size())) {
        return false;
    }
    std::copy_n(source.begin() + sourceStart, count, destination.begin() + destStart);
    return true;
}

std::int32_t PutByte(std::span<std::uint8_t> bytes, int value, std::int32_t index) {
    if (index >= 0 && static_cast<std::size_t>(index) < bytes.size()) {
        bytes[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
    }
    return NextIndex(index);
}

std::int32_t PutBytes(std::span<std::uint8_t> destination, ByteSpan source, std::int32_t index) {
    for (std::uint8_t b : source) {
        index = PutByte(destination, b, index);
    }
    return index;
}

std::uint8_t GetByte(ByteSpan bytes, std::int32_t& index) {
    std::uint8_t value = 0;
    if (index >= 0 && static_cast<std::size_t>(index) < bytes.size()) {
        value = bytes[static_cast<std::size_t>(index)];
    }
    index = NextIndex(index);
    return value;
}

Bytes GetBytes(ByteSpan bytes, std::int16_t count, std::int32_t& index) {
    if (count < 1 || index < 0 ||
        static_cast<std::int64_t>(index) + count > static_cast<std::int64_t>(bytes.size())) {
        return {};
    }
    Bytes result(bytes.begin() + index, bytes.begin() + index + count);
    index += count;
    return result;
}

Bytes TextToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string BytesToText(ByteSpan bytes, std::int32_t start) {
    if (start < 0 || static_cast<std::size_t>(start) >= bytes.size()) {
        return {};
    }
    return std::string(bytes.begin() + start, bytes.end());
}

std::string PadLeftZero(std::string_view text, std::int16_t width) {
    return Pad(text, width, '0', true);
}
std::string PadRightZero(std::string_view text, std::int16_t width) {
    return Pad(text, width, '0', false);
}
std::string PadLeftSpace(std::string_view text, std::int16_t width) {
    return Pad(text, width, ' ', true);
}
std::string PadRightSpace(std::string_view text, std::int16_t width) {
    return Pad(text, width, ' ', false);
}

std::string FormatFixedWidth(std::string_view text, std::int16_t width, bool padWithSpaces,
                             bool padOnLeft) {
    std::string padded = Pad(text, width, padWithSpaces ? ' ' : '0', padOnLeft);
    if (width <= 0) {
        return {};
    }
    const auto keep = static_cast<std::size_t>(width);
    return padded.size() > keep ? padded.substr(padded.size() - keep) : padded;
}

bool IsBitSet(std::uint8_t value, std::uint8_t mask) {
    return (value & mask) == mask;
}

std::uint8_t SetBits(std::uint8_t value, bool set, std::uint8_t mask) {
    return set ? static_cast<std::uint8_t>(value | mask) : static_cast<std::uint8_t>(value & ~mask);
}

std::uint8_t SwapNibbles(std::uint8_t value) {
    return static_cast<std::uint8_t>(((value & 0x0F) << 4) | (value >> 4));
}

std::uint8_t SumComplement(ByteSpan bytes, std::int16_t length) {
    // Only the low byte of the running value counts, so it is kept modulo 256
    // (unsigned wrap-around): exact for any length.
    std::size_t count = bytes.size();
    if (length >= 1) {
        count = std::min(count, static_cast<std::size_t>(length));
    }
    std::uint8_t running = 1;
    for (std::size_t i = 0; i < count; ++i) {
        running = static_cast<std::uint8_t>(running - bytes[i]);
    }
    return running;
}

bool IsSumValid(ByteSpan bytes, std::int16_t length) {
    return SumComplement(bytes, length) == 0;
}

std::uint8_t XorCrcLoByte(std::uint8_t index, std::uint8_t value) {
    return static_cast<std::uint8_t>(value ^ g_tables.lo[index]);
}

std::optional<int> CompareVersionText(std::string_view a, std::string_view b) {
    const std::optional<std::int32_t> na = LastDigitRun(a);
    const std::optional<std::int32_t> nb = LastDigitRun(b);
    if (!na || !nb) {
        return std::nullopt;
    }
    return *na > *nb ? 1 : (*na < *nb ? -1 : 0);
}

Bytes GetFixedTable() {
    return Bytes(kFixedTable.begin(), kFixedTable.end());
}

}  // namespace mduGlobalModule
