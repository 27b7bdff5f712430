#pragma once

#include <string>
#include <string_view>

// The one line a program with a window prints, instead of Qt's advice to
// reinstall, when there is no display to open the window on: neither
// DISPLAY nor WAYLAND_DISPLAY is set and QT_QPA_PLATFORM names no platform.
// `instead` says what to use without a desktop. Empty when there is a
// display.
std::string NoDisplayLine(std::string_view display, std::string_view waylandDisplay,
                          std::string_view qtPlatform, std::string_view instead);

// A program's own exit status for it: the same in every program.
inline constexpr int kExitNoDisplay = 3;
