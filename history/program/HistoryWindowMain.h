#pragma once

#include <string>

// The history window of gpsupdate-history, until it is closed; the exit status.
int RunHistoryWindow(int argc, char* argv[], const std::string& historyPath);
