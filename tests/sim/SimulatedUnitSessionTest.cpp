// The simulated unit through a whole update and the rules of its line:
// what it answers, what it stores, and what it ignores.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "HostLink.h"
#include "SessionRig.h"
#include "SimulatedUnit.h"
#include "UnitCodec.h"
#include "clsApdPacker.h"
#include "mduGlobalModule.h"

namespace {

using sim::LogEntry;
using sim::SimulatedUnit;
using Bytes = std::vector<std::uint8_t>;

constexpr int kText = SimulatedUnit::kTextBaud;
constexpr int kBinary = SimulatedUnit::kBinaryBaud;
constexpr std::int64_t kMs = 1000;

constexpr auto RandomBytes = &clsApdPacker::SeededBytes;

sim::UnitConfig SmallUnit() {
    sim::UnitConfig config;
    config.serial = "SN-4711";
    config.programVersion = "P3.14";
    config.dataVersion = "0601";
    config.recordReport = 0x08;
    config.eraseMs = 1500;
    config.checkMs = 2500;
    config.flashSize = 16 * 1024;
    config.parameterSize = 1024;
    config.seed = 99;
    return config;
}

// A small unit and the tool's side of the link, as members of each test.
class UnitSession : public ::testing::Test, public SessionRig {
  protected:
    UnitSession() : SessionRig(SmallUnit()) {}
};

// What the sequence tests, which take any reply the tool accepts, do not
// pin: the statuses, the record report, the five-byte write replies and
// replies under both key modes.
TEST_F(UnitSession, AnUpdatesRepliesCarryTheirStatusesAndUseBothKeys) {
    using Fields = std::vector<std::string>;
    EXPECT_EQ(Sentence("$GSHLO"), (Fields{"ASACK", "SN-4711", "08"}));
    EXPECT_EQ(Sentence("$GSLNK"), (Fields{"ASACK", "SN-4711"}));
    const auto attach = Exchange(0);
    EXPECT_TRUE(attach.intact && attach.Code() == 0 && attach.Status() == 0x08);
    EXPECT_EQ(lastRaw.size(), 5u);
    const auto sts = Exchange(1);
    EXPECT_EQ(sts.Payload(), Bytes{0x08});
    EXPECT_EQ(sts.Status(), 0x00);

    // Flash blocks of 224 bytes, parameter blocks of 64 from address 112.
    const struct {
        int code;
        std::uint32_t size;
        std::uint32_t base;
    } memories[] = {{51, 224, 0}, {50, 64, 112}};
    for (const auto& m : memories) {
        for (std::uint32_t at = 0; at < 3 * m.size; at += m.size) {
            const auto reply = Exchange(
                m.code, HostLink::WriteBody(m.base + at, RandomBytes(m.size, at)), 2000 * kMs);
            EXPECT_TRUE(reply.intact && reply.Status() == 0x02 && lastRaw.size() == 5u)
                << "write " << m.code << " at " << at;
        }
    }

    int rolling = 0;
    int table = 0;
    for (const LogEntry& entry : unit.Log().EntriesOf(LogEntry::Kind::UnitFrame)) {
        (sim::UnitCodec::IsRollingHead(entry.raw.at(0)) ? rolling : table)++;
    }
    EXPECT_GT(rolling, 0);
    EXPECT_GT(table, 0);
}

TEST_F(UnitSession, RequestsAreDelimitedByTheirLayoutAndSpeedNotByPauses) {
    // Bytes at the wrong speed are ignored.
    EXPECT_TRUE(Transact(mduGlobalModule::BuildSentence("$GSHLO"), kBinary, 300 * kMs).empty())
        << "hello at 115200 in text mode";
    ASSERT_TRUE(EnterLinkMode());
    EXPECT_TRUE(Transact(mduGlobalModule::BuildSentence("$GSHLO"), kText, 300 * kMs).empty())
        << "hello at 9600 in link mode";
    EXPECT_EQ(unit.CurrentMode(), SimulatedUnit::Mode::Binary);
    EXPECT_FALSE(unit.Log().EntriesOf(LogEntry::Kind::Dropped).empty());

    // Two requests in one burst: two replies.
    Bytes both = host.Request(1);
    const Bytes write = host.Request(50, HostLink::WriteBody(112, RandomBytes(64, 3)));
    both.insert(both.end(), write.begin(), write.end());
    line.Send(both, kBinary, /*oneBurst=*/true);
    line.Advance(50 * kMs);
    const auto replies = line.TakeReceived();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(host.Decode(replies[0].bytes).Code(), 1);
    EXPECT_EQ(host.Decode(replies[1].bytes).Code(), 50);

    // A request cut in two by a short pause is still one request.
    const Bytes vpgm = host.Request(6);
    line.Send(std::span(vpgm).first(2), kBinary);
    line.Advance(5 * kMs);
    line.Send(std::span(vpgm).subspan(2), kBinary);
    EXPECT_EQ(host.Decode(line.AwaitReply(300 * kMs)).Code(), 6);
}

// What a line that cannot place a host speed change among unread bytes
// credits to the earlier speed: only whole messages the unit would take.
TEST_F(UnitSession, WholeMessagesAreMeasuredAsTheUnitWouldTakeThem) {
    const auto joined = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Bytes hello = mduGlobalModule::BuildSentence("$GSHLO");
    Bytes wrongCheck = hello;
    wrongCheck[8] = 'E';
    struct Case {
        const char* name;
        Bytes bytes;
        int baud;
        std::size_t length;
    };
    const Case textCases[] = {
        {"hello", hello, kText, hello.size()},
        {"hello at the link speed", hello, kBinary, 0},
        {"hello and more", joined(hello, hello), kText, hello.size()},
        {"hello without its line end", Bytes(hello.begin(), hello.end() - 1), kText, 0},
        {"wrong check digits", wrongCheck, kText, 0},
        {"a byte before the $", joined({'x'}, hello), kText, 0},
    };
    const auto measure = [&](const auto& cases) {
        for (const Case& c : cases) {
            EXPECT_EQ(unit.WholeMessageLength(c.bytes, c.baud, line.NowUs()), c.length) << c.name;
        }
    };
    measure(textCases);

    ASSERT_TRUE(EnterLinkMode());
    const Bytes rst = host.Request(2);
    Bytes broken = rst;
    broken.back() ^= 0x01;
    const Case linkCases[] = {
        {"RST", rst, kBinary, rst.size()},
        {"RST at 9600", rst, kText, 0},
        {"RST with a broken CRC", broken, kBinary, 0},
        {"RST and a hello", joined(rst, hello), kBinary, rst.size()},
        {"hello in link mode", hello, kBinary, 0},
    };
    measure(linkCases);
    // The part of a request the unit already holds counts, unless a silence
    // has thrown it away since.
    const Bytes sts = host.Request(1);
    line.Send(std::span(sts).first(2), kBinary);
    const Bytes rest(sts.begin() + 2, sts.end());
    EXPECT_EQ(unit.WholeMessageLength(rest, kBinary, line.NowUs()), rest.size());
    line.Advance(50 * kMs);
    EXPECT_EQ(unit.WholeMessageLength(rest, kBinary, line.NowUs()), 0u);
}

TEST_F(UnitSession, DamagedOrUnreadableRequestsGetNoReply) {
    ASSERT_EQ(Sentence("$GSLNK").at(0), "ASACK");
    // Before Attach the unit holds no link table: a table-keyed head cannot
    // be read at all.
    EXPECT_TRUE(
        Transact(host.Frame(0x12, 0, host.Random().SecurityTable()), kBinary, 300 * kMs).empty());
    EXPECT_FALSE(unit.HasLinkTable());

    // A link table whose CRC fails is refused.
    Bytes badTable = host.Random().SecurityTable();
    badTable[3] ^= 0x40;
    const auto refused = host.Decode(Transact(host.Frame(0x44, 0, badTable), kBinary, 300 * kMs));
    EXPECT_EQ(refused.Code(), 0);
    EXPECT_NE(refused.Status() & 0xF0, 0);
    EXPECT_FALSE(unit.HasLinkTable());

    ASSERT_EQ(Exchange(0).Status(), 0x08);
    // A request whose CRC fails is ignored; the next one is answered.
    Bytes broken = host.Request(5);
    broken.back() ^= 0x01;
    EXPECT_TRUE(Transact(broken, kBinary, 300 * kMs).empty());
    EXPECT_EQ(Exchange(5).Code(), 5);

    // A security code that is not the CRC of the serial number is refused.
    const auto secu = Exchange(10, {0x12, 0x34});
    EXPECT_EQ(secu.Code(), 10);
    EXPECT_NE(secu.Status() & 0xF0, 0);
}

TEST_F(UnitSession, FlashProgramsOnlyClearBitsAfterAnEraseThatIgnoresTheLineAndWritesMustFit) {
    ASSERT_TRUE(EnterLinkMode());
    // Before any erase the memories hold their old contents (zeros here):
    // programming flash cannot set bits, the parameter memory is overwritten.
    const Bytes ones(16, 0xFF);
    EXPECT_EQ(Exchange(51, HostLink::WriteBody(0x100, ones)).Status(), 0x02);
    EXPECT_EQ(unit.FlashImage().Read(0x100, 16), Bytes(16, 0x00));
    EXPECT_EQ(Exchange(50, HostLink::WriteBody(0x100, ones)).Status(), 0x02);
    EXPECT_EQ(unit.ParameterImage().Read(0x100, 16), ones);

    // The line is ignored while erasing.
    line.Send(host.Request(14), kBinary);
    line.Advance(100 * kMs);
    line.Send(host.Request(1), kBinary);
    const HostLink::Reply erase = host.Decode(line.AwaitReply(55'000 * kMs));
    EXPECT_TRUE(erase.Code() == 14 && erase.Status() == 0x02);
    EXPECT_TRUE(line.AwaitReply(1000 * kMs).empty()) << "STS sent during the erase was answered";

    const Bytes a{0xF0, 0x0F, 0xAA};
    const Bytes b{0x3C, 0xFF, 0x55};
    Exchange(51, HostLink::WriteBody(0x10, a));
    Exchange(51, HostLink::WriteBody(0x10, b));
    EXPECT_EQ(unit.FlashImage().Read(0x10, 3), (Bytes{0x30, 0x0F, 0x00}));

    // Writes that run past the end of a memory are refused and store nothing.
    const std::uint64_t before = unit.FlashImage().Digest();
    const auto past = Exchange(51, HostLink::WriteBody(16 * 1024 - 8, RandomBytes(16, 5)));
    EXPECT_EQ(past.Code(), 51);
    EXPECT_NE(past.Status() & 0xF0, 0);
    EXPECT_EQ(unit.FlashImage().Digest(), before);
    EXPECT_NE(Exchange(50, HostLink::WriteBody(1020, RandomBytes(8, 6))).Status() & 0xF0, 0);
}

TEST_F(UnitSession, LineNoiseNeverKeepsTheUnitFromAnsweringAfterwards) {
    // Text mode: noise, including stray "$" and line ends, then a hello.
    std::mt19937 generator(5);
    for (int burst = 0; burst < 100; ++burst) {
        Bytes noise = RandomBytes(1 + generator() % 120, generator());
        for (auto& b : noise) {
            b = "$*,\r\nGSHLO0123456789ABCDEF"[b % 26];
        }
        line.Send(noise, kText, burst % 2 == 0);
    }
    line.Send(Bytes{'\r', '\n'}, kText);
    line.Advance(500 * kMs);
    line.TakeReceived();
    EXPECT_EQ(Sentence("$GSHLO").at(0), "ASACK");

    // Binary mode: random bursts, each followed by more than the request gap.
    ASSERT_TRUE(EnterLinkMode());
    for (int burst = 0; burst < 300; ++burst) {
        line.Send(RandomBytes(1 + generator() % 300, generator()), kBinary, burst % 2 == 0);
        line.Advance(60 * kMs);
    }
    line.TakeReceived();
    ASSERT_TRUE(unit.Connected());
    ASSERT_EQ(unit.CurrentMode(), SimulatedUnit::Mode::Binary);
    EXPECT_EQ(Exchange(1).Code(), 1);
}

}  // namespace

// Units plugged in and pulled out behind one line: none at first, then one
// until a while after its memory check, then none, then the next with its
// own serial number and fresh memories. One pulled from its cable mid-update
// answers nothing more, and the next arrives after --absent-ms plus at most
// the jitter; the fault aimed at the second unit spares the first and third.
TEST(UnitPresence, UnitsArriveAndLeaveBehindTheLine) {
    sim::UnitConfig config = SmallUnit();
    config.checkMs = 100;
    config.absentMs = 1000;
    config.absentJitterMs = 400;
    config.stayMs = 500;
    config.nextSerials = {"SN-2", "SN-3"};
    config.initialFill = 0x11;
    std::string error;
    config.faults.push_back(*sim::FaultSpec::Parse("pulled:code=FErs,unit=2", error));
    SessionRig rig(config);
    EXPECT_TRUE(rig.Sentence("$GSHLO", 200 * kMs).empty()) << "answered before it arrived";
    rig.line.Advance(1400 * kMs);
    ASSERT_EQ(rig.Sentence("$GSHLO").at(1), "SN-4711");
    ASSERT_TRUE(rig.EnterLinkMode());
    ASSERT_FALSE(rig.Transact(rig.host.Request(14), kBinary, 3000 * kMs).empty()) << "erase";
    rig.line.Send(rig.host.Request(2), kBinary);  // closing command
    rig.line.Advance(300 * kMs);
    EXPECT_EQ(rig.Sentence("$GSHLO").at(1), "SN-4711") << "left before its stay was over";
    rig.line.Advance(500 * kMs);
    EXPECT_FALSE(rig.unit.Present());
    EXPECT_TRUE(rig.Sentence("$GSHLO", 200 * kMs).empty()) << "answered after it left";
    rig.line.Advance(1400 * kMs);
    ASSERT_TRUE(rig.unit.Present());
    EXPECT_EQ(rig.Sentence("$GSHLO").at(1), "SN-2");
    EXPECT_EQ(rig.unit.FlashImage().Digest(), sim::MemoryImage(config.flashSize, 0x11).Digest());

    ASSERT_TRUE(rig.EnterLinkMode());
    EXPECT_TRUE(rig.Transact(rig.host.Request(14), kBinary, 900 * kMs).empty())
        << "a unit pulled at the erase answered";
    EXPECT_FALSE(rig.unit.Present()) << "back before --absent-ms";
    rig.line.Advance(500 * kMs);
    ASSERT_TRUE(rig.unit.Present()) << "later than --absent-ms + the jitter";
    ASSERT_EQ(rig.Sentence("$GSHLO").at(1), "SN-3");
    ASSERT_TRUE(rig.EnterLinkMode());
    EXPECT_FALSE(rig.Transact(rig.host.Request(14), kBinary, 3500 * kMs).empty())
        << "the fault hit the third unit";
}
