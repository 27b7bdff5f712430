#include "ProgramRecording.h"

#include <cstdlib>
#include <memory>

#include <QStandardPaths>

#include "GpsUpdateVersion.h"

namespace {

std::unique_ptr<RunTrace> OpenTrace(const ProgramRecording::Options& options,
                                    const platform::ISerialControl* ports) {
    std::unique_ptr<RunTrace> trace;
    if (!options.traceFolder.empty()) {
        trace = RunTrace::ToFolder(options.traceFolder);
    } else if (!options.traceFile.empty()) {
        // Named in the history rows: as a path that holds from anywhere.
        std::error_code error;
        const std::filesystem::path file(
            std::u8string(options.traceFile.begin(), options.traceFile.end()));
        const std::filesystem::path absolute = std::filesystem::absolute(file, error);
        trace = RunTrace::ToFile(error ? file : absolute);
    } else {
        return nullptr;
    }
    trace->SetProgram(gpsupdate::kVersion, ports);
    return trace;
}

}  // namespace

ProgramRecording::ProgramRecording(const Options& options, const platform::ISerialControl* ports)
    : RunRecording(options.program, gpsupdate::kVersion, OpenTrace(options, ports)), ports_(ports) {
    // The server: the option's, else the environment's, else the setting.
    std::string server = options.historyServer;
    std::string origin = "--history-server";
    if (server.empty()) {
        server = HistoryOpener::ServerChoice({});
        origin = ServerUrl::kEnvironment;
    }
    if (server.empty()) {
        server = options.serverSetting;
        origin = "the history server setting";
    }
    history_ = HistoryOpener::OpenForRecording(
        HistoryLocation::Choose(options.historyFile, options.noHistory,
                                std::getenv(HistoryLocation::kEnvironment),
                                HistoryOpener::DataFolder()),
        server, origin);
    if (!history_.serverError.empty()) {
        SetRemark("history_server", history_.serverError);
    }
    // A history that cannot be kept leaves the runs as they are.
    RecordInto(history_.writer.get(), history_.notes, history_.why);
}

ProgramRecording::~ProgramRecording() {
    history_.Close(HistoryWriter::kSettleMs);
}

void ProgramRecording::TraceToFile(const std::string& file) {
    Options options;
    options.traceFile = file;
    TraceTo(OpenTrace(options, ports_));
}

std::filesystem::path ProgramRecording::UserTraceFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return std::filesystem::path(folder.toStdU16String()) / "traces";
}
