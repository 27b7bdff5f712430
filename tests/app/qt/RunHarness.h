#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QPushButton>

#include "PackedDataFile.h"
#include "SimulatedUnit.h"
#include "WindowHarness.h"

// The window on test services with the simulated unit on the line and a
// small packed data file in the file box.
struct RunHarness : WindowHarness {
    sim::SimulatedUnit unit;
    // 30 flash blocks and 2 parameter blocks.
    std::unique_ptr<PackedDataFile> file =
        std::make_unique<PackedDataFile>(224 * 30, 64 * 2, "0601", 5);

    // dataVersion "0601" is the file's: the not-newer question comes.
    static sim::UnitConfig QuickUnit(const std::string& dataVersion = "0601") {
        sim::UnitConfig config;
        config.eraseMs = 1000;
        config.checkMs = 1000;
        config.flashSize = 64 * 1024;
        config.parameterSize = 4 * 1024;
        config.dataVersion = dataVersion;
        return config;
    }

    explicit RunHarness(const std::string& unitDataVersion = "0601")
        : unit(QuickUnit(unitDataVersion)) {
        line.AttachPeer(&unit);
    }
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
