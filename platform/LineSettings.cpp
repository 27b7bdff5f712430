#include "LineSettings.h"

#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {

std::optional<LineSettings> LineSettings::Parse(const std::string& text) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == ',') {
            fields.emplace_back();
        } else if (c != ' ') {
            fields.back() += c;
        }
    }
    if (fields.size() != 4) {
        return std::nullopt;
    }
    auto number = [](const std::string& field, int& value) {
        const char* end = field.data() + field.size();
        auto [ptr, ec] = std::from_chars(field.data(), end, value);
        return !field.empty() && ec == std::errc() && ptr == end;
    };
    LineSettings result;
    if (!number(fields[0], result.baud) || result.baud < 50 || result.baud > 4000000) {
        return std::nullopt;
    }
    if (fields[1].size() != 1) {
        return std::nullopt;
    }
    const char parity =
        fields[1][0] >= 'a' ? static_cast<char>(fields[1][0] - 'a' + 'A') : fields[1][0];
    if (std::string_view("NEOMS").find(parity) == std::string_view::npos) {
        return std::nullopt;
    }
    result.parity = parity;
    if (!number(fields[2], result.dataBits) || result.dataBits < 5 || result.dataBits > 8) {
        return std::nullopt;
    }
    if (fields[3] == "1") {
        result.stopBitsTenths = 10;
    } else if (fields[3] == "1.5") {
        result.stopBitsTenths = 15;
    } else if (fields[3] == "2") {
        result.stopBitsTenths = 20;
    } else {
        return std::nullopt;
    }
    return result;
}

}  // namespace platform
