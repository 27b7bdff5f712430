#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <string>
#include <vector>

#include "PtyPeer.h"
#include "QtDriverRig.h"
#include "clsApdPacker.h"
#include "mduGlobalModule.h"

using Bytes = std::vector<std::uint8_t>;
using platform::QtSerialControl;

TEST(QtSerialControl, NumbersSerialDevicesInPortOrder) {
    EXPECT_EQ(
        QtSerialControl::OrderDeviceNames({"ttyUSB1", "tty1", "ttyS10", "ttyACM0", "ttyS2",
                                           "ttyUSB0", "ttyS", "ttySx1", "console", "ttyS0",
                                           "ttyUSB0x"}),
        (std::vector<std::string>{"ttyS0", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1", "ttyACM0"}));

    const std::vector<std::string> devices = QtSerialControl::SerialDevices();
    ::unsetenv("GPSUPDATE_COM12");
    EXPECT_EQ(QtSerialControl::DeviceForPort(12), devices.size() >= 12 ? devices[11] : "");
    ::setenv("GPSUPDATE_COM12", "/tmp/any/path", 1);
    EXPECT_EQ(QtSerialControl::DeviceForPort(12), "/tmp/any/path");
    ::unsetenv("GPSUPDATE_COM12");
}

// A frame that was reported as sent must reach the far side even when the far
// side reads it only after the port has been closed, re-opened at the other
// speed and used for the next frame.
TEST(QtSerialControl, SentFramesSurviveTheReopenAndTheNextSend) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    QtDriverRig rig(peer.Path());

    rig.comm.SetCommuStats(1);
    ASSERT_EQ(rig.comm.CommuStats(), 1);
    // No low-latency flag on a pseudo-terminal; the port works on regardless.
    RecordProperty("low_latency_answer", rig.control.LowLatencyAnswer());
    EXPECT_FALSE(rig.control.LowLatencyAnswer().empty());

    const Bytes hello = mduGlobalModule::BuildSentence("$GSHLO");
    ASSERT_TRUE(rig.comm.SendDataToUnit(hello, 20, -1, -1));
    ASSERT_TRUE(rig.WaitForEvents(1));
    EXPECT_EQ(rig.events[0].code, 0);

    rig.comm.SetCommuStats(2);
    ASSERT_EQ(rig.comm.CommuStats(), 2);
    // The speed is set on the terminal, where the far side can read it.
    termios line{};
    ASSERT_EQ(::tcgetattr(peer.Held(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), B115200);

    const Bytes frame = clsApdPacker::SeededBytes(40, 1);
    ASSERT_TRUE(rig.comm.SendDataToUnit(frame, 5, -1, -1));
    ASSERT_TRUE(rig.WaitForEvents(2));
    EXPECT_EQ(rig.events[1].code, 0);

    Bytes expected = hello;
    expected.insert(expected.end(), frame.begin(), frame.end());
    EXPECT_EQ(peer.ReadAvailable(), expected);
}

TEST(QtSerialControl, OpenFailuresNameTheDeviceAndTheCause) {
    // Held by another program, under the same name or another (a link).
    for (const bool byLink : {false, true}) {
        SCOPED_TRACE(byLink ? "busy under another name" : "busy");
        PtyPeer peer;
        ASSERT_TRUE(peer.Ok());
        QtDriverRig rig(peer.Path());
        const std::string other = "/tmp/gpsupdate-test-by-id-" + std::to_string(::getpid());
        if (byLink) {
            ASSERT_EQ(::symlink(peer.Path().c_str(), other.c_str()), 0);
            ::setenv("GPSUPDATE_COM8", other.c_str(), 1);
        }
        QtSerialControl holder;
        holder.SetCommPort(byLink ? 8 : 9);
        holder.SetPortOpen(true);
        EXPECT_EQ(rig.comm.NewCommStats(1, true, true, true), 0);
        ASSERT_EQ(rig.boxes.Texts().size(), 1u);
        const std::string text = rig.boxes.Texts()[0];
        EXPECT_TRUE(text.starts_with("傳輸埠 (9) 控制異常 : 此傳輸埠正被其他程式使用中!!")) << text;
        EXPECT_NE(text.find("系統說明 : COM9 (" + peer.Path() +
                            "): the port is busy, another program holds it"),
                  std::string::npos)
            << text;
        // Once the other program lets go, the port opens.
        holder.SetPortOpen(false);
        EXPECT_EQ(rig.comm.NewCommStats(1, true), 1);
        ::unsetenv("GPSUPDATE_COM8");
        ::unlink(other.c_str());
    }
    {
        SCOPED_TRACE("no device with that number");
        QtDriverRig rig("", 16);
        ::unsetenv("GPSUPDATE_COM16");
        if (!QtSerialControl::DeviceForPort(16).empty()) {
            GTEST_SKIP() << "this machine has 16 serial devices";
        }
        EXPECT_EQ(rig.comm.NewCommStats(1, true, true, true), 0);
        ASSERT_EQ(rig.boxes.Texts().size(), 1u);
        const std::string text = rig.boxes.Texts()[0];
        EXPECT_TRUE(text.starts_with("傳輸埠 (16) 控制異常 : 此傳輸埠沒有連接任何裝置")) << text;
        EXPECT_NE(text.find("COM16: no serial device has this number"), std::string::npos);
        EXPECT_EQ(text.find("GPSUPDATE_"), std::string::npos);  // no variables for operators
    }
}

// What a user without access to the device is told. Run as an unprivileged
// user (a forked child when the tests run as root, which no mode bits stop).
TEST(QtSerialControl, PermissionFailureMentionsTheDialoutGroup) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    ASSERT_EQ(::chmod(peer.Path().c_str(), 0), 0);
    ::setenv("GPSUPDATE_COM9", peer.Path().c_str(), 1);
    auto attempt = [] {
        QtSerialControl control;
        control.SetCommPort(9);
        try {
            control.SetPortOpen(true);
            return std::string("opened");
        } catch (const platform::SerialControlError& error) {
            return std::string(error.what());
        }
    };
    std::string text;
    if (::geteuid() != 0) {
        text = attempt();
    } else {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            std::string result = "cannot drop privileges";
            if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
                result = attempt();
            }
            (void)!::write(pipeFds[1], result.data(), result.size());
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        char buffer[1024];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    ::unsetenv("GPSUPDATE_COM9");
    RecordProperty("permission_text", text);
    EXPECT_TRUE(text.starts_with("COM9 (" + peer.Path() + "): permission denied")) << text;
    EXPECT_NE(text.find("dialout"), std::string::npos) << text;
}
