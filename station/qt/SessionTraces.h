#pragma once

#include <string>

// The folder of this station session's run traces, made on first use:
// <the user's data folder>/traces/station-<yyyyMMdd-HHmmss> (on Linux
// ~/.local/share/gpsupdate-station/traces/...); "" when it cannot be made.
std::string MakeSessionTraceFolder();
