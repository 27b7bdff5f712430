#pragma once

#include <string>

#include "ServerUrl.h"

// The history window of gpsupdate-history, until it is closed; the exit
// status. `server`: the history server it may read from (host empty:
// none), read from at the start when `onServer`.
int RunHistoryWindow(int argc, char* argv[], const std::string& historyPath,
                     const ServerUrl& server, bool onServer);
