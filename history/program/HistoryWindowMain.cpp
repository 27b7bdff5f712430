#include "HistoryWindowMain.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "BoundedThread.h"
#include "HistoryOpener.h"
#include "HistoryWindow.h"
#include "ProgramFonts.h"
#include "ServerHistoryStore.h"

namespace {

int RunWindow(QApplication& app, const std::string& historyPath, const ServerUrl& server,
              bool onServer) {
    HistorySources sources;
    const HistoryLocation location =
        HistoryLocation::Choose(historyPath, false, std::getenv(HistoryLocation::kEnvironment),
                                HistoryOpener::DataFolder());
    sources.localName = QString::fromStdU16String(location.file.u16string());
    // Read as it is: the window never writes, nor makes a file.
    sources.local = [location](const std::shared_ptr<CallDeadline>&,
                               std::string& error) -> std::unique_ptr<IHistoryStore> {
        HistoryOpener::Opened opened = HistoryOpener::Open(location, true);
        error = opened.error;
        return std::move(opened.store);
    };
    if (!server.host.empty()) {
        sources.serverName = QString::fromStdString(server.Shown());
        sources.server = [server](const std::shared_ptr<CallDeadline>& deadline,
                                  std::string& error) -> std::unique_ptr<IHistoryStore> {
            return ServerHistoryStore::Open(server, error, deadline);
        };
        sources.onServer = onServer;
    }
    HistoryWindow window(std::move(sources));
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

}  // namespace

int RunHistoryWindow(int argc, char* argv[], const std::string& historyPath,
                     const ServerUrl& server, bool onServer) {
    QApplication app(argc, argv);
    UseTraditionalChineseFont(app);
    // A reading still stuck on a server that does not answer is left
    // behind: the program ends without waiting for it.
    return BoundedThread::EndProgram(RunWindow(app, historyPath, server, onServer));
}
