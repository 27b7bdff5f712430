// gpsupdate: writes a new data set into a vehicle GPS warning unit over a
// serial cable. One window, one copy per user; the command line takes a data
// file to start with and --help and --version, answered before anything of
// the window is created.
//
// Screenshot mode, for checking the window without a desktop: with
// GPSUPDATE_SCREENSHOT=<file.png> the window is shown, left to settle, saved
// as a picture and the program ends (exit status 0 when the picture was
// written). GPSUPDATE_SCREENSHOT_DEBUG=1 also shows the diagnostic frame with
// the lamps in their four colours and sample texts in the displays. The
// settings are read but not written.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>

#include "BoundedThread.h"
#include "GpsUpdateVersion.h"
#include "HistoryLocation.h"
#include "ProgramFonts.h"
#include "ProgramLanguage.h"
#include "ProgramRecording.h"
#include "QtClock.h"
#include "QtFileDialog.h"
#include "QtMessageBoxes.h"
#include "QtSerialControl.h"
#include "QtSettingsStore.h"
#include "QtTimerFactory.h"
#include "RunningCopy.h"
#include "ServerUrl.h"
#include "frmMain.h"
#include "mduCommandLine.h"
#include "mduCommonMessage.h"
#include "mduDisplayText.h"
#include "mduGlobalModule.h"
#include "mduSetupOptions.h"

namespace {

constexpr const char* kHelpText =
    R"(Usage: gpsupdate [--history FILE | --no-history] [--history-server URL] [FILE.apd]
       gpsupdate --help | --version
Writes a new data set into a vehicle GPS warning unit over a serial cable.
Everything else is chosen in the window: the data file (.apd), the COM port
or the automatic port scan, and the update. FILE.apd is the data file to
start with (it is checked at once); without it the last one is used.

One copy runs per user: starting another brings the running window to the
front (handing it FILE.apd when one is given, unless it is updating) and
ends. Without a desktop the window cannot open: gpsupdate-auto does the same
work without one.

Options:
  -h, --help                     show this text and exit
  --version                      show the program's version and exit
  --history FILE                 record every run in the history FILE
  --no-history                   record nothing
  --history-server URL           send every run on to the shared history at
                                 postgresql://user@host:port/database
  --                             what follows is the file, even if it
                                 begins with "-"

Exit status: 0 the window was closed (or the running copy took over),
2 unknown option, 3 no display, 4 another copy runs but does not answer.

Environment:
  GPSUPDATE_COM<n>=PATH          port COM<n> (1 to 16) is the device PATH,
                                 e.g. the terminal gpsunit-sim prints
  GPSUPDATE_SCREENSHOT=FILE      show the window, save it as a PNG picture,
                                 print the path and exit (settings are read,
                                 not written; another copy may be running)
  GPSUPDATE_SCREENSHOT_DEBUG=1   with GPSUPDATE_SCREENSHOT: also show the
                                 diagnostic frame and sample texts
  GPSUPDATE_HISTORY=FILE         the history file when --history is not given
  GPSUPDATE_HISTORY_SERVER=URL   the history server when --history-server is
                                 not given

Settings are kept per user in ~/.config/gpsupdate/gpsupdate.conf (Windows:
the registry key HKEY_CURRENT_USER\Software\gpsupdate\gpsupdate).
Every scan, connection test and update leaves a trace for support (the last
20 runs) in ~/.local/share/gpsupdate/traces (Windows:
%LOCALAPPDATA%\gpsupdate\traces), and a row in the history of runs,
~/.local/share/gpsupdate/history.sqlite, that gpsupdate-history shows.
)";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// The data file of the command line as an absolute path (a file manager
// starts the program in a folder of its own), from Qt's arguments, which
// spell every name on every system.
QString DataFileArgument() {
    const QStringList arguments = QCoreApplication::arguments();
    std::vector<std::string> args;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        args.push_back(arguments[i].toStdString());
    }
    std::string path;
    bool off = false;
    std::string error;
    std::string server;
    if (!HistoryLocation::TakeOptions(args, path, off, error) ||
        !ServerUrl::TakeOption(args, "--history-server", server, error)) {
        return {};
    }
    const std::optional<mduCommandLine::Options> options = mduCommandLine::Parse(args, error);
    if (!options || options->file.empty()) {
        return {};
    }
    return QFileInfo(QString::fromStdString(options->file)).absoluteFilePath();
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

// The command line's history choices.
struct HistoryChoice {
    std::string historyPath;
    bool noHistory = false;
    std::string historyServer;
};

// What the command line asks before any window is made: an exit status when
// it is answered (help, version, a usage error, no display), else nothing.
std::optional<int> AnswerCommandLine(std::vector<std::string> args, HistoryChoice& recording) {
    std::string error;
    ServerUrl serverUrl;
    if (!HistoryLocation::TakeOptions(args, recording.historyPath, recording.noHistory, error) ||
        !ServerUrl::TakeOption(args, "--history-server", recording.historyServer, error) ||
        (!recording.historyServer.empty() &&
         !ServerUrl::Parse(recording.historyServer, serverUrl, error))) {
        std::fprintf(stderr, "gpsupdate: %s (see gpsupdate --help)\n", error.c_str());
        return mduCommandLine::ExitUsage;
    }
    const std::optional<mduCommandLine::Options> options = mduCommandLine::Parse(args, error);
    if (!options) {
        std::fprintf(stderr, "gpsupdate: %s (see gpsupdate --help)\n", error.c_str());
        return mduCommandLine::ExitUsage;
    }
    if (options->help) {
        std::fputs(kHelpText, stdout);
        return 0;
    }
    if (options->version) {
        std::printf("gpsupdate %s\n", gpsupdate::kVersion);
        return 0;
    }
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt would end with advice to reinstall; the operator learns what is missing.
    const std::string noDisplay = mduCommandLine::NoDisplayLine(
        Environment("DISPLAY"), Environment("WAYLAND_DISPLAY"), Environment("QT_QPA_PLATFORM"));
    if (!noDisplay.empty()) {
        std::fprintf(stderr, "gpsupdate: %s\n", noDisplay.c_str());
        return mduCommandLine::ExitNoDisplay;
    }
#endif
    return std::nullopt;
}

// One copy per user: two would share the ports and the settings. An exit
// status when a running copy took over or does not answer, else nothing (and
// this copy listens for later ones).
std::optional<int> HandOverToRunningCopy(RunningCopy& copy, const QString& noSocket,
                                         const QString& dataFile) {
    if (!noSocket.isEmpty()) {
        // Without a socket of the user's own: no hand-over, the window all the same.
        std::fprintf(stderr, "gpsupdate: no single-copy socket (%s)\n",
                     noSocket.toLocal8Bit().constData());
        return std::nullopt;
    }
    switch (copy.HandOver(dataFile, 3000)) {
        case RunningCopy::HandOverResult::Taken:
            std::fprintf(stderr,
                         "gpsupdate: already running for this user; its window was brought "
                         "to the front\n");
            return 0;
        case RunningCopy::HandOverResult::NoAnswer:
            std::fprintf(stderr,
                         "gpsupdate: another copy is running for this user but does not "
                         "answer; end it before starting a new one\n");
            return mduCommandLine::ExitOtherCopy;
        case RunningCopy::HandOverResult::NoOtherCopy:
            break;
    }
    // Without the socket later copies are not sent here; the window works all the same.
    copy.Listen();
    return std::nullopt;
}

// Screenshot mode: the window shown, left to settle, saved as a picture.
int SaveScreenshot(QApplication& app, frmMain& window, const QString& screenshot) {
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
    return status;
}

int RunProgram(int argc, char* argv[]) {
    HistoryChoice chosen;
    if (const std::optional<int> answered =
            AnswerCommandLine(std::vector<std::string>(argv + 1, argv + argc), chosen)) {
        return *answered;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(mduSetupOptions::AppName));
    UseTraditionalChineseFont(app);
    UseTraditionalChineseQtTexts(&app);
    const QString dataFile = DataFileArgument();
    const QString screenshot = qEnvironmentVariable("GPSUPDATE_SCREENSHOT");

    QString noSocket;
    RunningCopy copy(RunningCopy::ForThisUser(&noSocket));
    if (screenshot.isEmpty()) {
        if (const std::optional<int> ended = HandOverToRunningCopy(copy, noSocket, dataFile)) {
            return *ended;
        }
    }
    mduGlobalModule::InitGlobalTables();

    platform::QtTimerFactory timers;
    platform::QtClock clock;
    platform::QtMessageBoxes messageBoxes;
    platform::QtFileDialog fileDialog;
    platform::QtSettingsStore settings;
    platform::QtSerialControl serial;
    platform::PlatformServices services{timers, clock, messageBoxes, fileDialog, settings, serial};

    // The boxes carry the window's title as their caption, from the first.
    QApplication::setApplicationDisplayName(QString::fromUtf8(kProgramTitle));
    frmMain window(services);
    messageBoxes.SetParentWindow(&window);
    fileDialog.SetParentWindow(&window);
    // A trace of every run for support in the per-user data folder, and a
    // row in the history; with a history server, the runs are sent on to it
    // as well: the option's, else the environment's, else the user's setting.
    ProgramRecording::Options kept;
    kept.program = "gpsupdate";
    kept.historyFile = chosen.historyPath;
    kept.noHistory = chosen.noHistory;
    kept.historyServer = chosen.historyServer;
    kept.serverSetting = settings.GetSetting(mduSetupOptions::AppName, "History", "Server", "");
    kept.traceFolder = ProgramRecording::UserTraceFolder();
    ProgramRecording recording(kept, &serial);
    window.SetObserver(&recording);
    QObject::connect(&window, &frmMain::programEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&copy, &RunningCopy::broughtToFront, &window, [&window](const QString& file) {
        window.showNormal();
        window.raise();
        window.activateWindow();
        // A file handed over during an update would change nothing now.
        if (!file.isEmpty() && !window.WorkingBusy()) {
            window.ChooseDataFile(file.toStdString());
        }
    });
    if (!dataFile.isEmpty()) {
        window.ChooseDataFile(dataFile.toStdString());
    }

    int status = 0;
    if (screenshot.isEmpty()) {
        window.show();
        status = app.exec();
    } else {
        status = SaveScreenshot(app, window, screenshot);
    }
    window.SetObserver(nullptr);
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    return BoundedThread::EndProgram(RunProgram(argc, argv));
}
