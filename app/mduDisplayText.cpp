#include "mduDisplayText.h"

namespace mduDisplayText {

std::optional<Rgb> LampColour(std::int32_t colourCode) {
    switch (colourCode) {
        case LampIdle:
            return Rgb{192, 192, 192};
        case LampBusy:
            return Rgb{255, 255, 0};
        case LampDone:
            return Rgb{0, 255, 0};
        case LampFailed:
            return Rgb{255, 0, 0};
        default:
            return std::nullopt;
    }
}

std::string ComposeMessageText(const std::string& current, const std::string& text,
                               bool keepFirstPart, const std::string& separator) {
    if (!keepFirstPart) {
        return text;
    }
    const std::string::size_type at = current.find(separator);
    const std::string first = at == std::string::npos ? current : current.substr(0, at);
    return first + separator + text;
}

std::string ComposeInfoLine(const std::string& current, const std::string& value) {
    const std::string::size_type at = current.find(':');
    const std::string label = at == std::string::npos ? current : current.substr(0, at);
    return label + ": " + value;
}

}  // namespace mduDisplayText
