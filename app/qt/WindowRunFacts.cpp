#include "WindowRunFacts.h"

#include "GpsUpdateVersion.h"
#include "ISerialControl.h"
#include "RunTrace.h"
#include "clsPNV480DnLdData.h"
#include "frmMain.h"

RunRecorder::Facts WindowRunFacts(const std::string& program, frmMain& window,
                                  const platform::ISerialControl& serial,
                                  std::function<const RunTrace*()> trace) {
    RunRecorder::Facts facts;
    facts.program = program;
    facts.programVersion = gpsupdate::kVersion;
    facts.port = [&window] { return window.SelectedPort(); };
    facts.device = [&serial](int port) { return serial.DeviceName(port); };
    facts.dataFile = [&window] { return window.FileNameText(); };
    facts.tracePath = [trace] {
        const RunTrace* current = trace ? trace() : nullptr;
        if (current == nullptr) {
            return std::string();
        }
        const std::u8string path = current->CurrentFile().u8string();
        return std::string(path.begin(), path.end());
    };
    facts.blockCursor = [&window]() -> std::int64_t {
        const clsPNV480DnLdData* file = window.Sequence().DataFile();
        return file == nullptr ? 0
                               : std::int64_t{file->FlashBlockIndex()} + file->EEPParmBlockIndex();
    };
    return facts;
}
