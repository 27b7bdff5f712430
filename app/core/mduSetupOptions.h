#pragma once

// The operator's three settings: where they live in the per-user store and
// how their stored texts are read back.

#include <cstdint>
#include <optional>
#include <string>

namespace mduSetupOptions {

inline constexpr char AppName[] = "gpsupdate";
inline constexpr char Section[] = "SetupOptions";
// Restore switch; the tool always writes "1".
inline constexpr char KeyAutoSave[] = "Auto Save Seutp Data";
inline constexpr char KeyFileName[] = "GPS Update file Name";
inline constexpr char KeyCommPort[] = "GPS Comm Port";

inline constexpr char AutoSaveDefault[] = "1";
inline constexpr std::int16_t FirstPort = 1;
inline constexpr std::int16_t LastPort = 16;

// Whether the stored restore switch asks for the file name and port to be
// restored: its numeric value is not 0. A text that is not a number (a
// damaged value) counts as the default, which restores.
bool RestoreRequested(const std::string& storedSwitch);

// The port number of a stored text when it is a whole number from 1 to 16
// (surrounding spaces allowed), else nothing: the caller keeps its default.
std::optional<std::int16_t> ParsePort(const std::string& storedPort);

// The data file box's text before a file is chosen: "C:\" on Windows; on
// other systems, where that names nothing, the user's home folder with a
// trailing "/" ("/" when the home folder is not known).
std::string DefaultFileName(bool windows, const std::string& homeFolder);

}  // namespace mduSetupOptions
