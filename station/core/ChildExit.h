#pragma once

#include <string>

// How a child process ended.
struct ChildExit {
    bool crashed = false;  // ended by a signal (or could not be started)
    int code = 0;          // exit status, or the signal's number when crashed
    std::string error;     // what the system said, if anything
};
