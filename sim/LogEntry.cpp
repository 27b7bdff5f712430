#include "LogEntry.h"

namespace sim {

std::string LogEntry::KindName(Kind kind) {
    switch (kind) {
        case Kind::HostSentence:
            return "host-sentence";
        case Kind::UnitSentence:
            return "unit-sentence";
        case Kind::HostFrame:
            return "host-frame";
        case Kind::UnitFrame:
            return "unit-frame";
        case Kind::Dropped:
            return "dropped";
        case Kind::Mode:
            return "mode";
        case Kind::State:
            return "state";
        case Kind::Fault:
            return "fault";
        case Kind::Line:
            return "line";
    }
    return "?";
}

}  // namespace sim
