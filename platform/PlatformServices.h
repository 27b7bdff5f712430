#pragma once

#include "IClock.h"
#include "IFileDialog.h"
#include "IMessageBoxes.h"
#include "ISerialControl.h"
#include "ISettingsStore.h"
#include "ITimerFactory.h"

namespace platform {

// Everything the window takes from the platform. Production fills it with the
// Qt adapters; tests with the virtual clock, scripted boxes and dialog, an
// in-memory store and an in-memory serial line.
struct PlatformServices {
    ITimerFactory& timers;
    IClock& clock;
    IMessageBoxes& messageBoxes;
    IFileDialog& fileDialog;
    ISettingsStore& settings;
    ISerialControl& serial;
};

}  // namespace platform
