#include "StationReport.h"

#include "JsonLine.h"
#include "StationJsonKeys.h"

namespace {

std::string Fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

StationReport::StationReport(std::FILE* out, bool json, const Station& station)
    : out_(out), json_(json), station_(station) {}

const char* StationReport::ResultName(StationTile::Result result) {
    switch (result) {
        case StationTile::Result::Success:
            return runjson::kSuccess;
        case StationTile::Result::Failure:
            return runjson::kFailure;
        case StationTile::Result::Skipped:
            return runjson::kSkipped;
        case StationTile::Result::None:
            break;
    }
    return stationjson::kResultNone;
}

void StationReport::Put(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

void StationReport::RunStarted(std::int64_t nowMs, int port, RunRequest::Action action) {
    const bool update = action == RunRequest::Action::Update;
    if (json_) {
        Put(JsonLine()
                .Add(runjson::kTime, nowMs)
                .Add(runjson::kKind, stationjson::kKindStart)
                .Add(runjson::kPort, port)
                .Add(stationjson::kAction,
                     update ? stationjson::kActionUpdate : stationjson::kActionWait)
                .Add(runjson::kDevice, station_.Tile(port).Device())
                .Text());
    } else if (update) {
        const std::string& device = station_.Tile(port).Device();
        Put("COM" + std::to_string(port) + " (" + (device.empty() ? "no device" : device) +
            "): update started\n");
    }
}

void StationReport::RunEnded(std::int64_t nowMs, const Station::Record& record) {
    const StationTile& tile = station_.Tile(record.port);
    if (json_) {
        JsonLine line;
        line.Add(runjson::kTime, nowMs)
            .Add(runjson::kKind, runjson::kKindEnd)
            .Add(runjson::kPort, record.port)
            .Add(runjson::kResult, ResultName(record.result))
            .Add(runjson::kText, record.text)
            .Add(runjson::kSerial, record.serial)
            .Add(runjson::kProgramVersion, tile.ProgramVersion())
            .Add(runjson::kDataVersionBefore, tile.DataVersionBefore())
            .Add(runjson::kDataVersionAfter, tile.DataVersionAfter())
            .AddFixed(runjson::kSeconds, record.seconds, 3);
        if (!tile.TracePath().empty()) {
            line.Add(runjson::kTrace, tile.TracePath());
        }
        Put(line.Text());
        return;
    }
    Put("COM" + std::to_string(record.port) + ": " + ResultName(record.result) + " (" +
        record.text + "), serial " + (record.serial.empty() ? "-" : record.serial) + ", " +
        Fixed(record.seconds, 1) + " s\n");
}

void StationReport::Waiting(std::int64_t nowMs, int port, const std::string& reason) {
    if (json_) {
        Put(JsonLine()
                .Add(runjson::kTime, nowMs)
                .Add(runjson::kKind, stationjson::kKindWaiting)
                .Add(runjson::kPort, port)
                .Add(runjson::kText, reason)
                .Text());
    } else {
        Put("COM" + std::to_string(port) + ": " + reason + "\n");
    }
}

void StationReport::Summary(std::int64_t nowMs) {
    std::string running;
    int count = 0;
    for (const int port : station_.Ports()) {
        if (!station_.UpdateRunning(port)) {
            continue;
        }
        const StationTile& tile = station_.Tile(port);
        running += (count++ == 0 ? "" : " ") + std::string("COM") + std::to_string(port) + " " +
                   (tile.PercentText().empty() ? "0.0%" : tile.PercentText());
    }
    if (count == 0) {
        return;
    }
    if (json_) {
        Put(JsonLine()
                .Add(runjson::kTime, nowMs)
                .Add(runjson::kKind, stationjson::kKindSummary)
                .Add(stationjson::kRunning, count)
                .Add(stationjson::kDone, station_.Done())
                .Add(stationjson::kFailed, station_.Failed())
                .Add(stationjson::kSkipped, station_.Skipped())
                .Add(stationjson::kProgress, running)
                .Text());
    } else {
        Put("[" + Fixed(static_cast<double>(nowMs) / 1000.0, 0) + " s] done " +
            std::to_string(station_.Done()) + ", failed " + std::to_string(station_.Failed()) +
            ", skipped " + std::to_string(station_.Skipped()) + "; " + running + "\n");
    }
}

void StationReport::Final(std::int64_t nowMs, double maxStallMs, std::int64_t maxStallAtMs,
                          double cpuSelfSeconds, double cpuChildrenSeconds) {
    const auto& records = station_.Records();
    if (json_) {
        for (const Station::Record& record : records) {
            Put(JsonLine()
                    .Add(runjson::kTime, nowMs)
                    .Add(runjson::kKind, stationjson::kKindResult)
                    .Add(runjson::kPort, record.port)
                    .Add(runjson::kSerial, record.serial)
                    .Add(runjson::kResult, ResultName(record.result))
                    .AddFixed(runjson::kSeconds, record.seconds, 3)
                    .AddFixed(stationjson::kRunMaxStallMs, record.runMaxStallMs, 1)
                    .Text());
        }
        Put(JsonLine()
                .Add(runjson::kTime, nowMs)
                .Add(runjson::kKind, stationjson::kKindStation)
                .Add(stationjson::kDone, station_.Done())
                .Add(stationjson::kFailed, station_.Failed())
                .Add(stationjson::kSkipped, station_.Skipped())
                .AddFixed(runjson::kSeconds, static_cast<double>(nowMs) / 1000.0, 3)
                .AddFixed(
                    stationjson::kRunsSeconds,
                    static_cast<double>(station_.LastEndMs() - station_.FirstStartMs()) / 1000.0, 3)
                .AddFixed(runjson::kMaxStallMs, maxStallMs, 1)
                .Add(stationjson::kMaxStallAtMs, maxStallAtMs)
                .AddFixed(stationjson::kCpuStationSeconds, cpuSelfSeconds, 3)
                .AddFixed(stationjson::kCpuChildrenSeconds, cpuChildrenSeconds, 3)
                .Text());
        return;
    }
    char line[256];
    Put("\nport   serial           result    seconds\n");
    for (const Station::Record& record : records) {
        std::snprintf(line, sizeof line, "COM%-3d %-16s %-9s %7.1f\n", record.port,
                      record.serial.empty() ? "-" : record.serial.c_str(),
                      ResultName(record.result), record.seconds);
        Put(line);
    }
    std::snprintf(line, sizeof line,
                  "\ndone %d, failed %d, skipped %d in %.1f s; longest stall %.1f ms; CPU %.2f s "
                  "station + %.2f s runs\n",
                  station_.Done(), station_.Failed(), station_.Skipped(),
                  static_cast<double>(nowMs) / 1000.0, maxStallMs, cpuSelfSeconds,
                  cpuChildrenSeconds);
    Put(line);
}
