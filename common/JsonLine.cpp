#include "JsonLine.h"

#include <cmath>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (byte >= 0xC2 && byte <= 0xDF) {
        length = 2;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        length = 3;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string JsonLine::Quote(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
            ++i;
        } else if (byte == '\n') {
            out += "\\n";
            ++i;
        } else if (byte == '\r') {
            out += "\\r";
            ++i;
        } else if (byte == '\t') {
            out += "\\t";
            ++i;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
            ++i;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++i;
        } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            // Not UTF-8: the byte as the Latin-1 character it would be.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
            ++i;
        }
    }
    out += '"';
    return out;
}

void JsonLine::Key(std::string_view key) {
    if (text_.size() > 1) {
        text_ += ',';
    }
    text_ += Quote(key);
    text_ += ':';
}

JsonLine& JsonLine::Add(std::string_view key, std::string_view value) {
    Key(key);
    text_ += Quote(value);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, std::int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::AddFixed(std::string_view key, double value, int decimals) {
    Key(key);
    if (!std::isfinite(value)) {
        text_ += "null";
        return *this;
    }
    // Fixed decimals without the process's locale.
    const double scale = std::pow(10.0, decimals);
    const auto scaled = static_cast<std::int64_t>(std::llround(std::fabs(value) * scale));
    std::string digits = std::to_string(scaled);
    const auto places = static_cast<std::size_t>(decimals > 0 ? decimals : 0);
    if (digits.size() <= places) {
        digits = std::string(places + 1 - digits.size(), '0') + digits;
    }
    if (value < 0 && scaled != 0) {
        text_ += '-';
    }
    const std::size_t whole = digits.size() - places;
    text_.append(digits, 0, whole);
    if (places > 0) {
        text_ += '.';
        text_.append(digits, whole, places);
    }
    return *this;
}

JsonLine& JsonLine::AddBool(std::string_view key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}
