#include "HistoryOpener.h"

#include <QStandardPaths>

std::filesystem::path HistoryOpener::DataFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return std::filesystem::path(folder.toStdU16String()) / "gpsupdate";
}

HistoryOpener::Opened HistoryOpener::Open(const HistoryLocation& location, bool readOnly) {
    Opened opened;
    if (location.off) {
        opened.error = "the history is switched off (--no-history)";
        return opened;
    }
    opened.file = location.file;
    SqlHistoryStore::Options options;
    options.createFolder = location.isDefault;
    options.readOnly = readOnly;
    opened.store = SqlHistoryStore::Open(location.file, opened.error, options);
    return opened;
}
