#pragma once

#include <cstdint>

// The events the update sequence handles (its venvWorkingEvent argument).
// Any other code is ignored in every state.
enum WorkPageEvent : std::int32_t {
    kEventAutoRunning = 1,    // timAutoRunning tick: run the current state now
    kEventOneSecond = 2,      // tmrOneSecTimer tick
    kEventReplyReceived = 3,  // serial driver: a reply is complete (bytes given)
    kEventSentNoReply = 4,    // serial driver: a request expecting no reply has left
    kEventReplyTimeOut = 5,   // serial driver: no complete reply in time
    kEventAutoPortScan = 6,   // cmdAutoCommPortScan
    kEventHelloDevice = 7,    // cmdHelloDevice
    kEventBrowse = 8,         // cmdBrowser
    kEventDownLoadStart = 9,  // cmdDownLoadStart
};
