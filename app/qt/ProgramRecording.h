#pragma once

#include <filesystem>
#include <string>

#include "HistoryOpener.h"
#include "RunRecording.h"

namespace platform {
class ISerialControl;
}

// A program's recording of its runs, as its options choose: the support
// trace, the history (with the history server behind it), and the trace's
// notes of what the history could not keep. The window is given this one
// observer; the program's own observers (a runner's report) go beside it.
//
// The history is opened and written on threads of its own (HistoryWriter,
// HistorySender): the window's thread only hands rows over. The recording's
// end waits for the last local row at most HistoryWriter::kSettleMs and
// for the server at most HistorySender::kEndBudgetMs + kCutMs; a thread
// still stuck then is left behind (BoundedThread), and the program ends
// without waiting for it.
class ProgramRecording final : public RunRecording {
  public:
    struct Options {
        // The history rows' program: gpsupdate, gpsupdate-auto.
        std::string program;
        // The history: --history FILE (UTF-8), else GPSUPDATE_HISTORY, else
        // the per-user file; --no-history switches it off.
        std::string historyFile;
        bool noHistory = false;
        // The history server: --history-server URL, else
        // GPSUPDATE_HISTORY_SERVER, else the user's setting.
        std::string historyServer;
        std::string serverSetting;
        // The trace: a file per run in `traceFolder` (the newest
        // RunTrace::kRunsKept kept), or every run in `traceFile` (UTF-8);
        // neither: no trace.
        std::filesystem::path traceFolder;
        std::string traceFile;
    };

    // ports: what the trace describes of a run's device (nullptr: nothing).
    ProgramRecording(const Options& options, const platform::ISerialControl* ports);
    ~ProgramRecording() override;

    // The next runs are traced to `file` (UTF-8) instead: a program that
    // keeps one trace per run.
    void TraceToFile(const std::string& file);

    // The per-user trace folder: ~/.local/share/gpsupdate/traces (Windows:
    // %LOCALAPPDATA%\gpsupdate\traces).
    static std::filesystem::path UserTraceFolder();

  private:
    HistoryOpener::Recording history_;
    const platform::ISerialControl* ports_;
};
