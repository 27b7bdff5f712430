#pragma once

#include <cstdint>
#include <string>

// One run of the window, of gpsupdate-auto or of a station tile, as the
// history keeps it. Times are UTC milliseconds since 1970; texts are UTF-8.
struct HistoryRun {
    std::string id;    // unique over every host and program
    std::string kind;  // scan, test, update
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;  // 0 while the run is under way
    // running, success, failure, cancelled, skipped (the unit's data was
    // not older than the file and the question was declined: nothing was
    // changed on the unit), timeout, interrupted
    std::string result = "running";
    std::string failureText;   // the red text the operator saw
    std::string failureStage;  // the state the failure came from
    int port = 0;              // COM number, 0 when none was selected
    std::string device;        // the device behind it
    std::string host;
    std::int64_t pid = 0;
    // The writer's process by when it started (ProcessFacts::StartMark):
    // a process that has its id now but started otherwise is another one.
    std::string processStart;
    std::string program;
    std::string programVersion;
    // The unit, as read before the update.
    std::string unitSerial;
    std::string unitProgramVersion;
    std::string unitDataVersion;
    std::string unitRecordReport;
    // The unit's data version after a successful update.
    std::string unitDataVersionAfter;
    // The data file.
    std::string fileName;
    std::int64_t fileSize = -1;  // -1: not known
    std::string fileSha256;
    std::string fileDataVersion;
    std::int64_t blocksWritten = 0;
    std::int64_t retries = 0;
    std::string tracePath;
    // Whether the erase request went out (from then on the unit's old data
    // is gone): 1 yes, 0 no, -1 not known (a row of an older release,
    // taken as not begun).
    int eraseBegun = -1;

    double Seconds() const { return endMs > startMs ? (endMs - startMs) / 1000.0 : 0.0; }
    bool operator==(const HistoryRun&) const = default;
};
