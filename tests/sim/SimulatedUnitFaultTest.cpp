// Every fault the simulated unit can be told to commit shows on the line as
// configured, and the selection keys (code, sentence, block, addr, after,
// times) pick exactly the requests they name.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "SessionRig.h"
#include "UnitCommand.h"
#include "mduGlobalModule.h"

namespace {

using sim::LogEntry;
using sim::SimulatedUnit;
using Bytes = std::vector<std::uint8_t>;
constexpr std::int64_t kMs = SessionRig::kMs;

// What the host makes of the unit's answer to the last request: for a
// sentence, its first field as the tool reads it and the mode after it; for
// a frame (code >= 0), whether it echoes the request, its refusal bits or a
// missing required bit, and whether it carries data.
std::string Outcome(const SessionRig& rig, int code) {
    const Bytes& raw = rig.lastRaw;
    if (!rig.unit.Connected()) {
        return raw.empty() && rig.unit.NextDueUs() == -1 ? "hung up" : "hung up, still talking";
    }
    if (code < 0) {
        bool garbled = false;
        const auto fields = mduGlobalModule::ParseSentence(raw, garbled);
        const std::string text(raw.begin(), raw.end());
        const std::string said = raw.empty() ? "none"
                                 : garbled   ? "garbled " + text.substr(1, 5)
                                             : fields.at(0);
        return said + (rig.unit.CurrentMode() == SimulatedUnit::Mode::Text ? ", text" : ", binary");
    }
    const HostLink::Reply reply = rig.host.Decode(raw);
    if (raw.empty() || !reply.intact) {
        return raw.empty() ? "none" : "damaged";
    }
    std::string said = reply.Code() == code ? "" : "echo of another code, ";
    if (raw.size() < 5) {
        return said + "short";
    }
    const int bits = sim::UnitCommand::AcceptedStatus(code);
    char refusal[16];
    std::snprintf(refusal, sizeof refusal, "refused 0x%02X", reply.Status() & 0xF0);
    said += (reply.Status() & 0xF0) != 0      ? refusal
            : (reply.Status() & bits) != bits ? "missing bit"
                                              : "accepted";
    return said + (reply.Payload().empty() ? "" : " with data");
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t next; (next = text.find(separator, at)) != std::string::npos;) {
        parts.push_back(text.substr(at, next - at));
        at = next + separator.size();
    }
    parts.push_back(text.substr(at));
    return parts;
}

// Faults (separated by spaces) on a fresh unit, and the requests that follow:
// sentences ("$...") at once, commands (a name or code, "@address" for a
// write) after the switch to link mode and Attach. What the host makes of
// each reply; the longest delay among them; the faults that fired, each
// logged once.
TEST(FaultKinds, EachShowsOnTheRequestsItNamesAsConfiguredAndIsLoggedOnce) {
    struct Case {
        const char* faults;
        const char* requests;
        const char* outcomes;  // separated by " | "
        std::int64_t minDelayMs = 0;
        std::size_t fired = 1;
    };
    const Case cases[] = {
        {"no-reply:code=QID", "QID", "none"},
        {"bad-crc:code=QID", "QID", "damaged"},
        {"wrong-code:code=STS", "STS", "echo of another code, accepted with data"},
        {"bad-status:code=VPGM", "VPGM", "refused 0x10 with data"},
        {"bad-status:code=51,status=0x40", "51@0", "refused 0x40"},
        {"missing-bit:code=Attach", "Attach", "missing bit"},
        {"missing-bit:code=FErs", "FErs", "missing bit"},
        {"short:code=VMAP", "VMAP", "short"},  // a short reply still passes the CRC check
        {"late:code=QID", "QID", "accepted with data", 301},  // past the host's time-out
        {"late:code=51,delay=2600", "51@0", "accepted", 2600},
        {"hang-up:code=FErs", "FErs", "hung up"},
        {"no-reply:sentence=hello", "$GSHLO", "none, text"},
        {"no-reply:sentence=link", "$GSLNK", "none, text"},  // a lost request
        {"garbled:sentence=hello", "$GSHLO", "garbled ASACK, text"},
        // Damaged on the line: the switch happened.
        {"garbled:sentence=link", "$GSLNK", "garbled ASACK, binary"},
        {"refused:sentence=hello", "$GSHLO", "ASNAK, text"},
        {"refused:sentence=link", "$GSLNK", "ASNAK, text"},
        {"late:sentence=hello,delay=450", "$GSHLO", "ASACK, text", 450},
        {"hang-up:sentence=link", "$GSLNK", "hung up"},
        // Blocks are numbered by distinct address: a retry keeps its number.
        {"bad-status:code=51,block=2,times=1 no-reply:code=51,block=3", "51@0 51@224 51@224 51@448",
         "accepted | refused 0x10 | accepted | none", 0, 2},
        // A parameter write whose reply is lost is still carried out.
        {"no-reply:code=50,addr=0xB0 no-reply:code=QID,after=1,times=1",
         "50@0x70 50@0xB0 QID QID QID",
         "accepted | none | accepted with data | none | accepted with data", 0, 2},
        // The first fault that fires wins, later ones wait their turn.
        {"late:code=STS,delay=400,times=1 bad-crc:code=STS", "STS STS",
         "accepted with data | damaged", 400, 2},
        // RST gets no reply, so only vanishing can hit it.
        {"bad-crc hang-up:code=RST,after=1", "Attach RST", "damaged | none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.faults) + " / " + c.requests);
        sim::UnitConfig config;
        config.serial = "F-0001";
        config.eraseMs = 200;
        config.flashSize = 8 * 1024;
        config.parameterSize = 1024;
        std::vector<std::string> described;
        for (const std::string& text : Split(c.faults, " ")) {
            std::string error;
            const auto fault = sim::FaultSpec::Parse(text, error);
            ASSERT_TRUE(fault.has_value()) << text << ": " << error;
            config.faults.push_back(*fault);
            described.push_back(fault->Describe());
        }
        SessionRig rig(config);
        std::vector<std::string> outcomes;
        std::int64_t longestUs = 0;
        for (const std::string& request : Split(c.requests, " ")) {
            int code = -1;
            Bytes data;
            if (request[0] == '$') {
                rig.SentenceRaw(request.c_str(), 10'000 * kMs);
            } else {
                const std::size_t at = request.find('@');
                code = sim::UnitCommand::FromName(request.substr(0, at)).value();
                if (rig.unit.CurrentMode() == SimulatedUnit::Mode::Text) {
                    ASSERT_EQ(rig.Sentence("$GSLNK").at(0), "ASACK");
                    ASSERT_TRUE(code == 0 || rig.Exchange(0).Status() == 0x08);
                }
                const auto address =
                    at == std::string::npos ? 0 : std::stoul(request.substr(at + 1), nullptr, 0);
                data.assign(code == 51 ? 224 : 64, static_cast<std::uint8_t>(outcomes.size() + 1));
                rig.Exchange(code,
                             at == std::string::npos ? Bytes{} : HostLink::WriteBody(address, data),
                             120'000 * kMs);
                if (code == 50) {
                    EXPECT_EQ(rig.unit.ParameterImage().Read(address, 64), data) << request;
                }
            }
            outcomes.push_back(Outcome(rig, code));
            longestUs = std::max(longestUs, rig.lastDelayUs);
        }
        EXPECT_EQ(outcomes, Split(c.outcomes, " | "));
        EXPECT_GE(longestUs, c.minDelayMs * kMs);
        const std::vector<LogEntry> fired = rig.unit.Log().EntriesOf(LogEntry::Kind::Fault);
        EXPECT_EQ(fired.size(), c.fired);
        for (const LogEntry& entry : fired) {
            EXPECT_NE(std::find(described.begin(), described.end(), entry.note), described.end())
                << entry.note;
        }
    }
}

}  // namespace
