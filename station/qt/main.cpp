// gpsupdate-station: several units updated at once, one gpsupdate-auto run
// per COM port; with a window, or headless with --ports. See
// StationOptions::Usage.

#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "GpsUpdateVersion.h"
#include "HeadlessStation.h"
#include "NoDisplay.h"
#include "ProgramFonts.h"
#include "ProgramLanguage.h"
#include "QtSettingsStore.h"
#include "ServerUrl.h"
#include "StationOptions.h"
#include "StationReport.h"
#include "TerminationWatcher.h"
#include "frmStation.h"
#include "mduGlobalModule.h"

namespace {
constexpr int kStartAfterShowMs = 500;
}

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<StationOptions> parsed = StationOptions::Parse(args, error);
    if (!parsed) {
        std::fprintf(stderr, "gpsupdate-station: %s (see gpsupdate-station --help)\n",
                     error.c_str());
        return 2;
    }
    const StationOptions& options = *parsed;
    if (options.help) {
        std::fputs(StationOptions::Usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("gpsupdate-station %s\n", gpsupdate::kVersion);
        return 0;
    }
    if (!options.settings.historyServer.empty()) {
        ServerUrl url;
        if (!ServerUrl::Parse(options.settings.historyServer, url, error)) {
            std::fprintf(stderr, "gpsupdate-station: %s (see gpsupdate-station --help)\n",
                         error.c_str());
            return 2;
        }
    }
#if !defined(_WIN32) && !defined(__APPLE__)
    if (options.Headless()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (const std::string line = NoDisplayLine(
                   qgetenv("DISPLAY").toStdString(), qgetenv("WAYLAND_DISPLAY").toStdString(),
                   qgetenv("QT_QPA_PLATFORM").toStdString(),
                   "to update units without a desktop use gpsupdate-station "
                   "--ports LIST --file FILE (see gpsupdate-station --help)");
               !line.empty()) {
        // A window nobody can see would wait for ever.
        std::fprintf(stderr, "gpsupdate-station: %s\n", line.c_str());
        return kExitNoDisplay;
    }
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gpsupdate-station"));
    mduGlobalModule::InitGlobalTables();
    // The runs' program sits beside this one.
    const QString autoProgram =
        QDir(QApplication::applicationDirPath()).filePath(QStringLiteral("gpsupdate-auto"));

    if (options.Headless()) {
        HeadlessStation station(options, autoProgram);
        TerminationWatcher termination;
        QObject::connect(&termination, &TerminationWatcher::terminationRequested, &station,
                         [&station] { station.StopAll(); });
        QObject::connect(&station, &HeadlessStation::finished, &app,
                         [&app](int status) { app.exit(status); });
        station.Begin();
        return app.exec();
    }

    UseTraditionalChineseFont(app);
    // The questions' buttons and the file dialog speak as the main window's.
    UseTraditionalChineseQtTexts(&app);
    platform::QtSettingsStore settings;
    frmStation window(options, autoProgram, settings);
    if (options.exitWhenDone) {
        QObject::connect(&window, &frmStation::allEnded, &window, [&window] {
            // The same final lines as headless with --json.
            StationReport(stdout, true, window.Stations())
                .Final(window.ElapsedMs(), window.MaxStallMs(), window.MaxStallAtMs(),
                       StationMeter::CpuSelfSeconds(), StationMeter::CpuChildrenSeconds());
            window.close();
        });
    }
    window.show();
    if (options.start) {
        // As an operator would: once the window is up and drawn.
        QTimer::singleShot(kStartAfterShowMs, &window, [&window] { window.StartChosen(); });
    }
    const int status = app.exec();
    return status != 0 ? status : (window.Stations().Failed() == 0 ? 0 : 1);
}
