#include "StationOptions.h"

#include <climits>
#include <set>

#include "NumberOption.h"

namespace {

// "3,4,5" or "1-16" or both mixed.
bool ParsePorts(const std::string& text, std::vector<int>& ports) {
    std::set<int> seen;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string item = text.substr(at, comma - at);
        const std::size_t dash = item.find('-');
        const std::optional<int> first = NumberOption::Whole(item.substr(0, dash), 1, 16);
        const std::optional<int> last =
            dash == std::string::npos ? first : NumberOption::Whole(item.substr(dash + 1), 1, 16);
        if (!first || !last || *first > *last) {
            return false;
        }
        for (int port = *first; port <= *last; ++port) {
            if (seen.insert(port).second) {
                ports.push_back(port);
            }
        }
        at = comma + 1;
    }
    return !ports.empty();
}

// The options that take no value, and what each sets.
bool* FlagOf(const std::string& key, StationOptions& o) {
    const std::pair<const char*, bool*> flags[] = {
        {"--help", &o.help},
        {"-h", &o.help},
        {"--version", &o.version},
        {"--continuous", &o.settings.continuous},
        {"--force", &o.settings.force},
        {"--json", &o.json},
        {"--window", &o.window},
        {"--start", &o.start},
        {"--no-traces", &o.noTraces},
        {"--exit-when-done", &o.exitWhenDone},
        {"--sound", &o.sound},
    };
    for (const auto& [name, into] : flags) {
        if (key == name) {
            return into;
        }
    }
    return nullptr;
}

// An option with a value: taken into `o`, or false with the reason. Unknown
// option: false with `error` left empty.
bool TakeValue(const std::string& key, const std::string& value, StationOptions& o,
               std::string& error) {
    StationSettings& s = o.settings;
    if (key == "--ports") {
        o.ports.clear();
        if (!ParsePorts(value, o.ports)) {
            error = "--ports takes COM numbers from 1 to 16, such as 3,4,5 or 1-16";
        }
    } else if (key == "--file" || key == "--history" || key == "--history-server") {
        if (value.empty()) {
            error = key + (key == "--history-server" ? " needs a URL" : " needs a path");
        }
        (key == "--file" ? s.file : key == "--history" ? s.history : s.historyServer) = value;
    } else if (key == "--units") {
        const std::optional<int> units =
            NumberOption::WholeOption(key, value, 1, INT_MAX, "a whole number above 0", error);
        s.units = units.value_or(0);
    } else if (key == "--poll-seconds" || key == "--silence-seconds") {
        const std::optional<double> seconds = NumberOption::SecondsOption(key, value, error);
        (key == "--poll-seconds" ? s.pollIntervalMs : s.silenceLimitMs) =
            static_cast<int>(seconds.value_or(0) * 1000);
    } else if (key == "--trace-dir") {
        s.traceFolder = value;
    } else if (key == "--screenshot") {
        o.screenshot = value;
    } else {
        return false;
    }
    return error.empty();
}

// What the options say together, once each has been read.
bool Consistent(const StationOptions& o, std::string& error) {
    if (o.settings.units > 0 && !o.settings.continuous) {
        error = "--units goes with --continuous";
    } else if (o.Headless() && o.settings.file.empty()) {
        error = "--file is required with --ports";
    } else if (o.start && (o.ports.empty() || o.settings.file.empty())) {
        error = "--start needs --ports and --file";
    }
    return error.empty();
}

}  // namespace

std::optional<StationOptions> StationOptions::Parse(const std::vector<std::string>& args,
                                                    std::string& error) {
    StationOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string key = args[i];
        std::optional<std::string> value;
        if (const auto equals = key.find('='); key.rfind("--", 0) == 0 && equals != key.npos) {
            value = key.substr(equals + 1);
            key.resize(equals);
        }
        if (bool* flag = FlagOf(key, options)) {
            if (value) {
                error = key + " takes no value";
                return std::nullopt;
            }
            *flag = true;
            continue;
        }
        const bool last = i + 1 >= args.size();
        const std::string given = value ? *value : last ? std::string() : args[i + 1];
        StationOptions tried = options;
        if (!TakeValue(key, given, tried, error) && error.empty()) {
            error = "unknown argument \"" + args[i] + "\"";
            return std::nullopt;
        }
        if (!value && last) {
            error = key + " needs a value";
            return std::nullopt;
        }
        if (!error.empty()) {
            return std::nullopt;
        }
        options = std::move(tried);
        i += value ? 0 : 1;
    }
    if (options.help || options.version || Consistent(options, error)) {
        return options;
    }
    return std::nullopt;
}

std::string StationOptions::Usage() {
    return R"(Usage: gpsupdate-station [--ports LIST --file FILE [--continuous [--units N]]
                          [--force] [--json]] [options]

Updates several units at once, one gpsupdate-auto run per COM port. Without
--ports it opens the station window; with --ports it runs without a window.

  --ports LIST        COM numbers 1 to 16: 3,4,5 or 1-16
  --file FILE         the data file every unit gets
  --continuous        hands-free: greet each port with a connection test at an
                      interval, update every unit that answers, wait for it to
                      go before the next (until stopped, or --units)
  --units N           with --continuous: end after N units
  --force             also update units whose data is not older than the file
                      (otherwise they are skipped)
  --json              one JSON object per line (each with t_ms and kind, and
                      port where it concerns a port) instead of text
  --poll-seconds S    hands-free: seconds between connection tests (default 3)
  --silence-seconds S a run with no output line for this long is ended as a
                      failure (default 60)
  --trace-dir DIR     each update's trace file goes into DIR (default: a
                      folder per session, ~/.local/share/gpsupdate-station/
                      traces/station-<date>-<time>, on Windows under
                      %LOCALAPPDATA%; with --json each end line names
                      its run's file)
  --history FILE      record the runs in FILE (default: $GPSUPDATE_HISTORY,
                      else the user's history, as gpsupdate does)
  --history-server URL
                      send the runs on to the shared history at
                      postgresql://user@host:port/database (default:
                      $GPSUPDATE_HISTORY_SERVER)
  --no-traces         no trace files
  --sound             a short sound as each run ends: a rising two-tone for a
                      success (and a unit already current), three low beeps
                      for a failure; nothing without a sound output (default
                      off; the window keeps its 提示音 box as last set)
  --window            open the window even with --ports (they are ticked)
  --start             window: start the ticked ports at once
  --exit-when-done    window: end once every run has ended
  --screenshot FILE   window: save a picture once every run is past 30%
  --help, --version

The port numbers map to devices as in gpsupdate (GPSUPDATE_COM<n>=<device>
names one outright); every run gets the station's environment.
Exit status: 0 every run succeeded (or skipped a unit already current),
1 a run failed, 2 bad arguments, 3 no display for the window.
)";
}
