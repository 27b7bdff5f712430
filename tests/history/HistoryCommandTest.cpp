// gpsupdate-history's commands over a real store: the CSV export read back
// by Python's csv module, the figures per day, and bad arguments.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "DayStats.h"
#include "HistoryCommand.h"
#include "HistoryDays.h"
#include "ProcessFacts.h"
#include "SqlHistoryStore.h"

namespace fs = std::filesystem;

namespace {

fs::path TempFile(const std::string& name) {
    return fs::temp_directory_path() /
           ("gpsupdate-history-cmd-" + std::to_string(ProcessFacts::CurrentPid()) + "-" + name);
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// Every row of a CSV file as Python's csv module reads it (each field in
// hexadecimal, so that no byte is lost on the way back).
std::vector<std::vector<std::string>> ReadWithPython(const fs::path& file) {
    const std::string command =
        "python3 -c \"import csv,sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
        "    for row in csv.reader(f):\n"
        "        print(' '.join(field.encode().hex() or '-' for field in row))\" '" +
        file.string() + "'";
    std::vector<std::vector<std::string>> rows;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return rows;
    }
    std::string output;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, got);
    }
    pclose(pipe);
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> row;
        std::istringstream fields(line);
        for (std::string field; fields >> field;) {
            row.push_back(field == "-" ? std::string() : FromHex(field));
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

TEST(HistoryCommand, TheCsvExportReadBackByACsvParserEqualsTheRows) {
    const fs::path db = TempFile("export.sqlite");
    const fs::path csv = TempFile("export.csv");
    fs::remove(db);
    std::string error;
    auto store = SqlHistoryStore::Open(db, error);
    ASSERT_NE(store, nullptr) << error;
    const char* texts[] = {"plain", "comma, inside", "a \"quoted\" word", "two\r\nlines",
                           "line\nfeed only", "資料更新完成", "\"", "",
                           // Formulas to a spreadsheet: written as text.
                           "=HYPERLINK(\"http://x\",\"y\")", "+1", "-2", "@SUM(A1)", "\tlead",
                           "\rlead", "'apostrophe"};
    for (int i = 0; i < static_cast<int>(std::size(texts)); ++i) {
        HistoryRun run;
        run.id = "run-" + std::to_string(i);
        run.kind = "update";
        run.startMs = 1'780'000'000'000 + i * 60'000LL;
        run.endMs = run.startMs + 1500;
        run.result = "failure";
        run.failureText = texts[i];
        run.fileName = std::string("C:\\資料\\") + texts[i] + ".apd";
        run.unitSerial = texts[(i + 1) % std::size(texts)];
        run.unitDataVersionAfter = texts[(i + 2) % std::size(texts)];
        ASSERT_TRUE(store->Complete(run)) << store->LastError();
    }
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(HistoryCommand::Run({"export", "--csv", csv.string()}, *store, out, err),
              HistoryCommand::kOk)
        << err.str();

    std::ifstream file(csv, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "starts with the byte-order mark";

    std::vector<HistoryRun> runs;
    ASSERT_TRUE(store->List({}, runs));
    std::vector<std::vector<std::string>> expected = {HistoryCommand::Columns()};
    for (const HistoryRun& run : runs) {
        expected.push_back(HistoryCommand::Fields(run));
    }
    std::vector<std::vector<std::string>> read = ReadWithPython(csv);
    // What a spreadsheet would take for a formula begins with an apostrophe
    // (so does a text that began with one): a script drops one.
    for (std::vector<std::string>& row : read) {
        for (std::string& cell : row) {
            if (!cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos) {
                ADD_FAILURE() << "a cell a spreadsheet would compute: " << cell;
            }
            if (!cell.empty() && cell[0] == '\'') {
                cell.erase(0, 1);
            }
        }
    }
    EXPECT_EQ(read, expected);
    // Columns are only ever added, at the end: scripts read them by place.
    ASSERT_FALSE(read.empty());
    EXPECT_EQ(read[0].size(), 26u);
    EXPECT_EQ(read[0].back(), "unit_data_version_after");

    // The listing for scripts has the same fact under the same name.
    out.str("");
    ASSERT_EQ(HistoryCommand::Run({"list", "--json", "--limit", "1"}, *store, out, err),
              HistoryCommand::kOk);
    EXPECT_NE(out.str().find(R"(,"unit_data_version_after":"comma, inside"})"), std::string::npos)
        << out.str();
    store.reset();
    fs::remove(db);
    fs::remove(csv);
}

TEST(HistoryCommand, FiguresPerDayCountRunsUnitsAndResultsAndTakeTheMedianOfGoodUpdates) {
    const std::int64_t day1 = HistoryDays::LocalDayStartMs("2026-05-04").value();
    const std::int64_t day2 = HistoryDays::LocalDayStartMs("2026-05-05").value();
    const auto run = [](std::int64_t start, const char* kind, const char* result,
                        const char* serial, double seconds) {
        HistoryRun r;
        r.kind = kind;
        r.result = result;
        r.unitSerial = serial;
        r.startMs = start;
        r.endMs = start + static_cast<std::int64_t>(seconds * 1000);
        return r;
    };
    const std::vector<HistoryRun> runs = {
        run(day2 + 1000, "update", "success", "A", 100),
        run(day1 + 1000, "update", "success", "A", 90),
        run(day1 + 2000, "update", "success", "B", 120),
        run(day1 + 3000, "update", "success", "C", 100),
        run(day1 + 4000, "update", "failure", "C", 30),
        run(day1 + 5000, "update", "cancelled", "D", 5),
        run(day1 + 6000, "test", "success", "D", 1),
        run(day2 + 2000, "update", "interrupted", "", 0),
        run(day2 + 3000, "update", "success", "B", 80),
        run(day2 + 4000, "scan", "timeout", "", 180),
        // The unit's data was not older: neither a success nor a failure.
        run(day2 + 5000, "update", "skipped", "E", 8),
        run(day2 + 6000, "update", "running", "F", 0),
    };
    // day, runs, units, successes, failures, updates, of which succeeded and
    // failed, median update seconds
    const std::vector<DayStats> expected = {
        {"2026-05-04", 6, 4, 4, 1, 5, 3, 1, 100.0},
        {"2026-05-05", 6, 4, 2, 2, 5, 2, 1, 90.0},
    };
    EXPECT_EQ(StatsByDay(runs), expected);

    // The store sums them where the rows are: the same figures.
    const fs::path db = TempFile("days.sqlite");
    fs::remove(db);
    std::string error;
    auto store = SqlHistoryStore::Open(db, error);
    ASSERT_NE(store, nullptr) << error;
    int id = 0;
    for (HistoryRun stored : runs) {
        stored.id = std::to_string(++id);
        ASSERT_TRUE(store->Complete(stored)) << store->LastError();
    }
    std::vector<DayStats> days;
    ASSERT_TRUE(store->Days({}, days)) << store->LastError();
    EXPECT_EQ(days, expected);
    HistoryFilter secondDay;
    secondDay.fromDay = "2026-05-05";
    ASSERT_TRUE(store->Days(secondDay, days));
    EXPECT_EQ(days, std::vector<DayStats>{expected[1]});
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(HistoryCommand::Run({"list", "--result", "skipped"}, *store, out, err),
              HistoryCommand::kOk)
        << err.str();
    const std::string listed = out.str();
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 1) << listed;
    EXPECT_NE(listed.find("  skipped "), std::string::npos) << listed;
    store.reset();
    fs::remove(db);
}

TEST(HistoryCommand, BadArgumentsAreRefusedWithTheUsage) {
    const fs::path db = TempFile("args.sqlite");
    std::string error;
    auto store = SqlHistoryStore::Open(db, error);
    ASSERT_NE(store, nullptr) << error;
    const std::vector<std::vector<std::string>> cases = {{"export"},
                                                         {"list", "--port", "17"},
                                                         {"list", "--from", "2026-13-01"},
                                                         {"stats", "--limit"},
                                                         {"list", "--colour"}};
    for (const auto& args : cases) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(HistoryCommand::Run(args, *store, out, err), HistoryCommand::kBadArguments)
            << args.back();
        EXPECT_NE(err.str().find("Usage:"), std::string::npos);
    }
    store.reset();
    fs::remove(db);
}
