#include "HistoryOpener.h"

#include <cstdlib>

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

std::string HistoryOpener::ServerChoice(const std::string& option) {
    if (!option.empty()) {
        return option;
    }
    const char* environment = std::getenv(ServerUrl::kEnvironment);
    return environment != nullptr ? environment : "";
}

HistoryOpener::Opened HistoryOpener::OpenWithServer(const HistoryLocation& location,
                                                    const std::string& serverUrl) {
    Opened opened = Open(location);
    const std::string text = ServerChoice(serverUrl);
    if (opened.store == nullptr || text.empty()) {
        return opened;
    }
    ServerUrl url;
    if (!ServerUrl::Parse(text, url, opened.serverError)) {
        return opened;
    }
    opened.mirror = std::make_unique<MirroredHistoryStore>(*opened.store, url);
    return opened;
}
