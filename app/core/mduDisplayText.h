#pragma once

// The rules of the window's displays, apart from any widget: how the message
// area and the information list compose their new text, and the colours of
// the message kinds and the status lamps.

#include <cstdint>
#include <optional>
#include <string>

#include "PortFacts.h"

namespace mduDisplayText {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// Message colours: success blue, error red; information takes the system's
// window-text colour, which only the window knows.
inline constexpr Rgb SuccessColour{0, 0, 255};
inline constexpr Rgb ErrorColour{255, 0, 0};

inline constexpr int LampCount = 20;
inline constexpr int LampIdle = 0;
inline constexpr int LampBusy = 1;
inline constexpr int LampDone = 2;
inline constexpr int LampFailed = 3;

// The fill colour of a lamp colour code: 0 light grey, 1 yellow, 2 green,
// 3 red. Any other code (above 3, or negative) has none: the lamp stays.
std::optional<Rgb> LampColour(std::int32_t colourCode);

// The new text of the message area. Without keeping: the text. Keeping the
// first part: the current text up to the first occurrence of the separator
// (all of it when the separator does not occur), then the separator, then
// the text.
std::string ComposeMessageText(const std::string& current, const std::string& text,
                               bool keepFirstPart, const std::string& separator);

// The new text of an information line: the line's current text up to its
// first ":" (all of it when there is none), then ": ", then the value.
std::string ComposeInfoLine(const std::string& current, const std::string& value);

// The transfer clock of an elapsed time: whole minutes and the seconds
// left over, each at least two digits, joined by " : " ("01 : 05" after
// 65 s, "100 : 00" after 100 minutes). A negative time counts as its size.
std::string ClockText(std::int64_t elapsedSeconds);
// The clock's text before any transfer.
inline constexpr char InitialClockText[] = "00:00";

// The transfer percentage, one decimal: value / max as "25.0%". A maximum of
// 0 or less shows "0.0%".
std::string PercentText(std::int32_t value, std::int32_t max);

// The port list's tool tip: its own text, then the device behind the selected
// number and what the system knows of it (description, maker, serial number
// of a USB adapter), so that an operator can find the number of an adapter.
std::string PortToolTip(int port, const platform::PortFacts& facts);

// The port list's item for a number: the number, then the device behind it
// and the system's description of it ("2: ttyUSB0 (FT232R USB UART)"), or a
// mark that no device has the number ("1: 無裝置") or that the named device
// is not there now ("3: gpsunit (目前不存在)"). A device named like the
// number itself (Windows' "COM2") is not repeated.
std::string PortItemText(int port, const platform::PortFacts& facts);

// What the message area's first ":" is followed by while blocks are sent:
// " (計時: " clock " , 進度: " percentage ")".
std::string ProgressSuffix(const std::string& clock, const std::string& percent);

}  // namespace mduDisplayText
