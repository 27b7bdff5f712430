// The runs that stay in the text dialect or end there: the port scan, the
// connection test, and the start of an update up to the link-mode switch.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ScriptedPeer.h"
#include "SequenceRig.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsPNV480DnLdData.h"
#include "mduCommonMessage.h"
#include "mduGlobalModule.h"

namespace msg = mduCommonMessage;
using platform::MsgIcon;

namespace {

// A box's text and icon.
using BoxSeen = std::pair<std::string, MsgIcon>;

std::vector<BoxSeen> Boxes(const SequenceRig& rig) {
    std::vector<BoxSeen> seen;
    for (const auto& box : rig.boxes.Boxes()) {
        seen.push_back({box.text, box.icon});
    }
    return seen;
}

}  // namespace

// --- Port scan ------------------------------------------------------------------

TEST(PortScan, FindsTheUnitBehindSilentAndUnopenablePorts) {
    for (const bool unopenable : {false, true}) {
        SCOPED_TRACE(unopenable ? "COM1, COM2 cannot be opened" : "COM1, COM2 time out");
        SequenceRigOptions options;
        options.unitPort = 3;
        SequenceRig rig(SequenceRig::QuickUnit(), options);
        if (unopenable) {
            rig.line.SetOpenFailure(1, "COM1: busy");
            rig.line.SetOpenFailure(2, "COM2: busy");
        }
        ASSERT_EQ(rig.Run(kEventAutoPortScan), RunOutcome::Succeeded);
        HeadlessWindow& w = *rig.window;
        EXPECT_EQ(w.SelectedPort(), 3);
        EXPECT_EQ(w.MessageText(), "與GPS連線成功 : GPS記錄資訊 = 正常");
        EXPECT_EQ(w.MessageKind(), kBlue);
        EXPECT_EQ(Boxes(rig), (std::vector<BoxSeen>{{"與GPS連線成功", MsgIcon::Information}}));
        EXPECT_EQ(w.InfoLine(2), "GPS   序          號   : GU48A0012345");
        EXPECT_EQ(w.WorkState(), 0);
        // One hello found it: COM1 and COM2 were tried once each at most.
        EXPECT_EQ(rig.unit->Log().EntriesOf(sim::LogEntry::Kind::HostSentence).size(), 1u);
        // The run names the port the unit answered on, not the one selected
        // when the scan began.
        ASSERT_EQ(rig.runs.size(), 1u);
        EXPECT_EQ(rig.runs[0].kind, RunKind::Scan);
        EXPECT_EQ(rig.runs[0].port, 3);
        EXPECT_EQ(rig.runs[0].serial, "GU48A0012345");
    }
}

// A scan that finds nothing ends after COM16, with the box only when COM16
// answered, and leaves the port the operator chose. What kept ports from
// being tried comes first, with what to do about it.
TEST(PortScan, WithoutAUnitEndsAfterCom16LeadingWithWhatKeptPortsFromBeingTried) {
    const std::string permission = clsComm::PortFaultAdvice(platform::PortFault::PermissionDenied);
    std::vector<std::string> everyPort;
    for (int port = 1; port <= 16; ++port) {
        everyPort.push_back("COM" + std::to_string(port) + " (沒有使用權限)");
    }
    const BoxSeen noResponse{"異常狀況(GPS沒有回應)", MsgIcon::Exclamation};
    const BoxSeen timeOut{"異常執行狀況 : GPS沒有回應!!", MsgIcon::Critical};
    const BoxSeen unopened{msg::PortsUnopenedBoxText, MsgIcon::Exclamation};
    const struct {
        const char* name;
        std::vector<int> noPermission;
        std::vector<int> noDevice;
        std::vector<BoxSeen> boxes;
        std::string firstLine;
        std::string message;
    } cases[] = {
        {"every port times out", {}, {}, {noResponse, timeOut}, "", msg::StandardNoResponseText()},
        {"COM16 has no device", {}, {16}, {timeOut}, "", msg::StandardNoResponseText()},
        {"two ports without permission",
         {2, 16},
         {},
         {timeOut},
         "   異常狀況 : 無法開啟傳輸埠 COM2 (沒有使用權限), COM16 (沒有使用權限)!!",
         msg::UnopenedPortsText({"COM2 (沒有使用權限)", "COM16 (沒有使用權限)"}, {permission}) +
             "\r\n" + msg::StandardNoResponseText()},
        {"no port with permission",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         {},
         {unopened},
         "   異常狀況 : 無法開啟傳輸埠 COM1 (沒有使用權限), COM2 (沒有使用權限)",
         msg::UnopenedPortsText(everyPort, {permission})},
        {"no port with a device",
         {},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         {unopened},
         "   異常狀況 : 傳輸埠(COM1 ~ COM16)都沒有連接任何裝置!!",
         msg::UnopenedPortsText({}, {})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SequenceRigOptions options;
        options.unitPort = 99;  // nowhere
        options.port = 5;       // the operator's choice
        SequenceRig rig(SequenceRig::QuickUnit(), options);
        for (const int port : c.noPermission) {
            rig.line.SetOpenFailure(port, "permission denied",
                                    platform::PortFault::PermissionDenied);
        }
        for (const int port : c.noDevice) {
            rig.line.SetOpenFailure(port, "no such port", platform::PortFault::NoDevice);
        }
        ASSERT_EQ(rig.Run(kEventAutoPortScan), RunOutcome::Failed);
        EXPECT_EQ(Boxes(rig), c.boxes);
        EXPECT_EQ(rig.window->MessageText(), c.message);
        EXPECT_EQ(rig.window->MessageText().rfind(c.firstLine, 0), 0u);
        EXPECT_EQ(rig.window->MessageKind(), kRed);
        EXPECT_EQ(rig.window->SelectedPort(), 5);
        EXPECT_EQ(rig.window->Commands()->Comm().ComPort(), 5);
        EXPECT_FALSE(rig.window->WorkingBusy());
    }
}

TEST(PortScan, GarbledRepliesAreTriedThreeTimesPerPortWithAFreshCountOnTheNext) {
    SequenceRigOptions options;
    options.unitPort = 3;
    SequenceRig rig(SequenceRig::QuickUnit(), options);
    rig.AddFault("garbled:sentence=hello,times=2");
    // Two garbled replies, the third hello on COM3 is answered.
    ASSERT_EQ(rig.Run(kEventAutoPortScan), RunOutcome::Succeeded);
    EXPECT_EQ(rig.window->SelectedPort(), 3);
    EXPECT_EQ(rig.unit->Log().EntriesOf(sim::LogEntry::Kind::HostSentence).size(), 3u);

    // Garbled for good: three hellos on COM3, then the scan goes on to COM16.
    SequenceRig always(SequenceRig::QuickUnit(), options);
    always.AddFault("garbled:sentence=hello");
    ASSERT_EQ(always.Run(kEventAutoPortScan), RunOutcome::Failed);
    EXPECT_EQ(always.unit->Log().EntriesOf(sim::LogEntry::Kind::HostSentence).size(), 3u);
    EXPECT_EQ(always.window->SelectedPort(), 1);  // the port chosen before the scan
    EXPECT_EQ(always.window->WorkPage().RetryCount, 0);
}

TEST(PortScan, AnAcknowledgementInLowerCaseWithOneFieldIsTheUnit) {
    SequenceRig rig;
    ScriptedPeer peer;
    peer.QueueReply({mduGlobalModule::BuildSentence("$asack"), 9600, 5000});
    rig.line.AttachPeer(&peer);
    ASSERT_EQ(rig.Run(kEventAutoPortScan), RunOutcome::Succeeded);
    EXPECT_EQ(peer.Frames().size(), 1u);
    EXPECT_EQ(rig.window->InfoLine(2), "GPS   序          號   : ????????");
    EXPECT_EQ(rig.window->MessageText(), "與GPS連線成功 : GPS記錄資訊 = 不明");
    rig.line.AttachPeer(nullptr);
}

// --- Connection test -----------------------------------------------------------------

TEST(ConnectionTest, ShowsTheUnitAndLeavesTheWindowIdle) {
    sim::UnitConfig unit = SequenceRig::QuickUnit();
    unit.recordReport = 0x08;
    SequenceRig rig(unit);
    ASSERT_EQ(rig.Run(kEventHelloDevice), RunOutcome::Succeeded);
    HeadlessWindow& w = *rig.window;
    EXPECT_EQ(w.MessageText(), "GPS連線成功 : GPS記錄資訊 = 資料異常(照相資料記憶區)");
    EXPECT_EQ(w.MessageKind(), kBlue);
    EXPECT_EQ(w.InfoLine(4), "GPS   紀 錄 報 告  : 資料異常(照相資料記憶區)");
    EXPECT_EQ(Boxes(rig), (std::vector<BoxSeen>{{"GPS連線成功", MsgIcon::Information}}));
    rig.clock.AdvanceBy(50);
    EXPECT_EQ(w.WorkState(), 0);
    EXPECT_FALSE(w.WorkingBusy());
    EXPECT_FALSE(rig.Erased());
}

// --- Start of an update, up to the link-mode switch -------------------------------------

// The hello and the link-mode switch failing in an update are in the fault
// matrix.
TEST(UpdateStart, EndsBeforeTheLinkModeWithTheTextOfWhatWentWrong) {
    for (const bool garbled : {true, false}) {
        SCOPED_TRACE(garbled ? "hello garbled three times in a connection test"
                             : "unreadable data file");
        SequenceRig rig;
        HeadlessWindow& w = *rig.window;
        if (garbled) {
            rig.AddFault("garbled:sentence=hello");
            ASSERT_EQ(rig.Run(kEventHelloDevice), RunOutcome::Failed);
            EXPECT_EQ(w.MessageText(), msg::StandardNoResponseText());
            EXPECT_EQ(Boxes(rig),
                      (std::vector<BoxSeen>{{"異常狀況(GPS沒有回應)", MsgIcon::Exclamation},
                                            {"異常執行狀況 : GPS沒有回應!!", MsgIcon::Critical}}));
        } else {
            w.SetFileName(rig.dataFile->Path() + ".missing");
            ASSERT_EQ(rig.Update(), RunOutcome::Failed);
            EXPECT_EQ(w.MessageText(), clsPNV480DnLdData::MessageCannotOpen());
            EXPECT_TRUE(rig.boxes.Boxes().empty());
            EXPECT_EQ(std::vector<int>({w.Lamp(0), w.Lamp(1), w.Lamp(2)}),
                      std::vector<int>({2, 3, 0}));
        }
        EXPECT_EQ(w.MessageKind(), kRed);
        // Idle enables the controls on its entry and stops the one-second
        // timer on that timer's next tick.
        rig.clock.AdvanceBy(1100);
        EXPECT_FALSE(w.WorkingBusy());
        EXPECT_FALSE(w.OneSecTimerRunning());
        EXPECT_FALSE(rig.Erased());
    }
}

// After an interrupted update the unit stays in its link mode and ignores
// the greeting: the operator is told so, and what to do, instead of that no
// unit answers. A port where nothing answers at all still reads as before.
TEST(ConnectionTest, AUnitLeftInLinkModeIsToldApartFromNoUnit) {
    SequenceRig rig;
    rig.AddFault("deaf:code=51,block=5");  // the update fails mid-transfer
    ASSERT_EQ(rig.Update(), RunOutcome::Failed);
    for (const std::int32_t button : {kEventHelloDevice, kEventDownLoadStart}) {
        rig.boxes.Clear();
        ASSERT_EQ(rig.Run(button), RunOutcome::Failed);
        EXPECT_EQ(rig.window->MessageText(), msg::LinkModeLeftText(true));
        EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{msg::LinkModeLeftBoxText});
    }
    EXPECT_EQ(rig.window->Lamp(0), 3);

    SequenceRigOptions nowhere;
    nowhere.unitPort = 99;
    SequenceRig empty(SequenceRig::QuickUnit(), nowhere);
    ASSERT_EQ(empty.Run(kEventHelloDevice), RunOutcome::Failed);
    EXPECT_EQ(empty.window->MessageText(), msg::NoResponseText);
}

// A port that cannot be opened: the message area leads with why and what to
// do (the box's text), not a failed send; a connection test after a cut-off
// update also clears the progress row that update left.
TEST(UpdateStart, APortThatCannotBeOpenedLeadsWithWhyAndClearsTheProgressRow) {
    const std::string cause = clsComm::DescribePortFault(1, platform::PortFault::PermissionDenied,
                                                         "COM1: permission denied");
    for (const bool afterCutOff : {false, true}) {
        SCOPED_TRACE(afterCutOff ? "a connection test after a cut-off update" : "an update");
        SequenceRigOptions options;
        options.flashBytes = 224 * 200;  // a few seconds: the displays are brought up to date
        SequenceRig rig(SequenceRig::QuickUnit(), options);
        if (afterCutOff) {
            rig.AddFault("bad-status:code=51,block=150");
            ASSERT_EQ(rig.Update(), RunOutcome::Failed);
            ASSERT_NE(rig.window->PercentText(), "0.0%");
            rig.line.SetPortOpen(false);
            rig.boxes.Clear();
        }
        rig.line.SetOpenFailure(1, "COM1: permission denied",
                                platform::PortFault::PermissionDenied);
        ASSERT_EQ(afterCutOff ? rig.Run(kEventHelloDevice) : rig.Update(), RunOutcome::Failed);
        EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{cause});
        EXPECT_EQ(rig.window->MessageText(), cause);
        EXPECT_EQ(rig.window->ProgressValue(), 0);
        EXPECT_EQ(rig.window->PercentText(), "0.0%");
    }
    EXPECT_NE(cause.find("dialout"), std::string::npos);
}
