#include "JsonFields.h"

#include <charconv>

namespace {

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\r' || text_[at_] == '\n')) {
            ++at_;
        }
    }
    bool Take(char c) {
        Blanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool AtEnd() {
        Blanks();
        return at_ == text_.size();
    }
    char Peek() {
        Blanks();
        return at_ < text_.size() ? text_[at_] : '\0';
    }

    std::optional<std::string> String() {
        if (!Take('"')) {
            return std::nullopt;
        }
        std::string out;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                return std::nullopt;
            }
            const char e = text_[at_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    const std::optional<unsigned> unit = Hex4();
                    if (!unit) {
                        return std::nullopt;
                    }
                    unsigned code = *unit;
                    if (code >= 0xD800 && code < 0xDC00 && at_ + 1 < text_.size() &&
                        text_[at_] == '\\' && text_[at_ + 1] == 'u') {
                        at_ += 2;
                        const std::optional<unsigned> low = Hex4();
                        if (!low || *low < 0xDC00 || *low >= 0xE000) {
                            return std::nullopt;
                        }
                        code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                    }
                    Utf8(code, out);
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // A number, true, false or null: its text.
    std::optional<std::string> Word() {
        Blanks();
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}' && text_[at_] != ' ' &&
               text_[at_] != '\n' && text_[at_] != '\r' && text_[at_] != '\t') {
            const char c = text_[at_];
            if (c == '"' || c == '{' || c == '[' || c == ']') {
                return std::nullopt;
            }
            ++at_;
        }
        if (at_ == start) {
            return std::nullopt;
        }
        return std::string(text_.substr(start, at_ - start));
    }

  private:
    std::optional<unsigned> Hex4() {
        if (at_ + 4 > text_.size()) {
            return std::nullopt;
        }
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
        }
        return value;
    }
    static void Utf8(unsigned code, std::string& out) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<JsonFields> JsonFields::Parse(std::string_view text) {
    Reader reader(text);
    JsonFields fields;
    if (!reader.Take('{')) {
        return std::nullopt;
    }
    if (reader.Take('}')) {
        return reader.AtEnd() ? std::optional<JsonFields>(fields) : std::nullopt;
    }
    for (;;) {
        std::optional<std::string> key = reader.String();
        if (!key || !reader.Take(':')) {
            return std::nullopt;
        }
        std::optional<std::string> value = reader.Peek() == '"' ? reader.String() : reader.Word();
        if (!value) {
            return std::nullopt;
        }
        fields.fields_[*key] = std::move(*value);
        if (reader.Take(',')) {
            continue;
        }
        if (reader.Take('}') && reader.AtEnd()) {
            return fields;
        }
        return std::nullopt;
    }
}

std::string JsonFields::Text(const std::string& key) const {
    const auto it = fields_.find(key);
    return it == fields_.end() ? std::string() : it->second;
}

long long JsonFields::Number(const std::string& key, long long otherwise) const {
    const auto it = fields_.find(key);
    if (it == fields_.end() || it->second.empty()) {
        return otherwise;
    }
    const std::string& text = it->second;
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? value : otherwise;
}

double JsonFields::Real(const std::string& key, double otherwise) const {
    const auto it = fields_.find(key);
    if (it == fields_.end() || it->second.empty()) {
        return otherwise;
    }
    // Not strtod: the window's process may run in a locale with a decimal comma.
    const std::string& text = it->second;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? value : otherwise;
}
