#pragma once

#include <cstdint>
#include <vector>

// How a binary reply was judged against the request it is meant to answer.
enum class ReplyVerdict {
    Good,         // intact, echoes the request's code, accepted, required bits set
    NoFrame,      // nothing arrived
    BadCrc,       // the CRC over the whole frame is not zero
    Short,        // intact but shorter than head, code, status and CRC
    ForeignEcho,  // intact, but it answers another command
    Refused,      // the status byte's high nibble is set
    MissingBits,  // accepted, but a status bit the stage requires is not set
    NoRequest,    // there is no request to judge it against
};

// The judged reply: the verdict, the status byte (when the reply had one),
// the unscrambled frame (CRC bytes still at its end) and the payload between
// the status byte and the CRC (only for a good reply).
struct CommandReply {
    ReplyVerdict verdict = ReplyVerdict::NoFrame;
    std::uint8_t status = 0;
    std::vector<std::uint8_t> plain;
    std::vector<std::uint8_t> payload;

    bool Good() const { return verdict == ReplyVerdict::Good; }
};

const char* VerdictName(ReplyVerdict verdict);
