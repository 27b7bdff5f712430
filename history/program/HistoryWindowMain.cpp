#include "HistoryWindowMain.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "HistoryOpener.h"
#include "HistoryWindow.h"
#include "ProgramFonts.h"

int RunHistoryWindow(int argc, char* argv[], const std::string& historyPath) {
    QApplication app(argc, argv);
    UseTraditionalChineseFont(app);
    const HistoryLocation location =
        HistoryLocation::Choose(historyPath, false, std::getenv(HistoryLocation::kEnvironment),
                                HistoryOpener::DataFolder());
    // Shown as it is: the window never writes, nor makes a file.
    HistoryOpener::Opened opened = HistoryOpener::Open(location, true);
    HistoryWindow window(opened.store.get(), QString::fromStdString(opened.error));
    window.show();

    // As gpsupdate: GPSUPDATE_SCREENSHOT=FILE.png saves the window and ends.
    const QString screenshot = qEnvironmentVariable("GPSUPDATE_SCREENSHOT");
    if (screenshot.isEmpty()) {
        return app.exec();
    }
    int status = 1;
    QTimer::singleShot(1500, &app, [&] {
        if (window.grab().save(screenshot, "PNG")) {
            std::printf("%s\n", screenshot.toLocal8Bit().constData());
            status = 0;
        }
        app.exit(status);
    });
    app.exec();
    return status;
}
