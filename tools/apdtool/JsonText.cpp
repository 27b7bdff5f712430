#include "JsonText.h"

namespace {

void Escape(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            out += "\\u00";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
    }
}

std::string Quote(std::string_view text, bool passHighBytes) {
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain =
            c >= 0x20 && c != '"' && c != '\\' && c != 0x7F && (c < 0x80 || passHighBytes);
        if (plain) {
            out.push_back(ch);
        } else {
            Escape(out, c);
        }
    }
    out.push_back('"');
    return out;
}

}  // namespace

std::string JsonText::Utf8(std::string_view text) {
    return Quote(text, true);
}

std::string JsonText::Bytes(std::string_view text) {
    return Quote(text, false);
}
