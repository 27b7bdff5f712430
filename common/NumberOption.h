#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// The numbers the programs' command lines take, read the same way in every
// program and without the process's locale, and the error texts an option
// gives when its value is not such a number.
namespace NumberOption {

enum class Radix { Decimal, DecimalOrHex };

// A whole number from `low` to `high` written in decimal digits (with
// DecimalOrHex also "0x" and hexadecimal digits); nothing for any other text.
template <typename Int>
std::optional<Int> Whole(std::string_view text, Int low, Int high, Radix radix = Radix::Decimal) {
    int base = 10;
    if (radix == Radix::DecimalOrHex && text.size() > 2 && text[0] == '0' &&
        (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    Int value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

// Seconds as a whole or decimal number ("3", "2.5", ".5", "1e2") above 0 and
// at most `atMost`; nothing for any other text.
std::optional<double> Seconds(std::string_view text, double atMost);

// An option's whole number from `low` to `high`; otherwise nothing, and
// `error` is "<name> takes <what>".
std::optional<int> WholeOption(std::string_view name, std::string_view text, int low, int high,
                               std::string_view what, std::string& error);

// An option's seconds above 0, at most a day; otherwise nothing, and `error`
// is "<name> takes seconds above 0 (at most a day)".
std::optional<double> SecondsOption(std::string_view name, std::string_view text,
                                    std::string& error);

}  // namespace NumberOption
