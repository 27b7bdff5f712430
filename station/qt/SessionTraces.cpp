#include "SessionTraces.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

std::string MakeSessionTraceFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                           QStringLiteral("/traces/station-") +
                           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return QDir().mkpath(folder) ? folder.toStdString() : std::string();
}
