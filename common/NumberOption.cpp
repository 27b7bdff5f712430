#include "NumberOption.h"

#include <cmath>

namespace NumberOption {

namespace {

constexpr double kDaySeconds = 24 * 3600;

}  // namespace

std::optional<double> Seconds(std::string_view text, double atMost) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // NaN passes every comparison below, so it is turned away first.
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        std::isnan(value) || value <= 0 || value > atMost) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> WholeOption(std::string_view name, std::string_view text, int low, int high,
                               std::string_view what, std::string& error) {
    const std::optional<int> value = Whole(text, low, high);
    if (!value) {
        error = std::string(name) + " takes " + std::string(what);
    }
    return value;
}

std::optional<double> SecondsOption(std::string_view name, std::string_view text,
                                    std::string& error) {
    const std::optional<double> value = Seconds(text, kDaySeconds);
    if (!value) {
        error = std::string(name) + " takes seconds above 0 (at most a day)";
    }
    return value;
}

}  // namespace NumberOption
