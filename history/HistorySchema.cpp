#include "HistorySchema.h"

#include <algorithm>
#include <string_view>

const std::vector<HistorySchema::Column>& HistorySchema::Columns() {
    using R = HistoryRun;
    static const std::vector<Column> columns = {
        {"id", &R::id, "", 1},
        {"kind", &R::kind, "", 1},
        {"start_ms", &R::startMs, "", 1},
        {"end_ms", &R::endMs, "0", 1},
        {"result", &R::result, "", 1},
        {"failure_text", &R::failureText, "''", 1},
        {"failure_stage", &R::failureStage, "''", 1},
        {"port", &R::port, "0", 1},
        {"device", &R::device, "''", 1},
        {"host", &R::host, "''", 1},
        {"pid", &R::pid, "0", 1},
        {"program", &R::program, "''", 1},
        {"program_version", &R::programVersion, "''", 1},
        {"unit_serial", &R::unitSerial, "''", 1},
        {"unit_program_version", &R::unitProgramVersion, "''", 1},
        {"unit_data_version", &R::unitDataVersion, "''", 1},
        {"unit_record_report", &R::unitRecordReport, "''", 1},
        {"file_name", &R::fileName, "''", 1},
        {"file_size", &R::fileSize, "-1", 1},
        {"file_sha256", &R::fileSha256, "''", 1},
        {"file_data_version", &R::fileDataVersion, "''", 1},
        {"blocks_written", &R::blocksWritten, "0", 2},
        {"retries", &R::retries, "0", 2},
        {"trace_path", &R::tracePath, "''", 2},
        // The writer's local day of the start: the figures per day are
        // summed without a time conversion per row.
        {"local_day", std::monostate{}, "''", 2},
        {"unit_data_version_after", &R::unitDataVersionAfter, "''", 3},
        {"process_start", &R::processStart, "''", 4},
        {"erase_begun", &R::eraseBegun, "-1", 5},
    };
    return columns;
}

namespace {

std::vector<const HistorySchema::Column*> Pick(bool (*wanted)(const HistorySchema::Column&)) {
    std::vector<const HistorySchema::Column*> picked;
    for (const HistorySchema::Column& column : HistorySchema::Columns()) {
        if (wanted(column)) {
            picked.push_back(&column);
        }
    }
    return picked;
}

}  // namespace

const std::vector<const HistorySchema::Column*>& HistorySchema::Stored() {
    static const std::vector<const Column*> stored =
        Pick([](const Column& column) { return !column.Derived(); });
    return stored;
}

const std::vector<const HistorySchema::Column*>& HistorySchema::Listing() {
    static const std::vector<const Column*> listing = Pick([](const Column& column) {
        constexpr std::string_view kShown[] = {
            "id",           "kind",          "start_ms", "end_ms",      "result",
            "failure_text", "failure_stage", "port",     "unit_serial", "file_data_version"};
        return std::find(std::begin(kShown), std::end(kShown), column.name) != std::end(kShown);
    });
    return listing;
}
