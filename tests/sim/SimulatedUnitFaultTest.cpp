// Every fault the simulated unit can be told to commit shows on the line as
// configured, and the selection keys (code, sentence, block, addr, after,
// times) pick exactly the requests they name.

#include <gtest/gtest.h>

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

sim::UnitConfig WithFaults(const std::vector<const char*>& faults) {
    sim::UnitConfig config;
    config.serial = "F-0001";
    config.eraseMs = 200;
    config.flashSize = 8 * 1024;
    config.parameterSize = 1024;
    for (const char* text : faults) {
        std::string error;
        const auto fault = sim::FaultSpec::Parse(text, error);
        EXPECT_TRUE(fault.has_value()) << text << ": " << error;
        if (fault) {
            config.faults.push_back(*fault);
        }
    }
    return config;
}

std::vector<std::string> FaultNotes(const SimulatedUnit& unit) {
    std::vector<std::string> notes;
    for (const LogEntry& entry : unit.Log().EntriesOf(LogEntry::Kind::Fault)) {
        notes.push_back(entry.note);
    }
    return notes;
}

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

// Each fault on the request it names, from a fresh unit: sentences ("$...")
// at once, frames after the switch to link mode and Attach.
TEST(FaultKinds, EachShowsOnTheReplyAsConfiguredAndIsLoggedOnce) {
    struct Case {
        const char* fault;
        const char* request;  // a sentence, or a command's name or code
        const char* outcome;
        std::int64_t minDelayMs = 0;
    };
    const Case cases[] = {
        {"no-reply:code=QID", "QID", "none"},
        {"bad-crc:code=QID", "QID", "damaged"},
        {"wrong-code:code=STS", "STS", "echo of another code, accepted with data"},
        {"bad-status:code=VPGM", "VPGM", "refused 0x10 with data"},
        {"bad-status:code=51,status=0x40", "51", "refused 0x40"},
        {"missing-bit:code=Attach", "Attach", "missing bit"},
        {"missing-bit:code=FErs", "FErs", "missing bit"},
        {"short:code=VMAP", "VMAP", "short"},  // a short reply still passes the CRC check
        {"late:code=QID", "QID", "accepted with data", 301},  // past the host's time-out
        {"late:code=51,delay=2600", "51", "accepted", 2600},
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        SessionRig rig(WithFaults({c.fault}));
        int code = -1;
        if (c.request[0] == '$') {
            rig.SentenceRaw(c.request, 10'000 * kMs);
        } else {
            code = sim::UnitCommand::FromName(c.request).value();
            ASSERT_EQ(rig.Sentence("$GSLNK").at(0), "ASACK");
            if (code != 0) {
                ASSERT_EQ(rig.Exchange(0).Status(), 0x08);
            }
            rig.Exchange(code, code == 51 ? HostLink::WriteBody(0, Bytes(224, 0xA5)) : Bytes{},
                         120'000 * kMs);
        }
        EXPECT_EQ(Outcome(rig, code), c.outcome);
        if (c.minDelayMs > 0) {
            EXPECT_GE(rig.lastDelayUs, c.minDelayMs * kMs);
        }
        std::string error;
        EXPECT_EQ(FaultNotes(rig.unit),
                  std::vector<std::string>{sim::FaultSpec::Parse(c.fault, error)->Describe()});
    }
}

// Requests in a row on one unit after "$GSLNK", each with what the host makes
// of its reply; a parameter write is carried out whatever becomes of its
// reply, and each fault that fired is logged once.
TEST(FaultSelection, TheKeysPickExactlyTheRequestsTheyName) {
    struct Step {
        int code;
        std::uint32_t address;  // of a write: 64 bytes for 50, 224 for 51
        const char* outcome;
        std::int64_t minDelayMs = 0;
    };
    struct Case {
        const char* name;
        std::vector<const char*> faults;
        std::vector<Step> steps;
        std::size_t fired;
    };
    const Case cases[] = {
        {"block counts distinct addresses, so a retry keeps its number",
         {"bad-status:code=51,block=2,times=1", "no-reply:code=51,block=3"},
         {{0, 0, "accepted"},
          {51, 0, "accepted"},
          {51, 224, "refused 0x10"},
          {51, 224, "accepted"},  // still block 2, and times=1 is used up
          {51, 448, "none"}},
         2},
        {"addr, after and times",
         {"no-reply:code=50,addr=0xB0", "no-reply:code=QID,after=1,times=1"},
         {{0, 0, "accepted"},
          {50, 0x70, "accepted"},
          {50, 0xB0, "none"},
          {5, 0, "accepted with data"},
          {5, 0, "none"},
          {5, 0, "accepted with data"}},
         2},
        {"the first fault that fires wins, later ones wait their turn",
         {"late:code=STS,delay=400,times=1", "bad-crc:code=STS"},
         {{0, 0, "accepted"}, {1, 0, "accepted with data", 400}, {1, 0, "damaged"}},
         2},
        // RST gets no reply, so only vanishing can hit it.
        {"reply faults leave the closing command alone",
         {"bad-crc", "hang-up:code=RST,after=1"},
         {{0, 0, "damaged"}, {2, 0, "none"}},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionRig rig(WithFaults(c.faults));
        ASSERT_EQ(rig.Sentence("$GSLNK").at(0), "ASACK");
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            SCOPED_TRACE("step " + std::to_string(i));
            const Bytes data(s.code == 51 ? 224 : 64, static_cast<std::uint8_t>(i + 1));
            rig.Exchange(s.code, s.code >= 50 ? HostLink::WriteBody(s.address, data) : Bytes{},
                         2000 * kMs);
            EXPECT_EQ(Outcome(rig, s.code), s.outcome);
            if (s.minDelayMs > 0) {
                EXPECT_GE(rig.lastDelayUs, s.minDelayMs * kMs);
            }
            if (s.code == 50) {
                EXPECT_EQ(rig.unit.ParameterImage().Read(s.address, 64), data);
            }
        }
        EXPECT_EQ(FaultNotes(rig.unit).size(), c.fired);
    }
}

}  // namespace
