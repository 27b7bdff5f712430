// The command layer on its own. What goes on the line for each request (the
// rolling-key head of Attach included), how a reply is judged against it, and
// how reply sentences, record reports and unit identities are read are held
// against models by the fuzz_reply and fuzz_sentence targets (their corpora
// replay in ctest as fuzz_replay_reply and fuzz_replay_sentence). Here: what
// those models do not reach.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CommandLayerRig.h"
#include "PackedDataFile.h"
#include "clsBlockLink.h"
#include "clsCommandLayer.h"
#include "clsLinkUnit.h"
#include "clsPNV480DnLdData.h"
#include "clsRandom.h"
#include "mduGlobalModule.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

// The shared rig, with the two things these tests do on it.
struct LayerRig : CommandLayerRig {
    // Sends and ends the driver's cycle, so that the next send is possible.
    const Bytes& Send(int code, bool tableKey = true) {
        EXPECT_TRUE(layer.AutoSendMessageToUnit(code, {}, 0, 0, tableKey, false));
        clock.AdvanceBy(60000);
        return line.Writes().back();
    }
    // The request as the unit reads it: unscrambled, without the trailer.
    Bytes Plain(const Bytes& frame) {
        EXPECT_TRUE(mduGlobalModule::CheckCrc16(frame));
        return clsRandom::Codec(std::span(frame.data(), frame.size() - 2), Table());
    }
    // A reply the unit would send: head, code, status, scrambled, with the CRC.
    Bytes Reply(std::uint8_t head, int code, std::uint8_t status) {
        Bytes wire =
            clsRandom::Codec(Bytes{head, static_cast<std::uint8_t>(code), status}, Table());
        const std::uint16_t crc = mduGlobalModule::GetCrc16(wire);
        wire.push_back(static_cast<std::uint8_t>(crc >> 8));
        wire.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        return wire;
    }
};

}  // namespace

TEST(CommandLayer, RequestsThatCannotBeBuiltOrSentGoNowhere) {
    LayerRig rig;
    EXPECT_FALSE(rig.layer.AutoSendMessageToUnit(51, {}, 0, 0, true, false));  // no data
    ASSERT_EQ(rig.boxes.Texts().size(), 1u);
    EXPECT_EQ(rig.boxes.Texts()[0].rfind("程式運作異常<AutoSendMessageToUnit> : \r\n", 0), 0u)
        << rig.boxes.Texts()[0];
    // A port that cannot be opened in the binary state: nothing is sent.
    rig.line.SetOpenFailure(1, "COM1: busy");
    EXPECT_FALSE(rig.layer.AutoSendMessageToUnit(1, {}, 0, 0, true, false));
    EXPECT_TRUE(rig.line.Writes().empty());
}

TEST(CommandLayer, ARequiredBitTheOneByteStatusCannotCarryIsNeverSet) {
    LayerRig rig;
    rig.Send(5);
    EXPECT_TRUE(rig.layer.JudgeReply(rig.Reply(0x44, 5, 0x02), 0).Good());
    EXPECT_FALSE(rig.layer.CheckUnitStatus(0x102, false));
}

// The block link on its own, with what no simulated unit sends: stray
// replies without end, a reply echoing the barrier's code when none is owed,
// and more late barrier answers than were owed. Each step is delivered once
// the driver's cycle has ended.
TEST(BlockLink, StrayAndLateRepliesAreBoundedByWhatWasSent) {
    // Steps after the start (which sends block 1), each an event and the
    // result the link gives: B a block's answer, S a barrier's (STS) answer,
    // D a damaged answer, T a time-out, N the next stage starts, R a new run
    // starts; s a block sent, w waiting, n no reply.
    struct Case {
        const char* name;
        int blockSends;  // block requests on the line
        int barrierSends;
        int written;  // acknowledged blocks, and resends, as the run counts them
        int resends;
        std::string steps;
    };
    // A resend, its answer, and the barrier request that follows; then the
    // barrier sent three times and answered: two answers are owed.
    const std::string owed = "Ts Bw Dw Dw Ss ";
    std::string strays = "Ts Bw ";
    for (int i = 0; i < clsBlockLink::kBarrierWaits; ++i) {
        strays += "Bw ";
    }
    const std::vector<Case> cases = {
        {"stray replies while the barrier is awaited end the stage", 2, 1, 0, 1, strays + "Bn"},
        {"an STS echo no barrier owes costs the block a try", 2, 0, 0, 1, "Ss"},
        {"owed answers are dropped, one more costs a try", 4, 3, 1, 2, owed + "Sw Sw Ss"},
        {"owed answers may come in the next stage", 4, 3, 1, 1, owed + "Ns Sw"},
        {"a new run owes none", 5, 3, 1, 2, owed + "Rs Ss"},
    };
    const PackedDataFile packed(224 * 2 + 10, 20, "0601", 5);  // 3 flash blocks
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayerRig rig;
        clsPNV480DnLdData file;
        file.SetToolVersion(clsUpdateSequence::kToolVersion);
        ASSERT_TRUE(file.LoadData(packed.Image()));
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
        ASSERT_EQ(start(), BlockLinkResult::BlockSent);
        for (std::size_t at = 0; at + 1 < c.steps.size(); at += 3) {
            rig.clock.AdvanceBy(60000);
            const char event = c.steps[at];
            Bytes reply = rig.Reply(0x44, event == 'S' ? 1 : 51, 0x02);
            BlockLinkResult result = BlockLinkResult::Waiting;
            switch (event) {
                case 'T':
                    result = count(link.OnTimeOut());
                    break;
                case 'R':
                    link.Reset();
                    [[fallthrough]];
                case 'N':
                    result = start();
                    break;
                case 'D':
                    reply.back() ^= 1;
                    [[fallthrough]];
                default:
                    result = count(link.OnReply(reply));
                    break;
            }
            const char said = "swdnbx"[static_cast<int>(result)];
            if (said != c.steps[at + 1]) {
                ADD_FAILURE() << "step " << c.steps.substr(at, 2) << " at " << at << ": gave "
                              << said;
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
