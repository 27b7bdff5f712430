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

sim::UnitConfig WithFaults(std::initializer_list<const char*> faults) {
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

TEST(FaultSelection, BlockCountsDistinctAddressesSoRetriesKeepTheirNumber) {
    SessionRig rig(WithFaults({"bad-status:code=51,block=2,times=1"}));
    ASSERT_TRUE(rig.EnterLinkMode());
    const auto write = [&rig](std::uint32_t address) {
        return rig.Exchange(51, HostLink::WriteBody(address, Bytes(224, 0x11)), 2000 * kMs)
            .Status();
    };
    EXPECT_EQ(write(0), 0x02);
    EXPECT_EQ(write(224) & 0xF0, 0x10) << "block 2, first try";
    EXPECT_EQ(write(224), 0x02) << "block 2, retry: times=1 is used up";
    EXPECT_EQ(write(448), 0x02);
}

TEST(FaultSelection, AddressAfterAndTimesPickTheNamedRequests) {
    SessionRig rig(WithFaults({"no-reply:code=50,addr=0xB0", "no-reply:code=QID,after=1,times=1"}));
    ASSERT_TRUE(rig.EnterLinkMode());
    rig.Exchange(50, HostLink::WriteBody(0x70, Bytes(64, 1)), 2000 * kMs);
    EXPECT_FALSE(rig.lastRaw.empty()) << "write at 0x70";
    rig.Exchange(50, HostLink::WriteBody(0xB0, Bytes(64, 2)), 2000 * kMs);
    EXPECT_TRUE(rig.lastRaw.empty()) << "write at 0xB0";
    // The write was still carried out: only its reply is missing.
    EXPECT_EQ(rig.unit.ParameterImage().Read(0xB0, 64), Bytes(64, 2));

    std::vector<bool> answered;
    for (int i = 0; i < 3; ++i) {
        rig.Exchange(5);
        answered.push_back(!rig.lastRaw.empty());
    }
    EXPECT_EQ(answered, (std::vector<bool>{true, false, true}));
}

TEST(FaultSelection, TheFirstFaultThatFiresWinsAndLaterOnesWaitTheirTurn) {
    SessionRig rig(WithFaults({"late:code=STS,delay=400,times=1", "bad-crc:code=STS"}));
    ASSERT_TRUE(rig.EnterLinkMode());
    const auto first = rig.Exchange(1, {}, 1000 * kMs);
    EXPECT_TRUE(first.intact) << "only the late fault fired";
    EXPECT_GE(rig.lastDelayUs, 400 * kMs);
    const auto second = rig.Exchange(1);
    ASSERT_FALSE(rig.lastRaw.empty());
    EXPECT_FALSE(second.intact);
    EXPECT_LT(rig.lastDelayUs, 300 * kMs);
}

TEST(FaultSelection, ReplyFaultsLeaveTheClosingCommandAlone) {
    // RST gets no reply, so only vanishing can hit it.
    SessionRig rig(WithFaults({"bad-crc", "hang-up:code=RST,after=1"}));
    ASSERT_EQ(rig.Sentence("$GSLNK").at(0), "ASACK");
    rig.line.Send(rig.host.Attach(), SimulatedUnit::kBinaryBaud);
    EXPECT_FALSE(rig.host.Decode(rig.line.AwaitReply(300 * kMs)).intact);
    rig.line.Send(rig.host.Request(2), SimulatedUnit::kBinaryBaud);
    rig.line.Advance(10 * kMs);
    EXPECT_EQ(FaultNotes(rig.unit).size(), 1u) << "bad-crc must not fire on RST";
    EXPECT_TRUE(rig.unit.Connected()) << "after=1 let the first RST pass";
}

}  // namespace
