#pragma once

// The command layer on a driver over an in-memory line with nothing at the
// far end: what a request puts on the line, and replies judged against it
// (the command layer's tests and the fuzz_reply target).

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IHostImageDisplay.h"
#include "MemorySerialLine.h"
#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "VirtualClock.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsRandom.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfigBase.h"

struct CommandLayerRig {
    class HostImage final : public IHostImageDisplay {
      public:
        std::string HostImageText() const override { return text; }
        void SetHostImageText(const std::string& t) override { text = t; }
        std::string text;
    };

    platform::VirtualClock clock;
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scope{boxes};
    platform::MemorySerialLine line{clock};
    std::unique_ptr<platform::IWindowTimer> frameSpace = clock.CreateTimer();
    std::unique_ptr<platform::IWindowTimer> timeOut = clock.CreateTimer();
    clsComm comm;
    clsRandom random{42};
    clsUnitConfig2 config2;
    clsUnitConfigBase base{7};
    HostImage image;
    clsCommandLayer layer{comm, random, config2, base, &image};

    CommandLayerRig() {
        comm.SetmFrameSpaceTimer(frameSpace.get());
        comm.SetmFrameTimeOutTimer(timeOut.get());
        comm.SetmMsComm(&line);
    }
    // The run's link table, as both ends scramble with it.
    clsRandom::Table Table() const {
        clsRandom::Table table{};
        const std::vector<std::uint8_t> t = random.SecurityTable();
        std::copy(t.begin(), t.end(), table.begin());
        return table;
    }
};
