// gpsupdate: writes a new data set into a vehicle GPS warning unit over a
// serial cable. One window; the command line knows only --help and
// --version, answered before anything of the window is created.
//
// Screenshot mode, for checking the window without a desktop: with
// GPSUPDATE_SCREENSHOT=<file.png> the window is shown, left to settle, saved
// as a picture and the program ends (exit status 0 when the picture was
// written). GPSUPDATE_SCREENSHOT_DEBUG=1 also shows the diagnostic frame with
// the lamps in their four colours and sample texts in the displays. The
// settings are read but not written.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QPixmap>
#include <QStandardPaths>
#include <QTimer>

#include "GpsUpdateVersion.h"
#include "HistoryOpener.h"
#include "ProgramFonts.h"
#include "QtClock.h"
#include "QtFileDialog.h"
#include "QtMessageBoxes.h"
#include "QtSerialControl.h"
#include "QtSettingsStore.h"
#include "QtTimerFactory.h"
#include "RunObserverFan.h"
#include "RunRecorder.h"
#include "RunTrace.h"
#include "WindowRunFacts.h"
#include "frmMain.h"
#include "mduCommonMessage.h"
#include "mduDisplayText.h"
#include "mduGlobalModule.h"
#include "mduSetupOptions.h"

namespace {

constexpr const char* kHelpText =
    R"(Usage: gpsupdate [--history FILE | --no-history] [--help | --version]
Writes a new data set into a vehicle GPS warning unit over a serial cable.
Everything is chosen in the window: the data file (.apd), the COM port or
the automatic port scan, and the update.

Options:
  --help                         show this text and exit
  --version                      show the program's version and exit
  --history FILE                 record every run in the history FILE
  --no-history                   record nothing

Environment:
  GPSUPDATE_COM<n>=PATH          port COM<n> (1 to 16) is the device PATH,
                                 e.g. the terminal gpsunit-sim prints
  GPSUPDATE_SCREENSHOT=FILE      show the window, save it as a PNG picture,
                                 print the path and exit (settings are read,
                                 not written)
  GPSUPDATE_SCREENSHOT_DEBUG=1   with GPSUPDATE_SCREENSHOT: also show the
                                 diagnostic frame and sample texts
  GPSUPDATE_HISTORY=FILE         the history file when --history is not given

Settings are kept per user in ~/.config/gpsupdate/gpsupdate.conf (Windows:
the registry key HKEY_CURRENT_USER\Software\gpsupdate\gpsupdate).
Every scan, connection test and update leaves a trace for support (the last
20 runs) in ~/.local/share/gpsupdate/traces (Windows:
%LOCALAPPDATA%\gpsupdate\traces), and a row in the history of runs,
~/.local/share/gpsupdate/history.sqlite, that gpsupdate-history shows.
)";

// --help and --version, the only arguments the program takes; they need no
// display. Returns true when one of them was given and answered.
bool AnswerInformationOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kHelpText, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("gpsupdate %s\n", gpsupdate::kVersion);
            return true;
        }
    }
    return false;
}

// The diagnostic frame with the lamps in their four colours, and the longest
// failure text and filled information lines, to check how they are drawn.
void ShowDisplaySample(frmMain& window) {
    window.SetDebugAreaVisible(true);
    for (int lamp = 0; lamp < mduDisplayText::LampCount; ++lamp) {
        window.SetStatusLamps(lamp, lamp % 4);
    }
    window.SetInfoLine(mduCommonMessage::InfoLineDataFileVersion, "APD0001.0042");
    window.SetInfoLine(mduCommonMessage::InfoLineSerialNumber, mduCommonMessage::UnknownSerialText);
    window.ShowErrorMessage(mduCommonMessage::CameraMemoryFailureText());
}

}  // namespace

int main(int argc, char* argv[]) {
    if (AnswerInformationOption(argc, argv)) {
        return 0;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string historyPath;
    bool noHistory = false;
    std::string historyOptionError;
    if (!HistoryLocation::TakeOptions(args, historyPath, noHistory, historyOptionError)) {
        std::fprintf(stderr, "gpsupdate: %s\n", historyOptionError.c_str());
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(mduSetupOptions::AppName));
    UseTraditionalChineseFont(app);
    mduGlobalModule::InitGlobalTables();

    platform::QtTimerFactory timers;
    platform::QtClock clock;
    platform::QtMessageBoxes messageBoxes;
    platform::QtFileDialog fileDialog;
    platform::QtSettingsStore settings;
    platform::QtSerialControl serial;
    platform::PlatformServices services{timers, clock, messageBoxes, fileDialog, settings, serial};

    frmMain window(services);
    messageBoxes.SetParentWindow(&window);
    fileDialog.SetParentWindow(&window);
    // A trace of every run for support, in the per-user data folder.
    const QString traces = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                           QStringLiteral("/traces");
    const std::unique_ptr<RunTrace> trace =
        RunTrace::ToFolder(std::filesystem::path(traces.toStdU16String()));
    trace->SetFactsSource([&window] {
        RunTrace::Facts facts = window.RunFacts();
        facts.emplace_back("program_version", gpsupdate::kVersion);
        return facts;
    });
    window.SetObserver(trace.get());
    // Every run in the history too; a history that cannot be kept is noted
    // in the trace and leaves the runs as they are.
    const HistoryOpener::Opened history = HistoryOpener::Open(
        HistoryLocation::Choose(historyPath, noHistory, std::getenv(HistoryLocation::kEnvironment),
                                HistoryOpener::DataFolder()));
    RunRecorder recorder(
        history.store.get(), history.error,
        WindowRunFacts("gpsupdate", window, serial, [&trace] { return trace.get(); }));
    recorder.SetErrorSink([&trace](const std::string& reason) { trace->Note("history", reason); });
    RunObserverFan observers;
    observers.Add(trace.get());
    observers.Add(&recorder);
    window.SetObserver(&observers);
    QObject::connect(&window, &frmMain::programEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    const QString screenshot = qEnvironmentVariable("GPSUPDATE_SCREENSHOT");
    if (screenshot.isEmpty()) {
        window.show();
        const int status = app.exec();
        window.SetObserver(nullptr);
        return status;
    }

    if (qEnvironmentVariableIntValue("GPSUPDATE_SCREENSHOT_DEBUG") != 0) {
        ShowDisplaySample(window);
    }
    window.show();
    int status = 1;
    // Long enough for the idle state to enable the controls and for the
    // window system to map and paint the window.
    QTimer::singleShot(1500, &app, [&] {
        const QPixmap picture = window.grab();
        if (!picture.isNull() && picture.save(screenshot, "PNG")) {
            std::printf("%s\n", screenshot.toLocal8Bit().constData());
            std::fflush(stdout);
            status = 0;
        } else {
            std::fprintf(stderr, "gpsupdate: could not save the screenshot to %s\n",
                         screenshot.toLocal8Bit().constData());
        }
        app.exit(status);
    });
    app.exec();
    window.SetObserver(nullptr);
    return status;
}
