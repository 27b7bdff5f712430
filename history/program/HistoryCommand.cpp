#include "HistoryCommand.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <optional>

#include "CsvWriter.h"
#include "DayStats.h"
#include "HistoryDays.h"
#include "HistoryFilter.h"
#include "HistoryLocation.h"
#include "HistoryResults.h"
#include "IHistoryStore.h"
#include "JsonLine.h"
#include "NumberOption.h"
#include "TerminalText.h"

namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

struct Parsed {
    std::string command;
    HistoryFilter filter;
    bool json = false;
    std::string csv;
};

bool Parse(const std::vector<std::string>& args, Parsed& parsed, std::string& error) {
    if (args.empty() || !HistoryCommand::IsCommand(args[0])) {
        error = args.empty() ? "no command" : "unknown command \"" + args[0] + "\"";
        return false;
    }
    parsed.command = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--json") {
            parsed.json = true;
            continue;
        }
        const bool takesValue = name == "--serial" || name == "--result" || name == "--from" ||
                                name == "--to" || name == "--port" || name == "--limit" ||
                                name == "--csv";
        if (!takesValue) {
            error = "unknown argument \"" + name + "\"";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = name + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        HistoryFilter& filter = parsed.filter;
        if (name == "--serial") {
            filter.serial = value;
        } else if (name == "--result") {
            const std::optional<std::string> result = HistoryResults::FromWord(value);
            if (!result) {
                error = "--result takes one of " + HistoryResults::List();
                return false;
            }
            filter.result = *result;
        } else if (name == "--from" || name == "--to") {
            if (!HistoryDays::LocalDayStartMs(value)) {
                error = name + " takes a day as YYYY-MM-DD";
                return false;
            }
            (name == "--from" ? filter.fromDay : filter.toDay) = value;
        } else if (name == "--port") {
            const auto port =
                NumberOption::WholeOption(name, value, 1, 16, "a COM number from 1 to 16", error);
            if (!port) {
                return false;
            }
            filter.port = *port;
        } else if (name == "--limit") {
            const auto limit =
                NumberOption::WholeOption(name, value, 0, INT_MAX, "a number of runs", error);
            if (!limit) {
                return false;
            }
            filter.limit = *limit;
        } else {
            parsed.csv = value;
        }
    }
    if (parsed.command == "export" && parsed.csv.empty()) {
        error = "export needs --csv FILE";
        return false;
    }
    return true;
}

// The lines of a listing, gathered into large writes.
class ListWriter {
  public:
    ListWriter(bool json, std::ostream& out)
        : json_(json), out_(out), columns_(HistoryCommand::Columns()) {}

    // Text only: the columns' names over the rows, and how many rows under
    // them (an empty listing says "0 runs" rather than nothing).
    void Header() {
        if (!json_) {
            text_ += "start              ";
            Padded("kind", 8, false);
            Padded("result", 13, false);
            Padded("seconds", 10, true);
            text_ += "  port  serial  (station, data, failure)\n";
        }
    }
    void Footer() {
        if (!json_) {
            text_ += std::to_string(rows_) + (rows_ == 1 ? " run\n" : " runs\n");
        }
        Flush();
    }

    bool Add(const HistoryRun& run) {
        ++rows_;
        if (json_) {
            // Numbers as numbers; the times as the listing shows them, and
            // the start also in UTC for scripts.
            const std::vector<std::string> fields = HistoryCommand::Fields(run);
            JsonLine line;
            for (std::size_t i = 0; i < columns_.size(); ++i) {
                const std::string& name = columns_[i];
                if (name == "seconds") {
                    line.AddFixed(name, run.Seconds(), 1);
                } else if (name == "port" || name == "pid" || name == "file_size" ||
                           name == "blocks_written" || name == "retries") {
                    line.Add(name, static_cast<std::int64_t>(
                                       std::stoll(fields[i].empty() ? "-1" : fields[i])));
                } else {
                    line.Add(name, fields[i]);
                }
                if (name == "start") {
                    line.Add("start_utc", HistoryDays::UtcTime(run.startMs));
                }
            }
            text_ += line.Text();
        } else {
            // Local times of the same minute differ only in their seconds.
            const std::int64_t minute = run.startMs / 60'000;
            if (minute != minute_) {
                minute_ = minute;
                minuteText_ = HistoryDays::LocalTime(minute * 60'000).substr(0, 17);
            }
            // Written out by hand: a long listing spends its time here.
            text_ += minuteText_;
            const int second = static_cast<int>(run.startMs / 1000 % 60);
            text_ += static_cast<char>('0' + second / 10);
            text_ += static_cast<char>('0' + second % 10);
            Padded(Shown(run.kind), 8, false);
            Padded(Shown(run.result), 13, false);
            Padded(Tenths(run.endMs > run.startMs ? run.endMs - run.startMs : 0), 8, true);
            text_ += " s  COM";
            const std::string port = std::to_string(run.port);
            text_ += port;
            text_.append(port.size() < 2 ? 4 - port.size() : 2, ' ');
            text_ += run.unitSerial.empty() ? "-" : Shown(run.unitSerial);
            // The station, where the store names it: the server's rows
            // come from many (a local listing reads no host).
            if (!run.host.empty()) {
                text_ += "  at " + Shown(run.host);
            }
            if (!run.fileDataVersion.empty()) {
                text_ += "  data " + Shown(run.fileDataVersion);
            }
            if (!run.failureText.empty()) {
                std::string failure = run.failureText;
                for (char& c : failure) {
                    if (c == '\r' || c == '\n') {
                        c = ' ';
                    }
                }
                text_ += "  (" + Shown(run.failureStage) + ": " + Shown(failure) + ")";
            }
            text_ += '\n';
        }
        if (text_.size() > (1 << 16)) {
            Flush();
        }
        return static_cast<bool>(out_);
    }
    void Flush() {
        out_ << text_;
        text_.clear();
    }

  private:
    // A text from the file as the terminal may take it (TerminalText); the
    // common case, printable ASCII, as it is.
    static std::string Shown(const std::string& text) {
        for (const char c : text) {
            if (c < 0x20 || c > 0x7E || c == '\\') {
                return TerminalText::Escaped(text);
            }
        }
        return text;
    }
    void Padded(const std::string& text, std::size_t width, bool right) {
        const std::size_t pad = text.size() < width ? width - text.size() : 0;
        if (right) {
            text_.append(pad, ' ');
        } else {
            text_.append(2, ' ');
        }
        text_ += text;
        if (!right) {
            text_.append(pad > 2 ? pad - 2 : 0, ' ');
        }
    }
    // Milliseconds as seconds with one decimal, rounded.
    static std::string Tenths(std::int64_t ms) {
        const std::int64_t tenths = (ms + 50) / 100;
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    }

    bool json_;
    std::ostream& out_;
    std::vector<std::string> columns_;
    std::int64_t rows_ = 0;
    std::string text_;
    std::int64_t minute_ = -1;
    std::string minuteText_;
};

void WriteStats(const std::vector<DayStats>& days, bool json, std::ostream& out) {
    // The updates are what a shop counts: a success, a failure (as the
    // filter's failure counts), or neither (cancelled before the erase,
    // skipped as already current, still running); connection tests and
    // scans apart.
    if (!json) {
        out << "day         updates  units  successes  failures  unchanged  median update s"
               "  tests+scans\n";
    }
    for (const DayStats& day : days) {
        if (json) {
            out << JsonLine()
                       .Add("day", day.day)
                       .Add("runs", day.runs)
                       .Add("units", day.units)
                       .Add("successes", day.successes)
                       .Add("failures", day.failures)
                       .Add("updates", day.updates)
                       .Add("update_failures", day.updateFailures)
                       .Add("update_successes", day.updateSuccesses)
                       .Add("tests_and_scans", day.runs - day.updates)
                       .AddFixed("median_update_seconds", day.medianUpdateSeconds, 1)
                       .Text();
            continue;
        }
        char line[160];
        std::snprintf(line, sizeof line, "  %7d  %5d  %9d  %8d  %9d  %15s  %11d\n", day.updates,
                      day.units, day.updateSuccesses, day.updateFailures,
                      day.updates - day.updateSuccesses - day.updateFailures,
                      day.medianUpdateSeconds > 0 ? Seconds(day.medianUpdateSeconds).c_str() : "-",
                      day.runs - day.updates);
        out << TerminalText::Escaped(day.day) << line;
    }
}

// What a unit holds now, by its last successful update; and an update
// after it that stopped once the erase had begun (its data may be gone).
struct UnitNow {
    std::string serial;
    std::optional<HistoryRun> updated;
    std::optional<HistoryRun> erasedSince;
};

std::string NowLine(const UnitNow& unit) {
    std::string line = TerminalText::Escaped(unit.serial) + ": ";
    if (const std::optional<HistoryRun>& run = unit.updated) {
        const std::string& version =
            run->unitDataVersionAfter.empty() ? run->fileDataVersion : run->unitDataVersionAfter;
        const std::string file = run->fileName.substr(run->fileName.find_last_of("/\\") + 1);
        line += "last updated " + HistoryDays::LocalTime(run->startMs) + " with data version " +
                (version.empty() ? "(not recorded)" : TerminalText::Escaped(version));
        if (!file.empty()) {
            line += " (file " + TerminalText::Escaped(file) + ")";
        }
    } else {
        line += "no successful update recorded";
    }
    if (const std::optional<HistoryRun>& run = unit.erasedSince) {
        line += "; " + HistoryDays::LocalTime(run->startMs) + " an update stopped after the " +
                "erase began (" + run->result + "): the unit may hold no data";
    }
    return line + "\n";
}

// After a listing for a serial number: a line for each unit it names (or
// for the number as given, when none), whatever the other filters.
bool WriteUnitsNow(IHistoryStore& store, const std::string& serial, std::ostream& out) {
    HistoryFilter filter;
    filter.serial = serial;
    std::vector<UnitNow> units;
    const bool read = store.Each(filter, true, [&units](const HistoryRun& run) {
        auto unit = std::find_if(units.begin(), units.end(),
                                 [&run](const UnitNow& u) { return u.serial == run.unitSerial; });
        if (unit == units.end()) {
            unit = units.insert(units.end(), UnitNow{run.unitSerial, {}, {}});
        }
        // Newest first: what comes before the unit's last success is later.
        if (run.kind == "update" && !unit->updated) {
            if (run.result == "success") {
                unit->updated = run;
            } else if (run.eraseBegun == 1 && run.result != "running" && !unit->erasedSince) {
                unit->erasedSince = run;
            }
        }
        return true;
    });
    if (read && units.empty()) {
        units.push_back(UnitNow{serial, {}, {}});
    }
    for (const UnitNow& unit : units) {
        out << NowLine(unit);
    }
    return read;
}

}  // namespace

bool HistoryCommand::IsCommand(const std::string& word) {
    return word == "list" || word == "export" || word == "stats";
}

// A column added later goes last, so that scripts reading the export by
// position keep working.
std::vector<std::string> HistoryCommand::Columns() {
    return {"id",
            "kind",
            "start",
            "end",
            "seconds",
            "result",
            "failure_text",
            "failure_stage",
            "port",
            "device",
            "host",
            "pid",
            "program",
            "program_version",
            "unit_serial",
            "unit_program_version",
            "unit_data_version",
            "unit_record_report",
            "file_name",
            "file_size",
            "file_sha256",
            "file_data_version",
            "blocks_written",
            "retries",
            "trace_path",
            "unit_data_version_after",
            "result_chinese",
            "erase_begun"};
}

std::vector<std::string> HistoryCommand::Fields(const HistoryRun& run) {
    // Whether the erase began; empty: not known (a row of an older release).
    const char* erase = run.eraseBegun == 1 ? "yes" : run.eraseBegun == 0 ? "no" : "";
    return {run.id,
            run.kind,
            HistoryDays::LocalTime(run.startMs),
            run.endMs > 0 ? HistoryDays::LocalTime(run.endMs) : std::string(),
            run.endMs > 0 ? Seconds(run.Seconds()) : std::string(),
            run.result,
            run.failureText,
            run.failureStage,
            std::to_string(run.port),
            run.device,
            run.host,
            std::to_string(run.pid),
            run.program,
            run.programVersion,
            run.unitSerial,
            run.unitProgramVersion,
            run.unitDataVersion,
            run.unitRecordReport,
            run.fileName,
            run.fileSize >= 0 ? std::to_string(run.fileSize) : std::string(),
            run.fileSha256,
            run.fileDataVersion,
            std::to_string(run.blocksWritten),
            std::to_string(run.retries),
            run.tracePath,
            run.unitDataVersionAfter,
            HistoryResults::InChinese(run.result),
            erase};
}

std::string HistoryCommand::Usage() {
    return "Usage: gpsupdate-history [--history PATH] [--history-server URL]\n"
           "                        [--server URL] [COMMAND [OPTIONS]]\n"
           "       gpsupdate-history --help | --version\n"
           "\n"
           "Without a command: the window with every recorded run, of this PC's\n"
           "history or (chosen in the window) of the history server: --server URL,\n"
           "else the history server below; with --server it opens on the server.\n"
           "\n"
           "Commands:\n"
           "  list [--json]        the runs, newest first (--json: one object a line);\n"
           "                       with --serial, a line for each unit after them:\n"
           "                       its last successful update and the data it wrote\n"
           "  export --csv FILE    the runs as CSV (UTF-8 with a byte-order mark;\n"
           "                       FILE - : standard output)\n"
           "  stats [--json]       per local day: the updates, the units, the updates\n"
           "                       that succeeded, failed (with timeout, interrupted\n"
           "                       and cancelled after the erase began) or changed\n"
           "                       nothing (cancelled before the erase, skipped), the\n"
           "                       median seconds of a successful update, and the\n"
           "                       connection tests and scans apart\n"
           "  sync                 send the runs the history server has not confirmed\n"
           "  status               how many runs wait to be sent\n"
           "\n"
           "  --server URL         list, export, stats and the window read every\n"
           "                       station's runs from the history server (the host\n"
           "                       column tells them apart)\n"
           "\n"
           "Filters (any command):\n"
           "  --serial S           the unit's serial number, or its start (any case)\n"
           "  --result R           success, failure (with timeout, interrupted and\n"
           "                       cancelled after the erase began),\n"
           "                       cancelled, skipped, timeout, interrupted, running,\n"
           "                       or the window's word (成功, 失敗, ...)\n"
           "  --from YYYY-MM-DD    runs started on this local day or later\n"
           "  --to YYYY-MM-DD      runs started on this local day or earlier\n"
           "  --port N             COM number\n"
           "  --limit N            the newest N runs only\n"
           "\n"
           "The history: --history PATH, else $GPSUPDATE_HISTORY, else\n"
           "~/.local/share/gpsupdate/history.sqlite (Windows:\n"
           "%LOCALAPPDATA%\\gpsupdate\\history.sqlite).\n"
           "The history server: --history-server postgresql://user@host:port/database,\n"
           "else $GPSUPDATE_HISTORY_SERVER (the password from PGPASSWORD or ~/.pgpass).\n"
           "\n"
           "Exit status: 0 done, 1 the history could not be read or the file\n"
           "written, 2 bad arguments, 3 no display for the window.\n";
}

std::string HistoryCommand::ArgumentError(const std::vector<std::string>& args) {
    Parsed parsed;
    std::string error;
    return Parse(args, parsed, error) ? std::string() : error;
}

int HistoryCommand::Run(const std::vector<std::string>& args, IHistoryStore& store,
                        std::ostream& out, std::ostream& err) {
    Parsed parsed;
    std::string error;
    if (!Parse(args, parsed, error)) {
        err << "gpsupdate-history: " << error << " (see gpsupdate-history --help)\n";
        return kBadArguments;
    }
    bool read = true;
    if (parsed.command == "list") {
        ListWriter writer(parsed.json, out);
        writer.Header();
        read = store.Each(parsed.filter, parsed.json,
                          [&writer](const HistoryRun& run) { return writer.Add(run); });
        if (read) {
            writer.Footer();
        }
        if (read && !parsed.json && !parsed.filter.serial.empty()) {
            read = WriteUnitsNow(store, parsed.filter.serial, out);
        }
    } else if (parsed.command == "stats") {
        std::vector<DayStats> days;
        read = store.Days(parsed.filter, days);
        if (read) {
            WriteStats(days, parsed.json, out);
        }
    } else {
        // "-": standard output, for a pipe.
        const bool toOut = parsed.csv == "-";
        std::ofstream named;
        if (!toOut) {
            named.open(HistoryLocation::FromUtf8(parsed.csv), std::ios::binary);
        }
        std::ostream& file = toOut ? out : named;
        file << CsvWriter::kByteOrderMark << CsvWriter::Row(Columns());
        std::size_t count = 0;
        read = store.Each(parsed.filter, true, [&file, &count](const HistoryRun& run) {
            file << CsvWriter::Row(Fields(run));
            ++count;
            return static_cast<bool>(file);
        });
        file.flush();
        if (read && !file) {
            err << "gpsupdate-history: cannot write " << parsed.csv << "\n";
            return kFailed;
        }
        if (read) {
            (toOut ? err : out) << count << " runs written to "
                                << (toOut ? "standard output" : parsed.csv) << "\n";
        }
    }
    if (!read) {
        err << "gpsupdate-history: " << store.LastError() << "\n";
        return kFailed;
    }
    out.flush();
    return out ? kOk : kFailed;
}
