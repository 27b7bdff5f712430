#include "AutoOptions.h"

#include "NumberOption.h"
#include "ServerUrl.h"

const char* AutoOptions::ActionName(Action action) {
    switch (action) {
        case Action::Scan:
            return "scan";
        case Action::Test:
            return "test";
        case Action::Update:
            return "update";
        case Action::Wait:
            return "wait";
    }
    return "?";
}

std::string AutoOptions::Usage() {
    return "Usage: gpsupdate-auto --action scan|test|update|wait [--port N] [--file PATH]\n"
           "                      [--confirm ok|cancel] [--timeout SECONDS]\n"
           "                      [--screenshot FILE.png] [--trace FILE] [--box-delay MS]\n"
           "                      [--history FILE | --no-history]\n"
           "                      [--poll-seconds S] [--last-serial SERIAL]\n"
           "       gpsupdate-auto --help | --version\n"
           "\n"
           "Drives the gpsupdate window as an operator would and reports what the\n"
           "operator sees, one JSON object per line on standard output.\n"
           "\n"
           "  --action scan     press 自動掃描: scan COM1 to COM16 for the unit\n"
           "  --action test     press 連結測試: greet the unit on the selected port\n"
           "  --action update   press 開始傳送: the whole update of the data file\n"
           "  --action wait     hold the port: greet it every --poll-seconds (default 3,\n"
           "                    0.5 to 3600) unseen and unrecorded; update each unit\n"
           "                    that answers as update does (its lines, its end line, its\n"
           "                    own trace: --trace F for the first, F-2, F-3... before the\n"
           "                    extension for the next), then greet it until it has gone.\n"
           "                    A unit with the serial number last updated successfully\n"
           "                    (here, or --last-serial) is not updated again. Runs until\n"
           "                    told to end; --timeout bounds each update\n"
           "  --port N          COM number 1 to 16 (on Linux mapped to a device as the\n"
           "                    window does; GPSUPDATE_COM<N>=/dev/... names one)\n"
           "  --file PATH       the update data file (.apd)\n"
           "  --confirm ok      answer question boxes with OK / Yes (default: cancel)\n"
           "  --timeout S       end a run that takes longer (default 180 seconds)\n"
           "  --screenshot F    save a picture of the window when the run ends\n"
           "  --trace F         also write the run's trace (JSON lines) to F\n"
           "  --box-delay MS    leave each box open MS milliseconds before answering it,\n"
           "                    as an operator who reads it; timers and the line go on\n"
           "                    meanwhile (default 0, at most 600000)\n"
           "  --history F       record the run in the history file F (default:\n"
           "                    $GPSUPDATE_HISTORY, else history.sqlite in the per-user\n"
           "                    data folder, as the window does)\n"
           "  --no-history      record nothing\n"
           "  --history-server URL\n"
           "                    send the run on to the shared history at\n"
           "                    postgresql://user@host:port/database (default:\n"
           "                    $GPSUPDATE_HISTORY_SERVER)\n"
           "\n"
           "Lines: every line has t_ms and kind; kinds: message (text, colour),\n"
           "info (line, text), lamp (index, colour, code), progress (value, max),\n"
           "percent (text), clock (text), box (icon, title, text, answer),\n"
           "state (from, to), and last end (result, port, seconds, max_stall_ms,\n"
           "peak_rss_kib, idle_rss_kib, peak_private_kib, idle_private_kib). result:\n"
           "success, failure, cancelled or timeout. max_stall_ms: the longest time\n"
           "the event loop spent handling events without waiting; peak_rss_kib /\n"
           "idle_rss_kib: resident memory at its peak and when the button was\n"
           "pressed; *_private_kib: its private part (without the pages of program\n"
           "and font files), sampled every second. The end line also has recorded\n"
           "(true when the run is in the history) and, when it is not, history_error\n"
           "(why); the run goes on either way.\n"
           "wait adds the kinds unit (a unit answered: serial, record_report,\n"
           "update: whether it is updated now, reason when not: same_unit; trace),\n"
           "gone (the unit has gone: serial) and waiting (the port is greeted, no\n"
           "unit yet: poll_seconds; written at the start and every 20 seconds).\n"
           "\n"
           "Exit status: 0 success (scan, test: a unit answered), 1 failure or\n"
           "cancelled, 2 bad arguments, 3 time-out. wait: 0 when told to end\n"
           "while no update runs; during an update, that update's status.\n"
           "\n"
           "Settings are neither read from nor written to the user's store.\n";
}

std::optional<AutoOptions> AutoOptions::Parse(const std::vector<std::string>& args,
                                              std::string& error) {
    AutoOptions options;
    bool actionGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--version") {
            options.version = true;
            continue;
        }
        if (name == "--no-history") {
            options.noHistory = true;
            continue;
        }
        std::string value;
        std::string key = name;
        if (const auto equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            key = name.substr(0, equals);
            value = name.substr(equals + 1);
        } else if (name == "--action" || name == "--port" || name == "--file" ||
                   name == "--confirm" || name == "--timeout" || name == "--screenshot" ||
                   name == "--trace" || name == "--box-delay" || name == "--history" ||
                   name == "--history-server" || name == "--poll-seconds" ||
                   name == "--last-serial") {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        } else {
            error = "unknown argument \"" + name + "\"";
            return std::nullopt;
        }
        if (key == "--action") {
            if (value == "scan") {
                options.action = Action::Scan;
            } else if (value == "test") {
                options.action = Action::Test;
            } else if (value == "update") {
                options.action = Action::Update;
            } else if (value == "wait") {
                options.action = Action::Wait;
            } else {
                error = "--action takes scan, test, update or wait";
                return std::nullopt;
            }
            actionGiven = true;
        } else if (key == "--port") {
            const std::optional<int> port =
                NumberOption::WholeOption(key, value, 1, 16, "a COM number from 1 to 16", error);
            if (!port) {
                return std::nullopt;
            }
            options.port = *port;
        } else if (key == "--file") {
            if (value.empty()) {
                error = "--file needs a path";
                return std::nullopt;
            }
            options.file = value;
        } else if (key == "--confirm") {
            if (value != "ok" && value != "cancel") {
                error = "--confirm takes ok or cancel";
                return std::nullopt;
            }
            options.confirm = value == "ok";
        } else if (key == "--timeout") {
            const std::optional<double> seconds = NumberOption::SecondsOption(key, value, error);
            if (!seconds) {
                return std::nullopt;
            }
            options.timeoutSeconds = *seconds;
        } else if (key == "--poll-seconds") {
            const std::optional<double> seconds = NumberOption::SecondsOption(key, value, error);
            if (!seconds) {
                return std::nullopt;
            }
            if (*seconds < 0.5 || *seconds > 3600) {
                error = "--poll-seconds takes 0.5 to 3600 seconds";
                return std::nullopt;
            }
            options.pollSeconds = *seconds;
        } else if (key == "--last-serial") {
            options.lastSerial = value;
        } else if (key == "--screenshot") {
            options.screenshot = value;
        } else if (key == "--trace") {
            options.trace = value;
        } else if (key == "--box-delay") {
            const std::optional<int> ms = NumberOption::WholeOption(
                key, value, 0, 600000, "milliseconds from 0 to 600000", error);
            if (!ms) {
                return std::nullopt;
            }
            options.boxDelayMs = *ms;
        } else if (key == "--history") {
            if (value.empty()) {
                error = "--history needs a path";
                return std::nullopt;
            }
            options.history = value;
        } else if (key == "--history-server") {
            ServerUrl url;
            if (!ServerUrl::Parse(value, url, error)) {
                return std::nullopt;
            }
            options.historyServer = value;
        } else {
            error = "unknown argument \"" + name + "\"";
            return std::nullopt;
        }
    }
    if (options.noHistory && !options.history.empty()) {
        error = "--history and --no-history cannot be given together";
        return std::nullopt;
    }
    if (!actionGiven && !options.help && !options.version) {
        error = "--action is required";
        return std::nullopt;
    }
    return options;
}
