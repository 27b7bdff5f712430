#include "UnitSentence.h"

namespace sim {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(std::uint8_t c) {
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

std::string UnitSentence::HexByte(std::uint8_t value) {
    return {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
}

std::uint8_t UnitSentence::Checksum(std::string_view body) {
    std::uint8_t sum = 0;
    for (const char c : body) {
        sum ^= static_cast<std::uint8_t>(c);
    }
    return sum;
}

std::vector<std::uint8_t> UnitSentence::Frame(std::string_view body, std::uint8_t check) {
    std::vector<std::uint8_t> out;
    out.reserve(body.size() + 6);
    out.push_back('$');
    out.insert(out.end(), body.begin(), body.end());
    out.push_back('*');
    out.push_back(static_cast<std::uint8_t>(kHexDigits[check >> 4]));
    out.push_back(static_cast<std::uint8_t>(kHexDigits[check & 0x0F]));
    out.push_back('\r');
    out.push_back('\n');
    return out;
}

std::vector<std::uint8_t> UnitSentence::Build(std::string_view body) {
    return Frame(body, Checksum(body));
}

std::vector<std::uint8_t> UnitSentence::BuildGarbled(std::string_view body) {
    return Frame(body, static_cast<std::uint8_t>(Checksum(body) ^ 0x21));
}

std::optional<std::vector<std::string>> UnitSentence::Parse(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes[0] != '$') {
        return std::nullopt;
    }
    std::size_t star = 1;
    while (star < bytes.size() && bytes[star] != '*') {
        ++star;
    }
    if (star >= bytes.size() || bytes.size() - star < 3) {
        return std::nullopt;
    }
    const int high = HexValue(bytes[star + 1]);
    const int low = HexValue(bytes[star + 2]);
    if (high < 0 || low < 0) {
        return std::nullopt;
    }
    const std::string body(bytes.begin() + 1, bytes.begin() + static_cast<std::ptrdiff_t>(star));
    if (Checksum(body) != static_cast<std::uint8_t>(high * 16 + low)) {
        return std::nullopt;
    }
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = body.find(',', start);
        if (comma == std::string::npos) {
            fields.push_back(body.substr(start));
            break;
        }
        fields.push_back(body.substr(start, comma - start));
        start = comma + 1;
    }
    return fields;
}

}  // namespace sim
