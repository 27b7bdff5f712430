#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FaultSpec.h"

namespace sim {

// Everything about the simulated unit that a test or the gpsunit-sim
// command line can choose.
struct UnitConfig {
    std::string serial = "GU48A0012345";
    std::string programVersion = "GPSP01.2000";  // one the sample data file accepts
    std::string dataVersion = "0512";
    std::string soundVersion = "SV1.03";
    // Record report in the hello reply and the STS payload before the
    // closing command, and after the memory check that follows it.
    std::uint8_t recordReport = 0x00;
    std::uint8_t finalReport = 0x00;
    // Field 2 of the hello reply after the memory check exactly as sent,
    // instead of finalReport in hexadecimal (empty: finalReport), for a
    // unit whose report cannot be read.
    std::string finalReportField;
    // A unit whose QID payload carries a wrong CRC of its serial number.
    bool identityCrcWrong = false;

    std::int64_t eraseMs = 3000;  // FErs: from the request to the reply
    std::int64_t checkMs = 3000;  // after RST: hellos go unanswered this long
    // From the end of a request to the start of its reply.
    std::int64_t textReplyUs = 5000;
    std::int64_t binaryReplyUs = 500;
    // Silence after which a partial binary request is thrown away (and which
    // ends the skipping of an undecodable one).
    std::int64_t requestGapUs = 20000;

    std::size_t flashSize = 4u << 20;
    std::size_t parameterSize = 64u << 10;
    // What the memories hold before the first erase (erased flash is 0xFF).
    std::uint8_t initialFill = 0x00;

    // Seeds the choice of reply head codes.
    std::uint64_t seed = 1;
    // Keep log entries in memory (a long-running program may only stream them).
    bool keepLog = true;

    std::vector<FaultSpec> faults;

    // A unit plugged in and pulled out behind a fixed line. absentMs: no
    // unit answers for this long at the start (and between two units).
    // stayMs: after its memory check the unit stays this long, then leaves
    // (-1: it stays). nextSerials: the units that arrive one after the other
    // once the one before has left, each with fresh memories.
    std::int64_t absentMs = 0;
    std::int64_t absentJitterMs = 0;  // each gap between units: up to this much longer
    std::int64_t stayMs = -1;
    std::vector<std::string> nextSerials;
};

}  // namespace sim
