#include "TerminalText.h"

#include <cstdio>

namespace {

// The code point of the well-formed UTF-8 sequence at text[i] and its
// length; length 0 for a byte that starts none.
struct Decoded {
    char32_t point = 0;
    std::size_t length = 0;
};

Decoded Decode(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte >= 0xF0 && byte <= 0xF4   ? 4
                         : byte >= 0xE0 && byte <= 0xEF ? 3
                         : byte >= 0xC2 && byte <= 0xDF ? 2
                                                        : 0;
    if (length == 0 || i + length > text.size()) {
        return {};
    }
    char32_t point = byte & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        point = (point << 6) | (next & 0x3F);
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return {};
    }
    return {point, length};
}

// Code points a terminal acts on or that change how the line is read.
bool Hidden(char32_t point) {
    return (point >= 0x80 && point <= 0x9F) || point == 0x2028 || point == 0x2029 ||
           (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069);
}

}  // namespace

std::string TerminalText::Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char escape[12];
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += byte == '\\' ? "\\\\" : std::string(1, static_cast<char>(byte));
            ++i;
            continue;
        }
        if (byte < 0x80) {
            const char* named = byte == '\n'   ? "\\n"
                                : byte == '\r' ? "\\r"
                                : byte == '\t' ? "\\t"
                                : byte == 0x1B ? "\\e"
                                               : nullptr;
            if (named == nullptr) {
                std::snprintf(escape, sizeof escape, "\\x%02X", byte);
                named = escape;
            }
            out += named;
            ++i;
            continue;
        }
        const Decoded decoded = Decode(text, i);
        if (decoded.length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
            ++i;
        } else if (Hidden(decoded.point)) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(decoded.point));
            out += escape;
            i += decoded.length;
        } else {
            out.append(text.substr(i, decoded.length));
            i += decoded.length;
        }
    }
    return out;
}
