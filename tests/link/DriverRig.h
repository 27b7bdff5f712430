#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "MemorySerialLine.h"
#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "ScriptedPeer.h"
#include "VirtualClock.h"
#include "clsComm.h"
#include "mduGlobalModule.h"

// The serial driver as the window sets it up, on an in-memory line with a
// scripted far end and the virtual clock.
struct DriverRig {
    struct Event {
        std::int32_t code;
        std::vector<std::uint8_t> bytes;
        std::int64_t atUs;
    };

    platform::VirtualClock clock;
    ScriptedPeer peer;
    platform::MemorySerialLine line{clock};
    std::unique_ptr<platform::IWindowTimer> frameSpace = clock.CreateTimer();
    std::unique_ptr<platform::IWindowTimer> timeOut = clock.CreateTimer();
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scopedBoxes{boxes};
    clsComm comm;
    std::vector<Event> events;

    DriverRig() {
        // The window's design values.
        frameSpace->SetInterval(30);
        timeOut->SetInterval(1000);
        line.AttachPeer(&peer);
        comm.SetmFrameSpaceTimer(frameSpace.get());
        comm.SetmFrameTimeOutTimer(timeOut.get());
        comm.SetmMsComm(&line);
        comm.SetCommResponseMessage(
            [this](std::int32_t code, const std::vector<std::uint8_t>& bytes) {
                events.push_back({code, bytes, clock.NowUs()});
            });
    }

    bool RunUntilEvents(std::size_t count, std::int64_t limitMs = 10000) {
        return clock.RunUntil([&] { return events.size() >= count; }, limitMs);
    }

    // Three bytes and their CRC-16/MODBUS trailer; `intact` false spoils it.
    static std::vector<std::uint8_t> FiveByteReply(bool intact) {
        std::vector<std::uint8_t> reply{0x5A, 0x33, 0x02};
        const std::uint16_t crc = mduGlobalModule::GetCrc16(reply);
        reply.push_back(static_cast<std::uint8_t>(crc >> 8));
        reply.push_back(static_cast<std::uint8_t>((crc & 0xFF) ^ (intact ? 0 : 1)));
        return reply;
    }
};
