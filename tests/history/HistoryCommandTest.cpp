// gpsupdate-history's commands over a real store: the CSV export read back
// by Python's csv module and the text listing (which reaches a terminal),
// the figures per day, and bad arguments.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

#include "ChildProcess.h"
#include "DayStats.h"
#include "HistoryCommand.h"
#include "HistoryDays.h"
#include "SqlHistoryStore.h"
#include "StoreCases.h"
#include "TempDataFile.h"

namespace fs = std::filesystem;

namespace {

// A fresh history file in a folder of its own, removed with the object.
struct FreshStore {
    const TempDataFile folder{std::vector<std::uint8_t>{}};
    const std::unique_ptr<SqlHistoryStore> store =
        storecases::OpenFile(folder.Folder() / "history.sqlite");
};

// What a command that must succeed prints.
std::string Output(const std::vector<std::string>& args, SqlHistoryStore& store) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(HistoryCommand::Run(args, store, out, err), HistoryCommand::kOk) << err.str();
    return out.str();
}

// Rows as lines of fields in hexadecimal (so that no byte is lost on the
// way back from Python).
std::string HexLine(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields) {
        line += line.empty() ? "" : " ";
        for (const unsigned char byte : field) {
            line += "0123456789abcdef"[byte >> 4];
            line += "0123456789abcdef"[byte & 15];
        }
    }
    return line + "\n";
}

// Every row of a CSV file as Python's csv module reads it, as HexLine
// writes it.
std::string ReadWithPython(const fs::path& file) {
    ChildProcess python("/usr/bin/python3",
                        {"-c",
                         "import csv, sys\n"
                         "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                         "    for row in csv.reader(f):\n"
                         "        print(' '.join(field.encode().hex() for field in row))",
                         file.string()});
    EXPECT_EQ(python.Wait(30000), 0) << python.Errors(1000);
    python.Lines(1000);
    return python.Output();
}

}  // namespace

TEST(HistoryCommand, TheCsvExportReadsBackAsTheRowsAndTheListingShowsControlsAsEscapes) {
    FreshStore fresh;
    ASSERT_NE(fresh.store, nullptr);
    SqlHistoryStore& store = *fresh.store;
    const fs::path csv = fresh.folder.Folder() / "export.csv";
    const char* texts[] = {"plain", "comma, inside", "a \"quoted\" word", "two\r\nlines",
                           "line\nfeed only", "資料更新完成", "\"", "",
                           // Formulas to a spreadsheet: written as text.
                           "=HYPERLINK(\"http://x\",\"y\")", "+1", "-2", "@SUM(A1)", "\tlead",
                           "\rlead", "'apostrophe",
                           // A unit's escape sequences (the title, the screen), a C1
                           // control, a forged line.
                           "GW\x1b]0;x\a\x1b[2J",
                           "06\xc2\x9b"
                           "01",
                           "flash\n2026-01-01 00:00:00  update  success", "失敗\r\n\x1b[31m"};
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
        run.failureStage = texts[(i + 3) % std::size(texts)];
        run.fileDataVersion = texts[(i + 4) % std::size(texts)];
        run.eraseBegun = (i + 2) % 3 - 1;  // not known, no, yes
        ASSERT_TRUE(store.Complete(run)) << store.LastError();
    }
    Output({"export", "--csv", csv.string()}, store);

    EXPECT_TRUE(FileBytes(csv).starts_with("\xEF\xBB\xBF")) << "the byte-order mark";

    std::vector<HistoryRun> runs;
    ASSERT_TRUE(store.List({}, runs));
    std::string expected = HexLine(HistoryCommand::Columns());
    for (const HistoryRun& run : runs) {
        std::vector<std::string> fields = HistoryCommand::Fields(run);
        // A cell a spreadsheet would compute (or one that began with the
        // apostrophe itself) is read back behind an apostrophe.
        for (std::string& field : fields) {
            if (!field.empty() && std::string("=+-@\t\r'").find(field[0]) != std::string::npos) {
                field.insert(0, 1, '\'');
            }
        }
        expected += HexLine(fields);
    }
    EXPECT_EQ(ReadWithPython(csv), expected);
    // Columns are only ever added, at the end: scripts read them by place.
    const std::vector<std::string> columns = HistoryCommand::Columns();
    ASSERT_EQ(columns.size(), 28u);
    EXPECT_EQ(
        std::vector(columns.end() - 3, columns.end()),
        (std::vector<std::string>{"unit_data_version_after", "result_chinese", "erase_begun"}));

    // The listing for scripts has the same fact under the same name.
    const std::string json = Output({"list", "--json", "--limit", "1"}, store);
    EXPECT_NE(
        json.find(
            R"(,"unit_data_version_after":"comma, inside","result_chinese":"失敗","erase_begun":"yes"})"),
        std::string::npos)
        << json;

    // The text listing reaches a terminal: one line a run, no control
    // character raw.
    const std::string listed = Output({"list"}, store);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), std::ssize(texts) + 2) << listed;
    EXPECT_EQ(
        std::count_if(listed.begin(), listed.end(),
                      [](const unsigned char c) { return (c < 0x20 && c != '\n') || c == 0x7F; }),
        0)
        << listed;
    EXPECT_EQ(listed.find("\xc2\x9b"), std::string::npos);
    for (const char* shown :
         {"GW\\e]0;x\\x07\\e[2J", "data 06\\u009B01",
          "(flash\\n2026-01-01 00:00:00  update  success: ", ": 失敗  \\e[31m)"}) {
        EXPECT_NE(listed.find(shown), std::string::npos) << shown << "\n" << listed;
    }
}

TEST(HistoryCommand, FiguresPerDayCountRunsUnitsAndResultsAndTakeTheMedianOfGoodUpdates) {
    const std::int64_t day1 = HistoryDays::LocalDayStartMs("2026-05-04").value();
    const std::int64_t day2 = HistoryDays::LocalDayStartMs("2026-05-05").value();
    const auto run = [](std::int64_t start, const char* kind, const char* result,
                        const char* serial, double seconds, int eraseBegun = -1) {
        HistoryRun r;
        r.kind = kind;
        r.result = result;
        r.unitSerial = serial;
        r.startMs = start;
        r.endMs = start + static_cast<std::int64_t>(seconds * 1000);
        r.eraseBegun = eraseBegun;
        return r;
    };
    std::vector<HistoryRun> runs = {
        run(day2 + 1000, "update", "success", "A", 100),
        run(day1 + 1000, "update", "success", "A", 90),
        run(day1 + 2000, "update", "success", "B", 120),
        run(day1 + 3000, "update", "success", "C", 100),
        run(day1 + 4000, "update", "failure", "C", 30),
        // Cancelled: before the erase (or not known, an older row) nothing
        // was changed; after it the unit's data is gone, a failure.
        run(day1 + 5000, "update", "cancelled", "D", 5),
        run(day1 + 5500, "update", "cancelled", "G", 5, 0),
        run(day1 + 6000, "test", "success", "D", 1),
        run(day2 + 2000, "update", "interrupted", "", 0),
        run(day2 + 3000, "update", "success", "B", 80),
        run(day2 + 4000, "scan", "timeout", "", 180),
        // The unit's data was not older: neither a success nor a failure.
        run(day2 + 5000, "update", "skipped", "E", 8),
        run(day2 + 6000, "update", "running", "F", 0),
        run(day2 + 7000, "update", "cancelled", "H", 40, 1),
    };
    // day, runs, units, successes, failures, updates, of which succeeded and
    // failed, median update seconds
    const std::vector<DayStats> expected = {
        {"2026-05-04", 7, 5, 4, 1, 6, 3, 1, 100.0},
        {"2026-05-05", 7, 5, 2, 3, 6, 2, 2, 90.0},
    };
    EXPECT_EQ(StatsByDay(runs), expected);
    // What unit A holds now (its older success wrote another version).
    runs[0].fileName = "C:\\資料\\gps-0601.apd";
    runs[0].unitDataVersionAfter = "0601";
    runs[1].unitDataVersionAfter = "0512";

    // The store sums them where the rows are: the same figures.
    FreshStore fresh;
    ASSERT_NE(fresh.store, nullptr);
    SqlHistoryStore& store = *fresh.store;
    int id = 0;
    for (HistoryRun stored : runs) {
        stored.id = std::to_string(++id);
        ASSERT_TRUE(store.Complete(stored)) << store.LastError();
    }
    std::vector<DayStats> days;
    ASSERT_TRUE(store.Days({}, days)) << store.LastError();
    EXPECT_EQ(days, expected);
    ASSERT_TRUE(store.Days({"", "", "2026-05-05", "", 0, 0}, days));  // from the second day
    EXPECT_EQ(days, std::vector<DayStats>{expected[1]});
    // The listing's failure finds the runs the figures count as failed.
    for (const auto& [result, count] :
         {std::pair{"skipped", "\n1 run\n"}, std::pair{"failure", "\n4 runs\n"}}) {
        const std::string listed = Output({"list", "--result", result}, store);
        EXPECT_TRUE(listed.ends_with(count)) << listed;
    }

    // A listing for a serial number closes with what each unit it names
    // holds now, whatever the other filters; --json only lists.
    const std::string failedHAt = HistoryDays::LocalTime(day2 + 7000);
    for (const auto& [args, last] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"list", "--serial", "a", "--result", "failure"},
              "A: last updated " + HistoryDays::LocalTime(day2 + 1000) +
                  " with data version 0601 (file gps-0601.apd)"},
             {{"list", "--serial", "C"},
              "C: last updated " + HistoryDays::LocalTime(day1 + 3000) +
                  " with data version (not recorded)"},
             {{"list", "--serial", "H"},
              "H: no successful update recorded; " + failedHAt +
                  " an update stopped after the erase began (cancelled): the unit may hold no "
                  "data"},
             {{"list", "--serial", "Z"}, "Z: no successful update recorded"},
             {{"list", "--serial", "A", "--json"}, R"("erase_begun":""})"}}) {
        const std::string listed = Output(args, store);
        EXPECT_TRUE(listed.ends_with(last + "\n")) << listed;
    }

    // The text figures count the updates; tests and scans stand apart.
    const std::string figures = Output({"stats"}, store);
    EXPECT_EQ(std::count(figures.begin(), figures.end(), '\n'), 3) << figures;  // and the header
    std::istringstream words(figures);
    const std::vector<std::string> shown{std::istream_iterator<std::string>(words), {}};
    ASSERT_GE(shown.size(), 16u) << figures;
    // day, updates, units, succeeded, failed, unchanged, median, tests+scans
    EXPECT_EQ(std::vector(shown.end() - 16, shown.end()),
              (std::vector<std::string>{"2026-05-04", "6", "5", "3", "1", "2", "100.0", "1",
                                        "2026-05-05", "6", "5", "2", "2", "2", "90.0", "1"}))
        << figures;
}

TEST(HistoryCommand, BadArgumentsAreRefusedWithTheUsage) {
    FreshStore fresh;
    ASSERT_NE(fresh.store, nullptr);
    const std::vector<std::vector<std::string>> cases = {{"export"},
                                                         {"list", "--port", "17"},
                                                         {"list", "--from", "2026-13-01"},
                                                         {"stats", "--limit"},
                                                         {"list", "--colour"},
                                                         {"list", "--result", "failed"},
                                                         {"list", "--result", "ok"}};
    for (const auto& args : cases) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(HistoryCommand::Run(args, *fresh.store, out, err), HistoryCommand::kBadArguments)
            << args.back();
        EXPECT_NE(err.str().find(" (see gpsupdate-history --help)\n"), std::string::npos);
    }
}
