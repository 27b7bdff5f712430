#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QPushButton>

#include "PackedDataFile.h"
#include "SequenceRig.h"
#include "SimulatedUnit.h"
#include "WindowHarness.h"

// The window on test services with the simulated unit on the line and a
// small packed data file in the file box.
struct RunHarness : WindowHarness {
    sim::SimulatedUnit unit;
    // 30 flash blocks and 2 parameter blocks.
    std::unique_ptr<PackedDataFile> file =
        std::make_unique<PackedDataFile>(224 * 30, 64 * 2, "0601", 5);

    // The unit holds the file's data version, "0601": the not-newer question comes.
    static sim::UnitConfig QuickUnit() {
        sim::UnitConfig config = SequenceRig::QuickUnit();
        config.dataVersion = "0601";
        return config;
    }

    RunHarness() : unit(QuickUnit()) { line.AttachPeer(&unit); }
    ~RunHarness() {
        window.reset();
        line.AttachPeer(nullptr);
    }
    frmMain& StartWithFile() {
        frmMain& w = StartIdle();
        w.SetFileNameText(file->Path());
        return w;
    }
    // Starts an update (the question answered OK) and runs it into the
    // transfer of the flash blocks.
    void ToTransfer() {
        boxes.QueueAnswer(platform::MsgResult::Ok);
        Control<QPushButton>("cmdDownLoadStart")->click();
        EXPECT_TRUE(clock.RunUntil([this] { return window->WorkState() == 14; }, 60000));
    }
    frmMain& StartTransfer() {
        StartWithFile();
        ToTransfer();
        return *window;
    }
};
