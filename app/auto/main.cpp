// gpsupdate-auto: drives the gpsupdate window as an operator would (scan,
// connection test or update) and reports what the operator sees as JSON
// lines. See AutoOptions::Usage.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "AutoApplication.h"
#include "AutoMessageBoxes.h"
#include "AutoOptions.h"
#include "AutoRunner.h"
#include "AutoWaiter.h"
#include "BoundedThread.h"
#include "GpsUpdateVersion.h"
#include "JsonReport.h"
#include "MemorySettingsStore.h"
#include "ProgramFonts.h"
#include "ProgramRecording.h"
#include "QtClock.h"
#include "QtSerialControl.h"
#include "QtTimerFactory.h"
#include "RunObserverFan.h"
#include "ScriptedFileDialog.h"
#include "frmMain.h"
#include "mduGlobalModule.h"
#include "mduSetupOptions.h"

namespace {

// No desktop: the window lives off screen.
void ChooseOffscreenWithoutADesktop() {
#ifndef _WIN32
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Off screen no desktop's main loop has to be shared: Qt's own loop makes
    // about half the system calls per block of the GLib one (a posted event
    // wakes it once, not once per event), which counts when a station runs
    // sixteen of these at once. QT_NO_GLIB set empty keeps GLib's.
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen") &&
        !qEnvironmentVariableIsSet("QT_NO_GLIB")) {
        qputenv("QT_NO_GLIB", "1");
    }
#endif
}

// The history is opened before the run, whose end line says whether it was
// recorded; waiting, each update gets its own trace (the waiter names it).
ProgramRecording::Options RecordingOptions(const AutoOptions& options) {
    ProgramRecording::Options kept;
    kept.program = "gpsupdate-auto";
    kept.historyFile = options.history;
    kept.noHistory = options.noHistory;
    kept.historyServer = options.historyServer;
    kept.traceFile = options.action == AutoOptions::Action::Wait ? std::string() : options.trace;
    return kept;
}

int RunProgram(int argc, char* argv[]) {
    QElapsedTimer since;
    since.start();

    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<AutoOptions> parsed = AutoOptions::Parse(args, error);
    if (!parsed) {
        // One line: a script's log shows the reason, not a page of help.
        std::fprintf(stderr, "gpsupdate-auto: %s (see gpsupdate-auto --help)\n", error.c_str());
        return 2;
    }
    const AutoOptions& options = *parsed;
    if (options.help) {
        std::fputs(AutoOptions::Usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("gpsupdate-auto %s\n", gpsupdate::kVersion);
        return 0;
    }
    ChooseOffscreenWithoutADesktop();

    AutoApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(mduSetupOptions::AppName));
    UseTraditionalChineseFont(app);
    mduGlobalModule::InitGlobalTables();

    platform::QtTimerFactory timers;
    platform::QtClock clock;
    // Boxes held open run the event loop, as a modal box does.
    std::vector<QEventLoop*> heldBoxes;
    const auto hold = [&heldBoxes](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        heldBoxes.push_back(&loop);
        loop.exec();
        heldBoxes.pop_back();
    };
    const auto release = [&heldBoxes] {
        for (QEventLoop* loop : heldBoxes) {
            loop->quit();
        }
    };
    AutoMessageBoxes boxes(options.confirm, options.boxDelayMs, hold, release);
    platform::ScriptedFileDialog fileDialog;  // never asked: the file comes from --file
    platform::MemorySettingsStore settings;   // the user's store is left alone
    platform::QtSerialControl serial;
    platform::PlatformServices services{timers, clock, boxes, fileDialog, settings, serial};

    frmMain window(services);
    const auto nowMs = [&since] { return static_cast<std::int64_t>(since.elapsed()); };
    JsonReport report(stdout, nowMs, QApplication::applicationDisplayName().toStdString());
    AutoRunner runner(app, window, report, options, since);
    ProgramRecording recording(RecordingOptions(options), &serial);
    runner.ReportRecording(recording);
    RunObserverFan observers;
    observers.Add(&report);
    observers.Add(&recording);
    observers.Add(&runner);
    window.SetObserver(&observers);

    if (!options.file.empty()) {
        window.SetFileNameText(options.file);
    }
    if (options.port > 0) {
        window.SelectCommPort(static_cast<std::uint8_t>(options.port - 1));
    }
    // Off screen nobody sees the window: drawing it at every block would
    // cost more processor time than the transfer itself (a station runs
    // sixteen of these side by side). It is shown when there is a screen to
    // show it on, or a picture of it is asked for.
    if (QGuiApplication::platformName() != QLatin1String("offscreen") ||
        !options.screenshot.empty()) {
        window.show();
    } else {
        window.SetUnseen(true);
    }

    int status = 1;
    QObject::connect(&runner, &AutoRunner::finished, &app, [&](int exitStatus) {
        status = exitStatus;
        app.exit(exitStatus);
    });
    std::unique_ptr<AutoWaiter> waiter;
    if (options.action == AutoOptions::Action::Wait) {
        waiter =
            std::make_unique<AutoWaiter>(window, runner, report, observers, recording, options);
        QObject::connect(waiter.get(), &AutoWaiter::finished, &app, [&](int exitStatus) {
            status = exitStatus;
            app.exit(exitStatus);
        });
        waiter->Begin();
    } else {
        runner.Begin();
    }
    app.exec();
    window.SetObserver(nullptr);
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    return BoundedThread::EndProgram(RunProgram(argc, argv));
}
