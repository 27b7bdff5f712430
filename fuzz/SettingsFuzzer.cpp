// Fuzz target: stored setting texts as the window reads them at start: the
// restore switch (RestoreRequested) and the COM port (ParsePort).
//
// Input: the text, used as it is and with blanks around it. Checks: the port
// is only ever 1 to 16, and it is exactly the value of a text that is a whole
// number in that range; a switch that is a plain whole number restores
// exactly when it is not 0, and a text that cannot be a zero (it holds no
// digit 0) always restores; surrounding blanks never change either reading.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "mduSetupOptions.h"

namespace {

constexpr const char* kBlanks = " \t\r\n";

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void CheckPort(const std::string& text) {
    const std::optional<std::int16_t> port = mduSetupOptions::ParsePort(text);
    // A whole number from 1 to 16, however many leading zeros it has, and
    // nothing else (a number too large to read is not one of them).
    const std::string core = fuzz::Trimmed(text, kBlanks);
    int value = 0;
    const bool number =
        AllDigits(core) &&
        std::from_chars(core.data(), core.data() + core.size(), value).ec == std::errc{};
    const bool inRange = number && value >= 1 && value <= 16;
    FUZZ_REQUIRE(port == (inRange ? std::optional<std::int16_t>(value) : std::nullopt));
}

void CheckSwitch(const std::string& text) {
    const bool restore = mduSetupOptions::RestoreRequested(text);
    const std::string core = fuzz::Trimmed(text, kBlanks);
    const bool signedInteger =
        !core.empty() && AllDigits(core[0] == '+' || core[0] == '-' ? core.substr(1) : core);
    if (signedInteger) {
        FUZZ_REQUIRE(restore == (core.find_first_not_of("+-0") != std::string::npos));
    }
    if (core.find('0') == std::string::npos) {
        FUZZ_REQUIRE(restore);  // only a text with a 0 in it can read as zero
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckPort(text);
    CheckSwitch(text);
    for (const char* blank : {" ", "\t", "  \r\n"}) {
        const std::string padded = blank + text + blank;
        FUZZ_REQUIRE(mduSetupOptions::ParsePort(padded) == mduSetupOptions::ParsePort(text));
        FUZZ_REQUIRE(mduSetupOptions::RestoreRequested(padded) ==
                     mduSetupOptions::RestoreRequested(text));
    }
    return 0;
}
