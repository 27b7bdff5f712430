#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DriverRig.h"

using platform::MemorySerialLine;
using Bytes = std::vector<std::uint8_t>;

TEST(ClsComm, StateChangesTouchThePortOnlyWhenSomethingChanges) {
    DriverRig rig;
    rig.comm.SetCommuStats(1);
    ASSERT_EQ(rig.comm.CommuStats(), 1);
    ASSERT_TRUE(rig.line.PortOpen());

    // Same state, same port: nothing happens, not even to the cycle state.
    rig.comm.SetCommFrameState(3);
    rig.line.ClearWriteLog();
    rig.comm.SetCommuStats(1);
    EXPECT_TRUE(rig.line.WriteLog().empty());
    EXPECT_EQ(rig.comm.CommFrameState(), 3);

    // 1 to 2: re-open at the link speed without the fixed options.
    rig.comm.SetCommuStats(2);
    EXPECT_EQ(rig.line.WriteLog(),
              (std::vector<std::string>{"PortOpen=0", "Settings=115200,N,8,1", "InBufferCount=0",
                                        "OutBufferCount=0", "PortOpen=1"}));
    EXPECT_EQ(rig.comm.CommuStats(), 2);
    EXPECT_EQ(rig.comm.CommFrameState(), 1);

    // A new port number while open: re-open on it with the fixed options.
    rig.comm.SetComPort(3);
    rig.comm.SetCommFrameState(3);
    rig.line.ClearWriteLog();
    rig.comm.SetCommuStats(2);
    EXPECT_EQ(rig.line.WriteLog(),
              (std::vector<std::string>{
                  "PortOpen=0", "CommPort=3", "InBufferSize=2048", "OutBufferSize=2048",
                  "InputMode=1", "RThreshold=4", "SThreshold=1", "ParityReplace=", "DTREnable=0",
                  "NullDiscard=0", "EOFEnable=0", "Handshaking=0", "Settings=115200,N,8,1",
                  "InBufferCount=0", "OutBufferCount=0", "PortOpen=1"}));
    EXPECT_EQ(rig.comm.CommFrameState(), 1);

    // Requests that are no state change return the current state.
    rig.line.ClearWriteLog();
    EXPECT_EQ(rig.comm.NewCommStats(3, true), 2);
    EXPECT_EQ(rig.comm.NewCommStats(-1, true), 2);
    EXPECT_TRUE(rig.line.WriteLog().empty());

    // NewCommStats stores only when asked.
    EXPECT_EQ(rig.comm.NewCommStats(1), 1);
    EXPECT_EQ(rig.comm.CommuStats(), 2);

    rig.comm.SetCommuStats(0);
    EXPECT_FALSE(rig.line.PortOpen());
    EXPECT_EQ(rig.comm.CommFrameState(), 0);

    // Closed: a new port number and another close change nothing.
    rig.comm.SetComPort(4);
    rig.line.ClearWriteLog();
    rig.comm.SetCommuStats(0);
    EXPECT_TRUE(rig.line.WriteLog().empty());
    EXPECT_EQ(rig.line.CommPort(), 3);
}

TEST(ClsComm, OpenFailureIsShownOnceAndLeavesTheDriverClosed) {
    struct Case {
        const char* name;
        int port;
        std::string description;  // "" = the line's own text for a missing port
        platform::PortFault kind;
        const char* says;  // what the operator is told happened
    };
    const Case cases[] = {
        {"missing port", 7, "", platform::PortFault::NoDevice, "此傳輸埠沒有連接任何裝置!!"},
        {"busy port", 2, "COM2: in use by another program", platform::PortFault::Busy,
         "此傳輸埠正被其他程式使用中!!"},
        {"no permission", 5, "COM5: permission denied", platform::PortFault::PermissionDenied,
         "沒有使用此傳輸埠的權限!!"},
    };
    for (const Case& c : cases) {
        for (bool show : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (show ? ", shown" : ", silent"));
            DriverRig rig;
            rig.line.SetExistingPorts({1, 2, 5});
            if (!c.description.empty()) {
                rig.line.SetOpenFailure(c.port, c.description, c.kind);
            }
            rig.comm.SetCommuStats(1);  // COM1 open first: the failure must close it
            rig.comm.SetComPort(static_cast<std::int16_t>(c.port));

            EXPECT_NO_THROW(EXPECT_EQ(rig.comm.NewCommStats(2, true, true, show), 0));
            EXPECT_EQ(rig.comm.CommuStats(), 0);
            EXPECT_EQ(rig.comm.CommFrameState(), 0);
            EXPECT_FALSE(rig.line.PortOpen());
            if (!show) {
                EXPECT_TRUE(rig.boxes.Boxes().empty());
                continue;
            }
            ASSERT_EQ(rig.boxes.Boxes().size(), 1u);
            const std::string expected = c.description.empty()
                                             ? "COM" + std::to_string(c.port) + ": no such port"
                                             : c.description;
            // What happened and what to do in Chinese, the system's words for support.
            const std::string text = rig.boxes.Boxes()[0].text;
            EXPECT_EQ(text.rfind("傳輸埠 (" + std::to_string(c.port) + ") 控制異常 : " + c.says, 0),
                      0u)
                << text;
            EXPECT_EQ(text, clsComm::DescribePortFault(c.port, c.kind, expected));
            EXPECT_NE(text.find("\r\n    系統說明 : " + expected), std::string::npos);
            EXPECT_EQ(rig.comm.LastPortFaultKind(), c.kind);
            EXPECT_EQ(rig.boxes.Boxes()[0].icon, platform::MsgIcon::Critical);

            // The next attempt on a good port works again.
            rig.comm.SetComPort(1);
            EXPECT_EQ(rig.comm.NewCommStats(1, true), 1);
            EXPECT_TRUE(rig.line.PortOpen());
        }
    }
}

TEST(ClsComm, SendIsRefusedUnlessReadyAndSetsTheReceiveThreshold) {
    DriverRig rig;
    const Bytes frame{1, 2, 3, 4};
    EXPECT_FALSE(rig.comm.SendDataToUnit(frame, 20, 300, -1));  // closed
    EXPECT_TRUE(rig.line.Writes().empty());

    rig.comm.SetCommuStats(2);
    for (std::int16_t expected : {-1, 4, 0}) {
        SCOPED_TRACE(expected);
        ASSERT_TRUE(rig.comm.SendDataToUnit(frame, 20, 300, expected));
        EXPECT_EQ(rig.line.RThreshold(), expected < 0 ? 4 : expected + 1);
        EXPECT_EQ(rig.comm.FastResponseLength(), expected);
        // One cycle at a time.
        EXPECT_FALSE(rig.comm.SendDataToUnit(frame, 20, 300, expected));
        ASSERT_TRUE(rig.RunUntilEvents(rig.events.size() + 1));
        EXPECT_EQ(rig.events.back().code, 2);
    }
    EXPECT_EQ(rig.line.Writes().size(), 3u);
}

// One cycle from the send to its single notification: a reply of the
// expected length ends it at once only when its CRC holds, else the frame
// space after its last byte does; a time-out (counted from the send, not the
// drain) hands over what came only from two bytes on; a reply longer than
// the receive buffer wraps to index zero; a reply that overtook a late send
// notice is collected once the notice has come; with no reply awaited there
// is only the send notice, and the driver stays busy.
// (A handler that sends the next frame from inside the notification is
// every whole update of the sequence tests.)
TEST(ClsComm, EachCycleEndsWithOneNotification) {
    const auto wire = [](std::size_t bytes) { return MemorySerialLine::WireTimeUs(bytes, 115200); };
    Bytes longest(515);  // from the 514th byte on, a reply wraps to index zero
    for (std::size_t i = 0; i < longest.size(); ++i) {
        longest[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    const auto part = [&](std::size_t from, std::size_t to) {
        return Bytes(longest.begin() + static_cast<std::ptrdiff_t>(from),
                     longest.begin() + static_cast<std::ptrdiff_t>(to));
    };
    struct Case {
        std::string name;
        int state;  // 1: 9600 baud, 2: 115200
        std::size_t frameBytes;
        std::int32_t frameSpaceMs, timeOutMs;
        std::int16_t expectedLength;
        Bytes reply;  // none when empty
        std::int64_t noticeDelayUs;
        std::int32_t code;  // and what it hands over, and when
        Bytes bytes;
        std::int64_t atUs;  // -1: any time
    };
    const Bytes five = DriverRig::FiveByteReply(true);
    const Bytes spoilt = DriverRig::FiveByteReply(false);
    const std::vector<Case> cases = {
        {"expected length", 2, 8, 50, 2000, 4, five, 0, 1, five, wire(8) + wire(5)},
        {"expected length, bad CRC", 2, 8, 50, 2000, 4, spoilt, 0, 1, spoilt,
         wire(8) + wire(5) + 50000},
        {"no byte", 1, 1, 20, 300, -1, {}, 0, 2, {}, 300000},
        {"one byte", 1, 1, 20, 300, -1, Bytes(1, 0x41), 0, 2, {}, 300000},
        {"two bytes", 1, 1, 20, 300, -1, Bytes(2, 0x41), 0, 2, Bytes(2, 0x41), 300000},
        {"three bytes", 1, 1, 20, 300, -1, Bytes(3, 0x41), 0, 2, Bytes(3, 0x41), 300000},
        {"513 bytes", 2, 4, 30, 2000, -1, part(0, 513), 0, 1, part(0, 513), -1},
        {"514 bytes", 2, 4, 30, 2000, -1, part(0, 514), 0, 1, part(513, 514), -1},
        {"515 bytes", 2, 4, 30, 2000, -1, longest, 0, 1, part(513, 515), -1},
        {"reply before a late notice", 2, 4, 30, 1000, -1, Bytes{9, 8, 7, 6, 5, 4}, 20000, 1,
         Bytes{9, 8, 7, 6, 5, 4}, wire(4) + 20000 + 30000},
        {"no reply awaited", 2, 9, 30, -1, -1, {}, 0, 0, {}, wire(9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DriverRig rig;
        rig.line.SetSendNotificationDelayUs(c.noticeDelayUs);
        if (!c.reply.empty()) {
            rig.peer.QueueReply({c.reply, c.state == 1 ? 9600 : 115200, 0});
        }
        rig.comm.SetCommuStats(c.state);
        const Bytes frame(c.frameBytes, 0x11);
        ASSERT_TRUE(rig.comm.SendDataToUnit(frame, c.frameSpaceMs, c.timeOutMs, c.expectedLength));
        ASSERT_TRUE(rig.RunUntilEvents(1));
        rig.clock.AdvanceBy(5000);
        ASSERT_EQ(rig.events.size(), 1u);
        EXPECT_EQ(rig.events[0].code, c.code);
        EXPECT_EQ(rig.events[0].bytes, c.bytes);
        if (c.atUs >= 0) {
            EXPECT_EQ(rig.events[0].atUs, c.atUs);
        }
        EXPECT_EQ(rig.comm.CommFrameState(), c.code == 0 ? 2 : 1);
        EXPECT_FALSE(rig.comm.WaitTimeOutTimerEnable());
        EXPECT_EQ(rig.comm.SendDataToUnit(frame, c.frameSpaceMs, c.timeOutMs, -1), c.code != 0);
    }
}

TEST(ClsComm, VanishedDeviceEndsTheCycleByTimeOutAndTheNextOpenFails) {
    DriverRig rig;
    rig.comm.SetCommuStats(2);
    ASSERT_TRUE(rig.comm.SendDataToUnit(Bytes{1, 2, 3, 4}, 30, 2000, 4));
    rig.peer.SetConnected(false);
    ASSERT_TRUE(rig.RunUntilEvents(1));
    EXPECT_EQ(rig.events[0].code, 2);
    EXPECT_EQ(rig.events[0].atUs, 2000000);

    rig.comm.NewCommStats(0, true);
    EXPECT_EQ(rig.comm.NewCommStats(1, true, false, true), 0);
    ASSERT_EQ(rig.boxes.Texts().size(), 1u);
    EXPECT_EQ(rig.boxes.Texts()[0],
              clsComm::DescribePortFault(1, platform::PortFault::NoDevice,
                                         "COM1: the device has been removed"));
}

TEST(ClsComm, PortClosedUnderTheDriverIsGivenUpAndOpenedAfresh) {
    DriverRig rig;
    rig.comm.SetCommuStats(1);
    rig.line.SetPortOpen(false);  // as the Qt control does when the device goes away
    EXPECT_FALSE(rig.comm.SendDataToUnit(Bytes{'$'}, 20, 300, -1));
    EXPECT_EQ(rig.comm.CommuStats(), 0);
    EXPECT_FALSE(rig.comm.WaitTimeOutTimerEnable());
    rig.clock.AdvanceBy(1000);
    EXPECT_TRUE(rig.events.empty());

    rig.comm.SetCommuStats(1);
    EXPECT_EQ(rig.comm.CommuStats(), 1);
    EXPECT_TRUE(rig.comm.SendDataToUnit(Bytes{'$'}, 20, 300, -1));
}
