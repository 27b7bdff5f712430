// The command layer on its own: what goes on the line for a request, and how
// a reply is judged against the request it is meant to answer.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "IHostImageDisplay.h"
#include "MemorySerialLine.h"
#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "SentenceReply.h"
#include "VirtualClock.h"
#include "clsApdPacker.h"
#include "clsBlockLink.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsLinkUnit.h"
#include "clsPNV480DnLdData.h"
#include "clsRandom.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfigBase.h"
#include "mduDeviceChecks.h"
#include "mduGlobalModule.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

class HostImage final : public IHostImageDisplay {
  public:
    std::string HostImageText() const override { return text; }
    void SetHostImageText(const std::string& t) override { text = t; }
    std::string text;
};

// The layer on a driver over an in-memory line with nothing at the far end.
struct LayerRig {
    platform::VirtualClock clock;
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scope{boxes};
    platform::MemorySerialLine line{clock};
    std::unique_ptr<platform::IWindowTimer> frameSpace = clock.CreateTimer();
    std::unique_ptr<platform::IWindowTimer> timeOut = clock.CreateTimer();
    clsComm comm;
    clsRandom random{42};
    clsUnitConfig2 config2;
    clsUnitConfigBase base;
    HostImage image;
    clsCommandLayer layer{comm, random, config2, base, &image};

    LayerRig() {
        comm.SetmFrameSpaceTimer(frameSpace.get());
        comm.SetmFrameTimeOutTimer(timeOut.get());
        comm.SetmMsComm(&line);
    }
    // Sends and ends the driver's cycle, so that the next send is possible.
    const Bytes& Send(int code, const Bytes& data = {}, bool tableKey = true, bool retry = false,
                      int address = 0) {
        EXPECT_TRUE(layer.AutoSendMessageToUnit(code, data, address, static_cast<int>(data.size()),
                                                tableKey, retry));
        clock.AdvanceBy(60000);
        return line.Writes().back();
    }
    // The request as the unit reads it: unscrambled, without the trailer.
    Bytes Plain(const Bytes& frame) {
        EXPECT_TRUE(mduGlobalModule::CheckCrc16(frame));
        Bytes plain = clsRandom::Codec(std::span(frame.data(), frame.size() - 2), Table());
        return plain;
    }
    clsRandom::Table Table() const {
        clsRandom::Table table{};
        const Bytes t = random.SecurityTable();
        std::copy(t.begin(), t.end(), table.begin());
        return table;
    }
    // A reply the unit would send: head, code, status, payload, CRC.
    Bytes Reply(std::uint8_t head, int code, std::uint8_t status, const Bytes& payload = {}) {
        Bytes plain{head, static_cast<std::uint8_t>(code), status};
        plain.insert(plain.end(), payload.begin(), payload.end());
        return Seal(plain);
    }
    // Scrambled, with the CRC trailer.
    Bytes Seal(const Bytes& plain) {
        Bytes wire = clsRandom::Codec(plain, Table());
        const std::uint16_t crc = mduGlobalModule::GetCrc16(wire);
        wire.push_back(static_cast<std::uint8_t>(crc >> 8));
        wire.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        return wire;
    }
};

}  // namespace

TEST(CommandLayer, AttachUsesARollingKeyHeadForEveryRandomByte) {
    LayerRig rig;
    for (int index = 0; index < 256; ++index) {
        rig.random.SetRandomInex(static_cast<std::uint8_t>(index));
        const Bytes& frame = rig.Send(0, {}, false);
        const std::uint8_t head = frame[0];
        ASSERT_EQ(mduGlobalModule::SwapNibbles(head), head) << "index " << index;
        const std::uint8_t b = rig.random.CurrentRandomByteData(static_cast<std::uint8_t>(index));
        EXPECT_EQ(head, mduGlobalModule::SwapNibbles(b) ^ b);
    }
    // The body is the code and the whole link security table.
    const Bytes plain = rig.Plain(rig.line.Writes().back());
    Bytes expected{plain[0], 0x00};
    const Bytes table = rig.random.SecurityTable();
    expected.insert(expected.end(), table.begin(), table.end());
    EXPECT_EQ(plain, expected);
}

// Each request, a resend too, takes the next random byte as its head (255
// wraps to 0); a resend carries the record's try count, a new request starts
// at zero.
TEST(CommandLayer, EveryRequestTakesTheNextRandomByteAndARetryItsCount) {
    LayerRig rig;
    rig.random.SetRandomInex(254);
    const Bytes block(10, 1);
    for (const auto& [retry, index, count] :
         {std::tuple{false, 254, 0}, std::tuple{true, 255, 2}, std::tuple{false, 0, 0}}) {
        rig.Send(51, block, true, retry);
        EXPECT_EQ(rig.line.Writes().back()[0], rig.random.CurrentRandomByteData(index)) << index;
        EXPECT_EQ(rig.layer.CurrentLinkUnit()->RetryCounter(), count) << index;
        rig.layer.CurrentLinkUnit()->SetRetryCounter(2);
    }
    EXPECT_EQ(rig.random.RandomInex(), 1);
    // The echo of the last frame in the diagnostic box.
    EXPECT_EQ(rig.image.text, clsCommandLayer::HostImageText(rig.line.Writes().back(), true));
    EXPECT_EQ(rig.image.text.size(), 2 * rig.line.Writes().back().size());
}

TEST(CommandLayer, BlockWritesAndTheSecurityPayloadAreLaidOutAsTheUnitReadsThem) {
    LayerRig rig;
    Bytes data(224);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    const Bytes plain = rig.Plain(rig.Send(51, data, true, false, 0x001234));
    Bytes expected{plain[0], 51, 0x00, 0x12, 0x34, 0xE0};
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(plain, expected);
    // A flash block reply is five bytes: the driver waits for all five.
    EXPECT_NE(std::find(rig.line.WriteLog().begin(), rig.line.WriteLog().end(), "RThreshold=5"),
              rig.line.WriteLog().end());

    // SSecu1: the CRC of the unit identity, in trailer order.
    rig.config2.SetUnitID("GU48A0012345");
    const Bytes security = rig.Plain(rig.Send(10));
    const std::uint16_t crc =
        mduGlobalModule::GetCrc16(mduGlobalModule::TextToBytes("GU48A0012345"));
    EXPECT_EQ(security, (Bytes{security[0], 10, static_cast<std::uint8_t>(crc >> 8),
                               static_cast<std::uint8_t>(crc & 0xFF)}));
}

TEST(CommandLayer, RequestsThatCannotBeBuiltOrSentGoNowhere) {
    LayerRig rig;
    const std::size_t before = rig.line.Writes().size();
    const std::uint8_t index = rig.random.RandomInex();
    EXPECT_FALSE(rig.layer.AutoSendMessageToUnit(3, {}, 0, 0, true, false));  // not a command
    EXPECT_EQ(rig.layer.CurrentLinkUnit(), nullptr);
    EXPECT_TRUE(rig.boxes.Texts().empty());

    const Bytes tooLong(256, 0);
    EXPECT_FALSE(rig.layer.AutoSendMessageToUnit(51, tooLong, 0, 256, true, false));
    EXPECT_FALSE(rig.layer.AutoSendMessageToUnit(51, {}, 0, 0, true, false));  // no data
    EXPECT_FALSE(rig.layer.AutoSendMessageToUnit(50, Bytes(4), 0x1000000, 4, true, false));
    EXPECT_FALSE(rig.layer.AutoSendMessageToUnit(52, {}, 0, 300, true, false));
    ASSERT_EQ(rig.boxes.Texts().size(), 4u);
    for (const std::string& text : rig.boxes.Texts()) {
        EXPECT_EQ(text.rfind("程式運作異常<AutoSendMessageToUnit> : \r\n", 0), 0u) << text;
    }
    EXPECT_EQ(rig.line.Writes().size(), before);
    EXPECT_EQ(rig.random.RandomInex(), index);

    // A port that cannot be opened in the binary state: nothing is sent.
    rig.line.SetOpenFailure(1, "COM1: busy");
    EXPECT_FALSE(rig.layer.AutoSendMessageToUnit(1, {}, 0, 0, true, false));
    EXPECT_EQ(rig.line.Writes().size(), before);
}

TEST(CommandLayer, AReplyPassesOnlyWhenItIsIntactAnswersTheRequestAndCarriesTheBits) {
    enum class Damage { None, Crc, Short, Nothing };
    struct Case {
        const char* name;
        int code;      // request
        int required;  // status bits the stage requires
        int echo;      // the reply's code and status, and its payload
        std::uint8_t status;
        Bytes payload;
        Damage damage;
        ReplyVerdict verdict;
    };
    const Bytes digits{'0', '6', '1'};
    const std::vector<Case> cases = {
        {"five bytes, accepted with the bit",
         51,
         0x02,
         51,
         0x0A,
         {},
         Damage::None,
         ReplyVerdict::Good},
        {"data reply", 7, 0x02, 7, 0x02, digits, Damage::None, ReplyVerdict::Good},
        {"high nibble set", 51, 0x02, 51, 0x1A, {}, Damage::None, ReplyVerdict::Refused},
        {"bit missing", 0, 0x08, 0, 0x02, {}, Damage::None, ReplyVerdict::MissingBits},
        {"another command's echo with a good status",
         14,
         0x02,
         7,
         0x02,
         {},
         Damage::None,
         ReplyVerdict::ForeignEcho},
        {"CRC wrong", 51, 0x02, 51, 0x02, {}, Damage::Crc, ReplyVerdict::BadCrc},
        {"four bytes", 1, 0x00, 1, 0x00, {}, Damage::Short, ReplyVerdict::Short},
        {"nothing", 1, 0x00, 1, 0x00, {}, Damage::Nothing, ReplyVerdict::NoFrame},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayerRig rig;
        rig.Send(c.code, c.code >= 49 ? Bytes(8, 3) : Bytes{}, c.code != 0);
        Bytes reply = rig.Reply(0x44, c.echo, c.status, c.payload);
        if (c.damage == Damage::Crc) {
            reply.back() ^= 1;
        } else if (c.damage != Damage::None) {  // head and code only, or no frame at all
            reply = c.damage == Damage::Short ? rig.Seal(Bytes{0x33, 1}) : Bytes{};
        }
        const CommandReply judged = rig.layer.JudgeReply(reply, c.required);
        EXPECT_EQ(judged.verdict, c.verdict) << VerdictName(judged.verdict);
        EXPECT_EQ(judged.payload, c.payload);
    }
    // Without a request there is nothing to judge against.
    LayerRig fresh;
    EXPECT_EQ(fresh.layer.JudgeReply(fresh.Reply(0x44, 1, 0), 0).verdict, ReplyVerdict::NoRequest);
}

TEST(TextDialect, SentencesAreReadAsTheSequenceJudgesThem) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        SentenceVerdict verdict;
        std::string serial;
    };
    const auto sentence = [](const char* text) { return mduGlobalModule::BuildSentence(text); };
    Bytes badDigits = sentence("$ASACK,GU1,00");
    badDigits[badDigits.size() - 3] ^= 1;
    const std::vector<Case> cases = {
        {sentence("$ASACK,GU1,08"), SentenceVerdict::Acknowledgement, "GU1"},
        {sentence("$asack"), SentenceVerdict::Acknowledgement, ""},
        {sentence("$ASNAK,GU1"), SentenceVerdict::Refusal, "GU1"},
        {sentence("$"), SentenceVerdict::NoFields, ""},
        {badDigits, SentenceVerdict::Garbled, ""},
        {Bytes{'A', 'S', 'A', 'C', 'K', '*', '0', '0'}, SentenceVerdict::Garbled, ""},
        {Bytes{}, SentenceVerdict::Garbled, ""},
    };
    for (const Case& c : cases) {
        const SentenceReply reply = SentenceReply::Read(c.bytes);
        EXPECT_EQ(reply.verdict, c.verdict) << std::string(c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(reply.Field(1), c.serial);
    }
}

TEST(DeviceChecks, RecordReportsAreReadFromOneOrTwoHexDigitsOnly) {
    using mduDeviceChecks::DecodeRecordReport;
    EXPECT_EQ(DecodeRecordReport("00", false), "正常");
    EXPECT_EQ(DecodeRecordReport("83", false), "正常");
    EXPECT_EQ(DecodeRecordReport("8", false), "資料異常(照相資料記憶區)");
    EXPECT_EQ(DecodeRecordReport("0c", false), "序號異常,資料異常(照相資料記憶區)");
    EXPECT_EQ(DecodeRecordReport("7C", false),
              "序號異常,資料異常(照相資料記憶區),資料異常(記憶區_2),資料異常(記憶區_3),"
              "資料異常(記憶區_4)");
    EXPECT_EQ(DecodeRecordReport("00", true), " : GPS記錄資訊 = 正常");
    // Anything else is unknown, never normal.
    for (const char* text : {"", "ZZ", "123", "0x", "-1"}) {
        EXPECT_EQ(DecodeRecordReport(text, false), "不明") << text;
    }
}

TEST(DeviceChecks, TheIdentityNeedsItsOwnCrcAndUnitTextsAreShownAsLatin1) {
    Bytes payload = mduGlobalModule::TextToBytes("GU48A0012345");
    const std::uint16_t crc = mduGlobalModule::GetCrc16(payload);
    payload.push_back(static_cast<std::uint8_t>(crc >> 8));
    payload.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    EXPECT_EQ(mduDeviceChecks::UnitIdFromPayload(payload), "GU48A0012345");
    payload[3] ^= 0x20;
    EXPECT_EQ(mduDeviceChecks::UnitIdFromPayload(payload), std::nullopt);
    EXPECT_EQ(mduDeviceChecks::UnitIdFromPayload(Bytes{0x41}), std::nullopt);

    EXPECT_EQ(mduDeviceChecks::UnitTextForDisplay("V1\xE9"), "V1\xC3\xA9");
}

TEST(CommandLayer, AFiveByteReplyCarriesNoPayloadWhateverAnEarlierReplyCarried) {
    // Found by fuzzing: the record keeps an earlier, longer reply's data.
    LayerRig rig;
    rig.Send(5);
    EXPECT_EQ(rig.layer.JudgeReply(rig.Reply(0x22, 5, 0x02, {1, 2}), 0).payload, (Bytes{1, 2}));
    const CommandReply later = rig.layer.JudgeReply(rig.Reply(0x44, 5, 0x02), 0);
    EXPECT_TRUE(later.Good());
    EXPECT_TRUE(later.payload.empty());
    // A required bit the one-byte status cannot carry is never set.
    EXPECT_FALSE(rig.layer.CheckUnitStatus(0x102, false));
}

// The block link on its own, with what no simulated unit sends: stray
// replies without end, a reply echoing the barrier's code when none is owed,
// and more late barrier answers than were owed. Each step is delivered once
// the driver's cycle has ended.
TEST(BlockLink, StrayAndLateRepliesAreBoundedByWhatWasSent) {
    enum class Event { Block, Barrier, Damaged, TimeOut, NextStage, NewRun };
    using R = BlockLinkResult;
    struct Step {
        Event event;
        R result;
    };
    struct Case {
        const char* name;
        int blockSends;  // block requests on the line
        int barrierSends;
        int written;  // acknowledged blocks, and resends, as the run counts them
        int resends;
        std::vector<Step> steps;  // after the start, which sends block 1
    };
    // A resend, its answer, and the barrier request that follows.
    const std::vector<Step> barrier = {{Event::TimeOut, R::BlockSent}, {Event::Block, R::Waiting}};
    const auto with = [&](std::vector<Step> more) {
        std::vector<Step> steps = barrier;
        steps.insert(steps.end(), more.begin(), more.end());
        return steps;
    };
    std::vector<Step> strays = with({});
    strays.insert(strays.end(), clsBlockLink::kBarrierWaits, {Event::Block, R::Waiting});
    strays.push_back({Event::Block, R::NoReply});
    // The barrier sent three times, then answered: two answers are owed.
    const std::vector<Step> threeSends =
        with({{Event::Damaged, R::Waiting}, {Event::Damaged, R::Waiting}});
    const auto after = [&](std::vector<Step> more) {
        std::vector<Step> steps = threeSends;
        steps.push_back({Event::Barrier, R::BlockSent});
        steps.insert(steps.end(), more.begin(), more.end());
        return steps;
    };
    const std::vector<Case> cases = {
        {"stray replies while the barrier is awaited end the stage", 2, 1, 0, 1, strays},
        {"an STS echo no barrier owes costs the block a try", 2, 0, 0, 1,
         std::vector<Step>{{Event::Barrier, R::BlockSent}}},
        {"owed answers are dropped, one more costs a try", 4, 3, 1, 2,
         after({{Event::Barrier, R::Waiting},
                {Event::Barrier, R::Waiting},
                {Event::Barrier, R::BlockSent}})},
        {"owed answers may come in the next stage", 4, 3, 1, 1,
         after({{Event::NextStage, R::BlockSent}, {Event::Barrier, R::Waiting}})},
        {"a new run owes none", 5, 3, 1, 2,
         after({{Event::NewRun, R::BlockSent}, {Event::Barrier, R::BlockSent}})},
    };
    clsApdPacker::Settings settings;
    settings.flashData = clsApdPacker::SeededBytes(224 * 2 + 10, 5);
    settings.parameterData = clsApdPacker::SeededBytes(20, 6);
    const auto image = clsApdPacker::Pack(settings);
    ASSERT_TRUE(image.has_value());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayerRig rig;
        clsPNV480DnLdData file;
        file.SetToolVersion(settings.toolVersionList);
        ASSERT_TRUE(file.LoadData(*image));
        clsBlockLink link;
        int written = 0;
        int resends = 0;
        const auto count = [&](BlockLinkStep step) {
            written += step.acknowledged ? 1 : 0;
            resends += step.resent ? 1 : 0;
            return step.result;
        };
        const auto start = [&] {
            file.FlashBlockIndexReset();
            return count(link.Start(rig.layer, file, BlockKind::Flash, 0x02));
        };
        ASSERT_EQ(start(), R::BlockSent);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            rig.clock.AdvanceBy(60000);
            Bytes reply = rig.Reply(0x44, c.steps[i].event == Event::Barrier ? 1 : 51, 0x02);
            R result = R::Waiting;
            switch (c.steps[i].event) {
                case Event::TimeOut:
                    result = count(link.OnTimeOut());
                    break;
                case Event::NewRun:
                    link.Reset();
                    [[fallthrough]];
                case Event::NextStage:
                    result = start();
                    break;
                case Event::Damaged:
                    reply.back() ^= 1;
                    [[fallthrough]];
                default:
                    result = count(link.OnReply(reply));
                    break;
            }
            if (result != c.steps[i].result) {
                ADD_FAILURE() << "step " << i << ": result " << static_cast<int>(result)
                              << ", expected " << static_cast<int>(c.steps[i].result);
                break;
            }
        }
        int blocks = 0;
        int barriers = 0;
        for (const Bytes& frame : rig.line.Writes()) {
            const int code = frame.size() > 3 ? rig.Plain(frame)[1] : -1;
            blocks += code == 51 ? 1 : 0;
            barriers += code == 1 ? 1 : 0;
        }
        EXPECT_EQ(blocks, c.blockSends);
        EXPECT_EQ(barriers, c.barrierSends);
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(resends, c.resends);
    }
}
