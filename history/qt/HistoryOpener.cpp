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

HistoryOpener::Recording HistoryOpener::OpenForRecording(const HistoryLocation& location,
                                                         const std::string& serverUrl,
                                                         const std::string& origin) {
    Recording recording;
    if (location.off) {
        recording.why = "the history is switched off (--no-history)";
        return recording;
    }
    ServerUrl url;
    std::string error;
    if (!serverUrl.empty() && !ServerUrl::Parse(serverUrl, url, error)) {
        recording.serverError = origin + ": " + error;
    } else if (!serverUrl.empty()) {
        recording.sender = std::make_unique<HistorySender>(location.file, url, recording.notes);
    }
    recording.writer = std::make_unique<HistoryWriter>(
        [location](std::string& why) -> std::unique_ptr<IHistoryStore> {
            Opened opened = Open(location);
            why = opened.error;
            return std::move(opened.store);
        },
        recording.notes,
        recording.sender != nullptr ? recording.sender->Waker() : HistoryWriter::AfterWrite());
    return recording;
}

void HistoryOpener::Recording::Close(std::chrono::milliseconds bound) {
    if (writer != nullptr) {
        writer->Close(bound);
    }
    if (sender != nullptr) {
        sender->Close();
    }
}
