#pragma once

#include <QElapsedTimer>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "EventLoopWait.h"
#include "ProgramMessageBoxes.h"
#include "QtSerialControl.h"
#include "QtWindowTimer.h"
#include "ScriptedMessageBoxes.h"
#include "clsComm.h"

// The serial driver on the Qt serial control and Qt timers, as the window
// sets it up, with port `port` pointed at a device through GPSUPDATE_COM<n>.
struct QtDriverRig {
    struct Event {
        std::int32_t code;
        std::vector<std::uint8_t> bytes;
        qint64 atMs;  // since the rig was made
    };

    platform::QtSerialControl control;
    platform::QtWindowTimer frameSpace;
    platform::QtWindowTimer timeOut;
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scopedBoxes{boxes};
    clsComm comm;
    std::vector<Event> events;
    QElapsedTimer clock;
    std::string variable;

    QtDriverRig(const std::string& device, int port = 9)
        : variable("GPSUPDATE_COM" + std::to_string(port)) {
        PointAt(device);
        clock.start();
        frameSpace.SetInterval(30);
        timeOut.SetInterval(1000);
        comm.SetmFrameSpaceTimer(&frameSpace);
        comm.SetmFrameTimeOutTimer(&timeOut);
        comm.SetmMsComm(&control);
        comm.SetComPort(static_cast<std::int16_t>(port));
        comm.SetCommResponseMessage(
            [this](std::int32_t code, const std::vector<std::uint8_t>& bytes) {
                events.push_back({code, bytes, clock.elapsed()});
            });
    }
    ~QtDriverRig() { ::unsetenv(variable.c_str()); }

    void PointAt(const std::string& device) { ::setenv(variable.c_str(), device.c_str(), 1); }

    bool WaitForEvents(std::size_t count, int limitMs = 3000) {
        return PumpUntil([&] { return events.size() >= count; }, limitMs);
    }
};
