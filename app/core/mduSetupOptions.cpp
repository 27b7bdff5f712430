#include "mduSetupOptions.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace mduSetupOptions {
namespace {

std::string Trimmed(const std::string& text) {
    const char* spaces = " \t\r\n";
    const std::string::size_type first = text.find_first_not_of(spaces);
    if (first == std::string::npos) {
        return {};
    }
    const std::string::size_type last = text.find_last_not_of(spaces);
    return text.substr(first, last - first + 1);
}

}  // namespace

bool RestoreRequested(const std::string& storedSwitch) {
    const std::string text = Trimmed(storedSwitch);
    if (text.empty()) {
        return true;
    }
    // Locale-independent: the window runs under the operator's locale.
    double value = 0.0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    const auto [stop, error] = std::from_chars(begin + (text[0] == '+' ? 1 : 0), end, value);
    if (error != std::errc() || stop != end || value != value) {
        return true;
    }
    return value != 0.0;
}

std::optional<std::int16_t> ParsePort(const std::string& storedPort) {
    const std::string text = Trimmed(storedPort);
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        // Leading zeros of any number; a value past 16 is out once and for all.
        value = std::min(value * 10 + (c - '0'), 100);
    }
    if (value < FirstPort || value > LastPort) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

std::string DefaultFileName(bool windows, const std::string& homeFolder) {
    if (windows) {
        return "C:\\";
    }
    if (homeFolder.empty()) {
        return "/";
    }
    return homeFolder.back() == '/' ? homeFolder : homeFolder + "/";
}

}  // namespace mduSetupOptions
