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

}  // namespace

std::optional<StationOptions> StationOptions::Parse(const std::vector<std::string>& args,
                                                    std::string& error) {
    StationOptions options;
    bool unitsGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string key = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto equals = key.find('='); key.rfind("--", 0) == 0 && equals != key.npos) {
            value = key.substr(equals + 1);
            key = key.substr(0, equals);
            hasValue = true;
        }
        const auto flag = [&](bool& into) {
            if (hasValue) {
                error = key + " takes no value";
                return false;
            }
            into = true;
            return true;
        };
        const auto needValue = [&] {
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    error = key + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            return true;
        };
        if (key == "--help" || key == "-h") {
            if (!flag(options.help))
                return std::nullopt;
        } else if (key == "--version") {
            if (!flag(options.version))
                return std::nullopt;
        } else if (key == "--continuous") {
            if (!flag(options.settings.continuous))
                return std::nullopt;
        } else if (key == "--force") {
            if (!flag(options.settings.force))
                return std::nullopt;
        } else if (key == "--json") {
            if (!flag(options.json))
                return std::nullopt;
        } else if (key == "--window") {
            if (!flag(options.window))
                return std::nullopt;
        } else if (key == "--start") {
            if (!flag(options.start))
                return std::nullopt;
        } else if (key == "--no-traces") {
            if (!flag(options.noTraces))
                return std::nullopt;
        } else if (key == "--exit-when-done") {
            if (!flag(options.exitWhenDone))
                return std::nullopt;
        } else if (key == "--ports" || key == "--file" || key == "--units" ||
                   key == "--poll-seconds" || key == "--silence-seconds" || key == "--trace-dir" ||
                   key == "--screenshot") {
            if (!needValue()) {
                return std::nullopt;
            }
            if (key == "--ports") {
                options.ports.clear();
                if (!ParsePorts(value, options.ports)) {
                    error = "--ports takes COM numbers from 1 to 16, such as 3,4,5 or 1-16";
                    return std::nullopt;
                }
            } else if (key == "--file") {
                if (value.empty()) {
                    error = "--file needs a path";
                    return std::nullopt;
                }
                options.settings.file = value;
            } else if (key == "--units") {
                const std::optional<int> units = NumberOption::WholeOption(
                    key, value, 1, INT_MAX, "a whole number above 0", error);
                if (!units) {
                    return std::nullopt;
                }
                options.settings.units = *units;
                unitsGiven = true;
            } else if (key == "--poll-seconds" || key == "--silence-seconds") {
                const std::optional<double> seconds =
                    NumberOption::SecondsOption(key, value, error);
                if (!seconds) {
                    return std::nullopt;
                }
                (key == "--poll-seconds" ? options.settings.pollIntervalMs
                                         : options.settings.silenceLimitMs) =
                    static_cast<int>(*seconds * 1000);
            } else if (key == "--trace-dir") {
                options.settings.traceFolder = value;
            } else {
                options.screenshot = value;
            }
        } else {
            error = "unknown argument \"" + args[i] + "\"";
            return std::nullopt;
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (unitsGiven && !options.settings.continuous) {
        error = "--units goes with --continuous";
        return std::nullopt;
    }
    if (options.Headless() && options.settings.file.empty()) {
        error = "--file is required with --ports";
        return std::nullopt;
    }
    if (options.start && (options.ports.empty() || options.settings.file.empty())) {
        error = "--start needs --ports and --file";
        return std::nullopt;
    }
    return options;
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
  --trace-dir DIR     each update's trace file goes into DIR (the window's
                      default: a folder per session under the user's data
                      folder, gpsupdate-station/traces)
  --no-traces         window: no trace files
  --window            open the window even with --ports (they are ticked)
  --start             window: start the ticked ports at once
  --exit-when-done    window: end once every run has ended
  --screenshot FILE   window: save a picture once every run is past 30%
  --help, --version

The port numbers map to devices as in gpsupdate (GPSUPDATE_COM<n>=<device>
names one outright); every run gets the station's environment.
Exit status: 0 every run succeeded (or skipped a unit already current),
1 a run failed, 2 bad arguments.
)";
}
