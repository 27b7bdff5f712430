#include "mduDisplayText.h"

#include <cstdio>

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

std::string ClockText(std::int64_t elapsedSeconds) {
    const std::int64_t seconds = elapsedSeconds < 0 ? -elapsedSeconds : elapsedSeconds;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld : %02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

std::string PercentText(std::int32_t value, std::int32_t max) {
    // Tenths of a per cent, rounded half away from zero, in integers so that
    // the decimal point does not follow the process's locale.
    std::int64_t tenths = 0;
    if (max > 0) {
        const std::int64_t scaled = static_cast<std::int64_t>(value) * 2000 / max;
        tenths = scaled >= 0 ? (scaled + 1) / 2 : -((-scaled + 1) / 2);
    }
    const char* sign = tenths < 0 ? "-" : "";
    const std::int64_t size = tenths < 0 ? -tenths : tenths;
    char text[48];
    std::snprintf(text, sizeof text, "%s%lld.%lld%%", sign, static_cast<long long>(size / 10),
                  static_cast<long long>(size % 10));
    return text;
}

std::string ProgressSuffix(const std::string& clock, const std::string& percent) {
    return " (計時: " + clock + " , 進度: " + percent + ")";
}

std::string PortToolTip(int port, const platform::PortFacts& facts) {
    const std::string name = "COM" + std::to_string(port);
    std::string text = "傳輸埠選定\n";
    if (facts.device.empty()) {
        return text + name + ": 這台電腦沒有此編號的序列埠";
    }
    text += name + " = " + facts.device;
    if (facts.named) {
        text += " (由設定指定)";  // named in the environment, not found by the system
    }
    if (!facts.present) {
        return text + " (目前不存在)";
    }
    std::string details;
    const auto add = [&details](const char* label, const std::string& value) {
        if (!value.empty()) {
            details += (details.empty() ? "" : ", ") + std::string(label) + value;
        }
    };
    add("", facts.description);
    add("製造商: ", facts.manufacturer);
    add("序號: ", facts.serialNumber);
    return details.empty() ? text : text + "\n" + details;
}

std::string PortItemText(int port, const platform::PortFacts& facts) {
    std::string text = std::to_string(port) + ":";
    if (facts.device.empty()) {
        return text + " 無裝置";
    }
    const std::string::size_type slash = facts.device.find_last_of("/\\");
    const std::string name =
        slash == std::string::npos ? facts.device : facts.device.substr(slash + 1);
    if (name != "COM" + std::to_string(port)) {
        text += " " + name;
    }
    if (!facts.present) {
        return text + " (目前不存在)";
    }
    return facts.description.empty() ? text : text + " (" + facts.description + ")";
}

}  // namespace mduDisplayText
