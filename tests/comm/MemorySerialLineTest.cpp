#include <gtest/gtest.h>

#include <vector>

#include "MemorySerialLine.h"
#include "ScriptedPeer.h"
#include "VirtualClock.h"

using platform::ISerialControl;
using platform::MemorySerialLine;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct LineRig {
    platform::VirtualClock clock;
    ScriptedPeer peer;
    MemorySerialLine line{clock};
    std::vector<std::pair<int, std::int64_t>> notices;  // event, time

    explicit LineRig(const char* settings = "9600,N,8,1") {
        line.AttachPeer(&peer);
        line.SetSettings(settings);
        line.SetOnComm([this] { notices.emplace_back(line.CommEvent(), clock.NowUs()); });
        line.SetPortOpen(true);
    }
};

}  // namespace

TEST(MemorySerialLine, BytesTakeTheirWireTimeAndDiscardKeepsWhatHasLeft) {
    for (int baud : {9600, 115200}) {
        SCOPED_TRACE(baud);
        LineRig rig((std::to_string(baud) + ",N,8,1").c_str());
        const Bytes frame(20, 0x55);
        // Microseconds for a number of tenths of a byte.
        auto at = [baud](std::int64_t tenths) { return (tenths * 1000000 + baud - 1) / baud; };
        const std::int64_t wireUs = at(200);
        rig.line.Output(frame);
        rig.clock.AdvanceToUs(at(105));
        EXPECT_EQ(rig.line.OutBufferCount(), 10);
        rig.clock.AdvanceToUs(wireUs);
        ASSERT_EQ(rig.peer.Frames().size(), 1u);
        EXPECT_EQ(rig.peer.Frames()[0].atUs, wireUs);
        EXPECT_EQ(rig.peer.Frames()[0].baud, baud);
        EXPECT_EQ(rig.line.OutBufferCount(), 0);

        // Discarding half-way: the bytes already on the wire still arrive,
        // the rest never does, and no send notice follows.
        const std::size_t noticesBefore = rig.notices.size();
        rig.line.Output(frame);
        rig.clock.AdvanceToUs(wireUs + at(55));
        rig.line.SetOutBufferCount(0);
        rig.clock.AdvanceBy(100);
        ASSERT_EQ(rig.peer.Frames().size(), 2u);
        EXPECT_EQ(rig.peer.Frames()[1].bytes.size(), 5u);
        EXPECT_EQ(rig.notices.size(), noticesBefore);
    }
}

TEST(MemorySerialLine, NotificationsComeThroughTheClockAtTheirLevels) {
    LineRig rig;
    rig.peer.QueueReply({Bytes{1, 2, 3, 4, 5}, 9600, 0});
    rig.line.Output(Bytes{'$', 'G'});
    const std::int64_t drainUs = MemorySerialLine::WireTimeUs(2, 9600);
    rig.clock.AdvanceBy(100);
    // Send notice at the drain, then one receive notice when the fourth byte
    // is in and one more for the fifth (still at or above the threshold).
    ASSERT_EQ(rig.notices.size(), 3u);
    EXPECT_EQ(rig.notices[0], std::make_pair(ISerialControl::kEventSend, drainUs));
    EXPECT_EQ(rig.notices[1], std::make_pair(ISerialControl::kEventReceive,
                                             drainUs + MemorySerialLine::WireTimeUs(4, 9600)));
    EXPECT_EQ(rig.notices[2].second, drainUs + MemorySerialLine::WireTimeUs(5, 9600));
    EXPECT_EQ(rig.line.Input(), (Bytes{1, 2, 3, 4, 5}));

    // Never from inside a property access. Bytes still waiting after a send
    // notice are offered again.
    rig.notices.clear();
    rig.line.InjectInput(Bytes{1, 2, 3, 4});
    rig.line.Output(Bytes{});
    EXPECT_TRUE(rig.notices.empty());
    rig.clock.AdvanceBy(0);
    std::vector<int> kinds;
    for (const auto& notice : rig.notices) {
        kinds.push_back(notice.first);
    }
    EXPECT_EQ(kinds, (std::vector<int>{ISerialControl::kEventReceive, ISerialControl::kEventSend,
                                       ISerialControl::kEventReceive}));
    rig.line.Input();

    // A notice queued before a close is not delivered after the re-open.
    rig.notices.clear();
    rig.line.InjectInput(Bytes{1, 2, 3, 4});
    rig.line.SetPortOpen(false);
    rig.line.SetPortOpen(true);
    rig.clock.AdvanceBy(10);
    EXPECT_TRUE(rig.notices.empty());
    EXPECT_EQ(rig.line.InBufferCount(), 0);
}

TEST(MemorySerialLine, WhatArrivesDependsOnSpeedCableAndPort) {
    const Bytes reply{'$', 'A', 'S', 'A', 'C', 'K'};
    struct Case {
        const char* name;
        int replyBaud;
        bool connected;
        bool open;
        bool arrives;
        bool garbled;
    };
    const Case cases[] = {
        {"same speed", 9600, true, true, true, false},
        {"other speed", 115200, true, true, true, true},
        {"cable pulled", 9600, false, true, false, false},
        {"port closed", 9600, true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LineRig rig;
        rig.peer.QueueReply({reply, c.replyBaud, 1000});
        rig.line.Output(Bytes{'x'});
        rig.clock.AdvanceBy(1);  // the peer has the byte and will answer
        rig.peer.SetConnected(c.connected);
        if (!c.open) {
            rig.line.SetPortOpen(false);
        }
        rig.clock.AdvanceBy(100);
        const Bytes got = rig.line.Input();
        if (!c.arrives) {
            EXPECT_TRUE(got.empty());
            continue;
        }
        ASSERT_EQ(got.size(), reply.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i] != reply[i], c.garbled) << "byte " << i;
        }
    }
}

TEST(MemorySerialLine, OpenFailsForMissingRefusedAndVanishedPorts) {
    platform::VirtualClock clock;
    ScriptedPeer peer;
    MemorySerialLine line(clock);
    line.AttachPeer(&peer);
    line.SetExistingPorts({1, 2});
    line.SetOpenFailure(2, "COM2: busy");
    const std::pair<int, const char*> cases[] = {{3, "COM3: no such port"}, {2, "COM2: busy"}};
    for (const auto& [port, text] : cases) {
        line.SetCommPort(port);
        try {
            line.SetPortOpen(true);
            ADD_FAILURE() << "port " << port << " opened";
        } catch (const platform::SerialControlError& error) {
            EXPECT_STREQ(error.what(), text);
        }
        EXPECT_FALSE(line.PortOpen());
    }
    line.SetCommPort(1);
    peer.SetConnected(false);
    EXPECT_THROW(line.SetPortOpen(true), platform::SerialControlError);
    peer.SetConnected(true);
    line.SetPortOpen(true);
    EXPECT_THROW(line.SetCommPort(2), platform::SerialControlError);
    EXPECT_THROW(line.SetSettings("9600,X,8,1"), platform::SerialControlError);
    EXPECT_EQ(line.Settings(), "9600,N,8,1");
    EXPECT_EQ(line.OpenCount(), 1);
}

TEST(LineSettings, SettingsTextIsParsedNotMatched) {
    struct Case {
        const char* text;
        bool valid;
        int baud;
        char parity;
        int stopTenths;
    };
    const Case cases[] = {
        {"9600,N,8,1", true, 9600, 'N', 10},
        {"115200,N,8,1", true, 115200, 'N', 10},
        {"19200,e,7,2", true, 19200, 'E', 20},
        {" 4800 , O , 8 , 1.5", true, 4800, 'O', 15},
        {"9600,N,8", false, 0, 0, 0},
        {"9600,N,8,1,1", false, 0, 0, 0},
        {"96x0,N,8,1", false, 0, 0, 0},
        {"9600,Q,8,1", false, 0, 0, 0},
        {"9600,N,9,1", false, 0, 0, 0},
        {"9600,N,8,3", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"-9600,N,8,1", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const auto parsed = platform::LineSettings::Parse(c.text);
        ASSERT_EQ(parsed.has_value(), c.valid) << '"' << c.text << '"';
        if (parsed) {
            EXPECT_EQ(parsed->baud, c.baud) << c.text;
            EXPECT_EQ(parsed->parity, c.parity) << c.text;
            EXPECT_EQ(parsed->stopBitsTenths, c.stopTenths) << c.text;
        }
    }
}
