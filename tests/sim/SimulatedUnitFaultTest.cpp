// Every fault the simulated unit can be told to commit shows on the line as
// configured, and the selection keys (code, sentence, block, addr, after,
// times) pick exactly the requests they name.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "SessionRig.h"
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

Bytes BodyFor(int code, const std::string& serial) {
    switch (code) {
        case 10: {
            const std::uint16_t crc =
                mduGlobalModule::GetCrc16(mduGlobalModule::TextToBytes(serial));
            return {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc & 0xFF)};
        }
        case 50:
            return HostLink::WriteBody(112, Bytes(64, 0x5A));
        case 51:
            return HostLink::WriteBody(0, Bytes(224, 0xA5));
        default:
            return {};
    }
}

std::vector<std::string> FaultNotes(const SimulatedUnit& unit) {
    std::vector<std::string> notes;
    for (const LogEntry& entry : unit.Log().EntriesOf(LogEntry::Kind::Fault)) {
        notes.push_back(entry.note);
    }
    return notes;
}

// A test name made of the fault text's letters and digits.
std::string TestName(std::string fault) {
    for (char& ch : fault) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return fault;
}

struct Seen {
    const SessionRig& rig;
    const HostLink::Reply& reply;
};

struct FrameCase {
    const char* fault;
    int code;
    std::function<void(const Seen&)> check;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.fault;
}

class FrameFault : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameFault, ShowsOnTheReply) {
    const FrameCase& c = GetParam();
    SessionRig rig(WithFaults({c.fault}));
    ASSERT_EQ(rig.Sentence("$GSLNK").at(0), "ASACK");
    if (c.code != 0) {
        ASSERT_EQ(rig.Exchange(0).Status(), 0x08);
    }
    const HostLink::Reply reply = rig.Exchange(c.code, BodyFor(c.code, "F-0001"), 120'000 * kMs);
    c.check(Seen{rig, reply});

    std::string error;
    const auto spec = sim::FaultSpec::Parse(c.fault, error);
    ASSERT_TRUE(spec);
    EXPECT_EQ(FaultNotes(rig.unit), std::vector<std::string>{spec->Describe()})
        << "the log records the fault once";
}

const FrameCase kFrameCases[] = {
    {"no-reply:code=QID", 5, [](const Seen& s) { EXPECT_TRUE(s.rig.lastRaw.empty()); }},
    {"bad-crc:code=QID", 5,
     [](const Seen& s) {
         ASSERT_FALSE(s.rig.lastRaw.empty());
         EXPECT_FALSE(s.reply.intact);
     }},
    {"wrong-code:code=STS", 1,
     [](const Seen& s) {
         EXPECT_TRUE(s.reply.intact);
         EXPECT_NE(s.reply.Code(), 1);
         EXPECT_EQ(s.reply.Status() & 0xF0, 0);
     }},
    {"bad-status:code=VPGM", 6,
     [](const Seen& s) {
         EXPECT_TRUE(s.reply.intact);
         EXPECT_EQ(s.reply.Code(), 6);
         EXPECT_EQ(s.reply.Status() & 0xF0, 0x10);
     }},
    {"bad-status:code=51,status=0x40", 51,
     [](const Seen& s) {
         EXPECT_EQ(s.rig.lastRaw.size(), 5u);
         EXPECT_EQ(s.reply.Status() & 0xF0, 0x40);
     }},
    {"missing-bit:code=Attach", 0,
     [](const Seen& s) {
         EXPECT_TRUE(s.reply.intact);
         EXPECT_EQ(s.reply.Code(), 0);
         EXPECT_EQ(s.reply.Status() & 0x08, 0);
         EXPECT_EQ(s.reply.Status() & 0xF0, 0);
     }},
    {"missing-bit:code=FErs", 14,
     [](const Seen& s) {
         EXPECT_EQ(s.reply.Code(), 14);
         EXPECT_EQ(s.reply.Status() & 0x02, 0);
     }},
    {"short:code=VMAP", 7,
     [](const Seen& s) {
         EXPECT_LT(s.rig.lastRaw.size(), 5u);
         EXPECT_TRUE(s.reply.intact) << "a short reply still passes the CRC check";
         EXPECT_EQ(s.reply.Code(), 7);
     }},
    {"late:code=QID", 5,
     [](const Seen& s) {
         EXPECT_GT(s.rig.lastDelayUs, 300 * kMs) << "reply within the host's time-out";
         EXPECT_TRUE(s.reply.intact);
         EXPECT_EQ(s.reply.Code(), 5);
     }},
    {"late:code=51,delay=2600", 51,
     [](const Seen& s) { EXPECT_GE(s.rig.lastDelayUs, 2600 * kMs); }},
    {"hang-up:code=FErs", 14,
     [](const Seen& s) {
         EXPECT_TRUE(s.rig.lastRaw.empty());
         EXPECT_FALSE(s.rig.unit.Connected());
         EXPECT_EQ(s.rig.unit.NextDueUs(), -1);
     }},
};

INSTANTIATE_TEST_SUITE_P(SimulatedUnit, FrameFault, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return TestName(info.param.fault); });

struct SentenceCase {
    const char* fault;
    const char* sentence;
    std::function<void(const SessionRig&)> check;
};

void PrintTo(const SentenceCase& c, std::ostream* os) {
    *os << c.fault;
}

class SentenceFault : public ::testing::TestWithParam<SentenceCase> {};

TEST_P(SentenceFault, ShowsOnTheReplySentence) {
    const SentenceCase& c = GetParam();
    SessionRig rig(WithFaults({c.fault}));
    rig.SentenceRaw(c.sentence, 10'000 * kMs);
    c.check(rig);
    EXPECT_EQ(FaultNotes(rig.unit).size(), 1u);
}

bool ToolAccepts(const Bytes& raw) {
    bool fault = false;
    const auto fields = mduGlobalModule::ParseSentence(raw, fault);
    return !fault && !fields.empty();
}

const SentenceCase kSentenceCases[] = {
    {"no-reply:sentence=hello", "$GSHLO",
     [](const SessionRig& rig) { EXPECT_TRUE(rig.lastRaw.empty()); }},
    {"no-reply:sentence=link", "$GSLNK",
     [](const SessionRig& rig) {
         EXPECT_TRUE(rig.lastRaw.empty());
         EXPECT_EQ(rig.unit.CurrentMode(), SimulatedUnit::Mode::Text) << "a lost request";
     }},
    {"garbled:sentence=hello", "$GSHLO",
     [](const SessionRig& rig) {
         ASSERT_FALSE(rig.lastRaw.empty());
         EXPECT_FALSE(ToolAccepts(rig.lastRaw));
         EXPECT_EQ(std::string(rig.lastRaw.begin(), rig.lastRaw.begin() + 6), "$ASACK");
     }},
    {"garbled:sentence=link", "$GSLNK",
     [](const SessionRig& rig) {
         EXPECT_FALSE(ToolAccepts(rig.lastRaw));
         EXPECT_EQ(rig.unit.CurrentMode(), SimulatedUnit::Mode::Binary)
             << "the reply was damaged on the line, the switch happened";
     }},
    {"refused:sentence=hello", "$GSHLO",
     [](const SessionRig& rig) {
         ASSERT_TRUE(ToolAccepts(rig.lastRaw));
         EXPECT_NE(mduGlobalModule::ParseSentence(rig.lastRaw)[0], "ASACK");
     }},
    {"refused:sentence=link", "$GSLNK",
     [](const SessionRig& rig) {
         ASSERT_TRUE(ToolAccepts(rig.lastRaw));
         EXPECT_NE(mduGlobalModule::ParseSentence(rig.lastRaw)[0], "ASACK");
         EXPECT_EQ(rig.unit.CurrentMode(), SimulatedUnit::Mode::Text);
     }},
    {"late:sentence=hello,delay=450", "$GSHLO",
     [](const SessionRig& rig) {
         EXPECT_GE(rig.lastDelayUs, 450 * kMs);
         EXPECT_TRUE(ToolAccepts(rig.lastRaw));
     }},
    {"hang-up:sentence=link", "$GSLNK",
     [](const SessionRig& rig) {
         EXPECT_TRUE(rig.lastRaw.empty());
         EXPECT_FALSE(rig.unit.Connected());
     }},
};

INSTANTIATE_TEST_SUITE_P(SimulatedUnit, SentenceFault, ::testing::ValuesIn(kSentenceCases),
                         [](const auto& info) { return TestName(info.param.fault); });

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
