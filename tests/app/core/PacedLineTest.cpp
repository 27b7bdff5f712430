// The in-memory line and the in-process unit model the wire: a block cannot
// go faster than its request and reply take at 115200 baud, 10 bits a byte.

#include <gtest/gtest.h>

#include <vector>

#include "MemorySerialLine.h"
#include "SequenceRig.h"

TEST(PacedLine, EveryBlockTakesAtLeastTheWireTimeOfItsRequestAndReply) {
    EXPECT_EQ(platform::MemorySerialLine::WireTimeUs(232, 115200), 20139);
    EXPECT_EQ(platform::MemorySerialLine::WireTimeUs(5, 115200), 435);  // rounded up
    EXPECT_EQ(platform::MemorySerialLine::WireTimeUs(11, 9600), 11459);

    sim::UnitConfig unit = SequenceRig::QuickUnit();
    unit.binaryReplyUs = 0;  // the unit itself adds nothing
    SequenceRig rig(unit);
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
    std::vector<std::int64_t> requests;  // when each flash request had fully arrived
    std::vector<std::int64_t> lengths;
    std::vector<std::int64_t> replies;  // when each reply began
    for (const sim::LogEntry& e : rig.unit->Log().Entries()) {
        if (e.code == 51 && e.kind == sim::LogEntry::Kind::HostFrame) {
            requests.push_back(e.timeUs);
            lengths.push_back(static_cast<std::int64_t>(e.raw.size()));
        } else if (e.code == 51 && e.kind == sim::LogEntry::Kind::UnitFrame) {
            replies.push_back(e.timeUs);
        }
    }
    ASSERT_EQ(requests.size(), 21u);
    ASSERT_EQ(replies.size(), 21u);
    for (std::size_t i = 1; i < requests.size(); ++i) {
        // The last block is shorter than the others.
        const std::int64_t floor = platform::MemorySerialLine::WireTimeUs(5, 115200) +
                                   platform::MemorySerialLine::WireTimeUs(lengths[i], 115200);
        EXPECT_GE(replies[i - 1], requests[i - 1]);
        // The next request arrives after the reply's and its own wire time,
        // and in the tool nothing waits on top: it follows the reply at once
        // (virtual time: the tool's own work takes none).
        EXPECT_EQ(requests[i] - requests[i - 1], floor) << "block " << i + 1;
    }
}
