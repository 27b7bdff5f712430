#pragma once

#include <string>

namespace platform {

// The plain options of a serial control, which only the driver's port set-up
// writes. A control starts with the values that set-up would write, so a port
// whose number never changes (COM1 from the start) still gets its receive and
// send notifications.
struct SerialControlOptions {
    int inBufferSize = 2048;
    int outBufferSize = 2048;
    int inputMode = 1;   // binary
    int rThreshold = 4;  // receive notification at 4 waiting bytes
    int sThreshold = 1;  // send notification when the output has drained
    std::string parityReplace;
    bool dtrEnable = false;
    bool nullDiscard = false;
    bool eofEnable = false;
    int handshaking = 0;  // none
};

}  // namespace platform
