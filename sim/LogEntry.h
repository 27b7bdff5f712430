#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// One line of the simulated unit's log.
struct LogEntry {
    enum class Kind {
        HostSentence,  // a complete sentence from the host
        UnitSentence,  // a sentence the unit sent
        HostFrame,     // a complete binary request from the host
        UnitFrame,     // a binary reply the unit sent
        Dropped,       // host bytes the unit could not use (wrong speed, busy, undecodable)
        Mode,          // the unit changed its line mode
        State,         // erase or memory check started or finished
        Fault,         // an injected fault fired
        Line,          // what the line did to the bytes (the pseudo-terminal server)
    };

    std::int64_t timeUs = 0;
    Kind kind = Kind::State;
    std::vector<std::uint8_t> raw;    // bytes as they were on the line
    std::vector<std::uint8_t> plain;  // binary frames: unscrambled, without the trailer
    int code = -1;                    // binary frames: the command code (-1: none)
    int status = -1;                  // replies: the status byte sent (-1: none)
    int baud = 0;                     // line speed of the bytes (0: not about bytes)
    // Host frames on a pseudo-terminal: when the first byte was read (the
    // request began); -1 when not known.
    std::int64_t readUs = -1;
    std::string note;

    static std::string KindName(Kind kind);
};

}  // namespace sim
