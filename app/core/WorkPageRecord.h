#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The update sequence's step record: one per window, refreshed in part on
// every call of the sequence and shared with the command layer.
struct WorkPageRecord {
    // Port list index being tried by the scan (0 to 15 = COM1 to COM16);
    // above 15 the scan is exhausted.
    std::int16_t PortIndex = 0;
    // Seconds left for the final memory check.
    std::int16_t CheckCountDown = 0;
    // The final memory check has seen a normal record report.
    bool CheckPassed = false;
    // Copy of the window's WorkState, refreshed on every call.
    std::int32_t State = 0;
    // The event being handled, refreshed on every call.
    std::int32_t Event = 0;
    // Data for the command stage; emptied on every call.
    std::vector<std::uint8_t> SendData;
    // The bytes that came with the event, else empty; refreshed on every call.
    std::vector<std::uint8_t> Received;
    // The unscrambled reply of the current command.
    std::vector<std::uint8_t> Reply;
    // Command of the current command stage.
    std::int32_t CommandCode = 0;
    // Status lamp of the current stage.
    std::int32_t LampIndex = 0;
    // State to enter when the stage succeeds; in states 0 to 2 the run mode:
    // 0 = the run ends after the connection (scan, connection test), 3 = update.
    std::int32_t NextState = 0;
    // State to enter on failure; set to 0 (idle) on every call.
    std::int32_t FailState = 0;
    std::string ProgressText;  // stage text shown when its request is sent
    std::string DoneText;      // stage text shown when it succeeds
    std::string FailText;      // long failure text shown in red
    // Start of the timed phase (transfer clock, final check), in the clock's
    // whole seconds.
    std::int64_t StartTime = 0;
    // Status bits the reply of the stage must carry.
    std::int32_t RequiredStatus = 0;
    // Garbled-reply retries on the current port.
    std::int16_t RetryCount = 0;
};
