#include "HistorySchema.h"

const std::vector<HistorySchema::Column>& HistorySchema::Columns() {
    static const std::vector<Column> columns = {
        {"id", false, "", 1},
        {"kind", false, "", 1},
        {"start_ms", true, "", 1},
        {"end_ms", true, "0", 1},
        {"result", false, "", 1},
        {"failure_text", false, "''", 1},
        {"failure_stage", false, "''", 1},
        {"port", true, "0", 1},
        {"device", false, "''", 1},
        {"host", false, "''", 1},
        {"pid", true, "0", 1},
        {"program", false, "''", 1},
        {"program_version", false, "''", 1},
        {"unit_serial", false, "''", 1},
        {"unit_program_version", false, "''", 1},
        {"unit_data_version", false, "''", 1},
        {"unit_record_report", false, "''", 1},
        {"file_name", false, "''", 1},
        {"file_size", true, "-1", 1},
        {"file_sha256", false, "''", 1},
        {"file_data_version", false, "''", 1},
        {"blocks_written", true, "0", 2},
        {"retries", true, "0", 2},
        {"trace_path", false, "''", 2},
        // The writer's local day of the start: the figures per day are
        // summed without a time conversion per row.
        {"local_day", false, "''", 2},
    };
    return columns;
}

namespace {

std::string Join(bool withLocalDay) {
    std::string list;
    for (const HistorySchema::Column& column : HistorySchema::Columns()) {
        if (!withLocalDay && std::string(column.name) == "local_day") {
            continue;
        }
        list += (list.empty() ? "" : ", ") + std::string(column.name);
    }
    return list;
}

}  // namespace

std::string HistorySchema::ReadList() {
    return Join(false);
}

std::string HistorySchema::WriteList() {
    return Join(true);
}
