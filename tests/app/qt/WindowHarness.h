#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "MemorySerialLine.h"
#include "MemorySettingsStore.h"
#include "PlatformServices.h"
#include "ScriptedFileDialog.h"
#include "ScriptedMessageBoxes.h"
#include "VirtualClock.h"
#include "frmMain.h"
#include "mduGlobalModule.h"
#include "mduSetupOptions.h"

// One window on test services: the virtual clock (also the timer factory),
// scripted boxes and file dialog, an in-memory store and an in-memory line
// with nothing on the far end. The window goes first when the harness goes.
struct WindowHarness {
    platform::VirtualClock clock;
    platform::ScriptedMessageBoxes boxes;
    platform::ScriptedFileDialog dialog;
    platform::MemorySettingsStore store;
    platform::MemorySerialLine line{clock};
    platform::PlatformServices services{clock, clock, boxes, dialog, store, line};
    std::unique_ptr<frmMain> window;

    ~WindowHarness() {
        window.reset();
        // The window erases the module tables when it releases its objects;
        // the rest of the test program expects them filled.
        mduGlobalModule::InitGlobalTables();
    }

    frmMain& Start() {
        window = std::make_unique<frmMain>(services);
        window->show();
        return *window;
    }

    // Start-up and the idle state's first run (20 ms later).
    frmMain& StartIdle() {
        Start();
        clock.AdvanceBy(frmMain::kTimAutoRunningInterval);
        return *window;
    }

    // Until the window is back in idle with no run under way.
    bool RunUntilIdle(std::int64_t limitMs = 120000) {
        return clock.RunUntil(
            [this] {
                return window->WorkState() == 0 && window->Sequence().CurrentRun() == RunKind::None;
            },
            limitMs);
    }

    void Preset(const std::string& key, const std::string& value) {
        store.Preset(mduSetupOptions::AppName, mduSetupOptions::Section, key, value);
    }
    std::optional<std::string> Stored(const std::string& key) const {
        return store.Value(mduSetupOptions::AppName, mduSetupOptions::Section, key);
    }

    // Which of the five controls an update disables, and cmdExit (which it
    // never does), are enabled.
    std::vector<std::string> EnabledControls() const {
        std::vector<std::string> names;
        for (const char* name : {"ComboComPort", "cmdAutoCommPortScan", "cmdHelloDevice",
                                 "cmdBrowser", "cmdDownLoadStart", "cmdExit"}) {
            if (Control<QWidget>(name)->isEnabled()) {
                names.push_back(name);
            }
        }
        return names;
    }

    template <typename T>
    T* Control(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
};
