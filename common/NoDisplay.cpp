#include "NoDisplay.h"

std::string NoDisplayLine(std::string_view display, std::string_view waylandDisplay,
                          std::string_view qtPlatform, std::string_view instead) {
    if (!display.empty() || !waylandDisplay.empty() || !qtPlatform.empty()) {
        return {};
    }
    return "no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); " +
           std::string(instead);
}
